// SPDX-License-Identifier: MIT
#pragma once

#include "platform/gui/Workspace.h"

#include <QObject>
#include <QStringList>

// The desktop's workspace: QDesktopServices for opening (never a shell), the
// org.freedesktop.FileManager1 D-Bus service for revealing, FileTrash for the trash.
class SystemWorkspace : public Workspace {
public:
    explicit SystemWorkspace(FileTrash trash = FileTrash());

    void open(const std::string& path) override;
    void openUrl(const QUrl& url) override;
    // One ShowItems call with every item. When no file manager answers, the folders
    // holding the items are opened instead, each once.
    void reveal(const std::vector<std::string>& paths) override;
    [[nodiscard]] FileTrash::Outcome moveToTrash(const std::string& path) override;

    // The folders that hold the items, each once, in the order first met.
    [[nodiscard]] static std::vector<std::string> parentFolders(const std::vector<std::string>& paths);

private:
    FileTrash m_trash;
    QObject m_context; // owns the pending D-Bus call watchers
};
