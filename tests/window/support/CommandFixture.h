// SPDX-License-Identifier: MIT
#pragma once

#include "platform/gui/Workspace.h"
#include "window/DocumentWindowController.h"
#include "window/support/WindowFixture.h"

#include <QModelIndex>
#include <QPoint>

#include <memory>
#include <set>
#include <string>
#include <vector>

class FileOutlineModel;

// A workspace that opens and reveals nothing, and moves to the real trash (under the
// test's XDG data home) except for the paths it is told to refuse.
class RecordingWorkspace : public Workspace {
public:
    void open(const std::string&) override { }
    void openUrl(const QUrl&) override { }
    void reveal(const std::vector<std::string>&) override { }
    [[nodiscard]] FileTrash::Outcome moveToTrash(const std::string& path) override;
    [[nodiscard]] bool openTerminal(const std::string& folder) override
    {
        terminals.push_back(folder);
        return true;
    }

    std::set<std::string> refused;
    std::vector<std::string> trashed; // where the items went
    std::vector<std::string> terminals; // the folders terminals were opened in
};

// A document window over a folder built on disk for the test, with a recording
// workspace. The folder:
//   docs/report.pdf 400 KB, docs/notes.txt 40 KB, docs/draft.md 20 KB,
//   docs/deep/l2/l3/l4/big.bin 600 KB
//   media/photo.jpg 300 KB, media/clip.mov 250 KB
//   empty/ (no items)
//   Tool.app/Contents/bin 120 KB, Tool.app/Contents/res.dat 30 KB (a package)
//   top.bin 200 KB
//   many/f01.log … many/f12.log, 8 KB each
// Scanned as a whole volume of 100 MB with 40 MB free, so it has free and other space.
class CommandFixture {
public:
    CommandFixture();
    ~CommandFixture();

    // Points HOME and XDG_DATA_HOME into a temporary folder, so nothing reaches the
    // user's trash or settings. Call once, before the first window.
    static void isolateHome();
    [[nodiscard]] static std::string trashFiles();

    // Opens the window and waits for the end of its first scan.
    bool open(bool wholeVolume = true);
    void close();

    [[nodiscard]] FileNode* node(const std::string& relative) const; // "" is the root
    [[nodiscard]] FileOutlineModel* model() const;
    [[nodiscard]] QModelIndex indexOf(const FileNode* node) const;
    // Expands the node's ancestors and scrolls its row into view.
    void reveal(const FileNode* node) const;
    // A click on the node's row, as the user makes it.
    void click(const FileNode* node, Qt::KeyboardModifiers modifiers = {}) const;
    // Clicks the first node, then Ctrl-clicks the others.
    void selectRows(const std::vector<FileNode*>& nodes) const;
    // A point of the treemap whose block is `node`, or (-1, -1).
    [[nodiscard]] QPoint pointOf(const FileNode* node) const;
    // Clicks "Move to Trash" in the open confirmation sheet; false when there is none.
    bool confirmTrash() const;
    FolderFixture folder;
    std::shared_ptr<RecordingWorkspace> workspace = std::make_shared<RecordingWorkspace>();
    std::unique_ptr<DocumentWindowController> window;

    static constexpr std::int64_t kVolumeTotal = 100'000'000;
    static constexpr std::int64_t kVolumeFree = 40'000'000;
};
