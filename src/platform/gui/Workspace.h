// SPDX-License-Identifier: MIT
#pragma once

#include "platform/FileTrash.h"

#include <QUrl>

#include <string>
#include <vector>

// What a document window asks of the desktop: open, reveal in the file manager, move
// to the trash. Paths are file system bytes. Tests substitute their own.
// Main thread only.
class Workspace {
public:
    virtual ~Workspace() = default;

    // Opens the item with its default application. A failure is not reported.
    virtual void open(const std::string& path) = 0;
    virtual void openUrl(const QUrl& url) = 0;
    // Shows every item selected in the file manager, in one request.
    virtual void reveal(const std::vector<std::string>& paths) = 0;
    [[nodiscard]] virtual FileTrash::Outcome moveToTrash(const std::string& path) = 0;
    // Starts a terminal in the folder; false when none could be started. Does nothing
    // unless a workspace knows how.
    [[nodiscard]] virtual bool openTerminal(const std::string& folder)
    {
        (void)folder;
        return false;
    }

    // A file URL that names the real item whatever the encoding of its name: the bytes
    // percent-encoded as they are (QUrl::fromLocalFile would replace bytes that are not
    // UTF-8).
    [[nodiscard]] static QUrl fileUrl(const std::string& path);
};
