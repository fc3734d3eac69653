// SPDX-License-Identifier: MIT
#pragma once

#include "platform/gui/Workspace.h"
#include "support/TreeBuilder.h"
#include "support/TreeChecks.h"
#include "window/DocumentWindowController.h"

#include <QModelIndex>
#include <QTemporaryDir>

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
    [[nodiscard]] bool openTerminal(const std::string&) override { return true; }
    std::set<std::string> refused;
};

// A document window on `root`, shown, once its first scan has ended; null if it did not.
[[nodiscard]] std::unique_ptr<DocumentWindowController> openScanned(
    const std::string& root, VolumeFactsProvider facts = {});

// An empty temporary folder; files are written into it on demand.
class FolderFixture {
public:
    [[nodiscard]] std::string path(const std::string& relative) const; // "" is the root
    [[nodiscard]] std::string root() const { return path(""); }
    void write(const std::string& relative, std::int64_t bytes) const; // all of it allocated

    QTemporaryDir folder;
};

// A document window with a recording workspace over a folder built on disk:
//   docs/report.pdf 400 KB, docs/notes.txt 40 KB, docs/draft.md 20 KB,
//   docs/deep/l2/l3/l4/big.bin 600 KB, media/photo.jpg 300 KB, media/clip.mov 250 KB,
//   empty/, Tool.app/Contents/bin 120 KB, Tool.app/Contents/res.dat 30 KB (a package),
//   top.bin 200 KB, many/f01.log … many/f12.log 8 KB each;
// scanned as a whole volume of 100 MB with 40 MB free, so it has free and other space.
class DocumentFixture : public FolderFixture {
public:
    DocumentFixture();
    ~DocumentFixture() { close(); }

    // Keeps the user's trash and settings out of reach; call once, before any window.
    static void isolateHome();

    bool open(bool wholeVolume = true); // shows the window once its first scan has ended
    void close()
    {
        if (window)
            window->close();
        window.reset();
    }

    [[nodiscard]] DocumentWindowController& operator*() const { return *window; }
    [[nodiscard]] FileNode* node(const std::string& relative) const; // "" is the root
    [[nodiscard]] QModelIndex indexOf(const FileNode* node) const;
    // Expands the node's ancestors and scrolls its row into view.
    void reveal(const FileNode* node) const;
    // Clicks the first node's row, then Ctrl-clicks the others', as a user does.
    void selectRows(const std::vector<FileNode*>& nodes) const;
    // A click on the node's block in the treemap; `twice` makes it a double click.
    void clickBlock(const FileNode* node, bool twice = false) const;
    // Clicks that button of the open trash question; false when there is none.
    bool answerTrash(const QString& button = QStringLiteral("Move to Trash")) const;

    std::shared_ptr<RecordingWorkspace> workspace = std::make_shared<RecordingWorkspace>();
    std::unique_ptr<DocumentWindowController> window;
};
// `window` shown, once its first scan (or load) has ended with a tree; null otherwise.
[[nodiscard]] std::unique_ptr<DocumentWindowController> shownWithTree(
    std::unique_ptr<DocumentWindowController> window);
