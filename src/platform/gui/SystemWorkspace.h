// SPDX-License-Identifier: MIT
#pragma once

#include "platform/gui/Workspace.h"

#include <QObject>
#include <QStringList>

#include <functional>

// The desktop's workspace: QDesktopServices for opening (never a shell), the
// org.freedesktop.FileManager1 D-Bus service for revealing, FileTrash for the trash.
class SystemWorkspace : public Workspace {
public:
    // Names the desktop entry that opens folders (empty when none is chosen); defaults
    // to the user's MIME associations.
    using FolderHandler = std::function<QString()>;

    explicit SystemWorkspace(FileTrash trash = FileTrash(), FolderHandler folderHandler = {});

    void open(const std::string& path) override;
    void openUrl(const QUrl& url) override;
    // One ShowItems call with every item. When no file manager answers, the folders
    // holding the items are opened instead, each once, unless folders open with this
    // application: then nothing is opened (it would start another copy of it) and a
    // warning is logged.
    void reveal(const std::vector<std::string>& paths) override;
    [[nodiscard]] FileTrash::Outcome moveToTrash(const std::string& path) override;
    // Through Terminal::openIn.
    [[nodiscard]] bool openTerminal(const std::string& folder) override;

    // The folders that hold the items, each once, in the order first met.
    [[nodiscard]] static std::vector<std::string> parentFolders(const std::vector<std::string>& paths);

private:
    FileTrash m_trash;
    FolderHandler m_folderHandler;
    QObject m_context; // owns the pending D-Bus call watchers
};
