// SPDX-License-Identifier: MIT
#pragma once

#include "platform/VolumeFacts.h"
#include "platform/gui/PreviewPanel.h"
#include "scan/NodeArena.h"
#include "treemap/TreemapView.h"
#include "window/Command.h"

#include <QElapsedTimer>
#include <QHash>
#include <QIcon>
#include <QMainWindow>
#include <QPointer>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class CommandActions;
class DocumentToolbar;
class FileOutlineModel;
class FileOutlineView;
class KeyTableView;
class KindsTableModel;
class QAbstractButton;
class QLabel;
class QSplitter;
class QTimer;
class ScanThread;
class Scanner;
class TallyfernDocument;
class Workspace;

// One window per scanned folder or volume. Owns the document, runs the full scan on a
// thread of its own behind a progress view, then shows the outline above the kinds table
// on the left, the treemap on the right and the status bar below, and ties them
// together. Every change of the tree goes through mutate() and reloadAfterMutation().
//
// Threads: everything here runs on the main thread, except the scan thread's body
// (scan, then install into the document), which touches no widget and reaches the
// controller back through a QPointer on the main thread.
class DocumentWindowController : public QMainWindow, public TreemapViewDelegate {
    Q_OBJECT
public:
    // `path`: absolute path of the folder or volume to scan. Starts the scan at once.
    explicit DocumentWindowController(
        const std::string& path, VolumeFactsProvider volumeFacts = {}, QWidget* parent = nullptr);
    ~DocumentWindowController() override;

    std::function<void()> onClose; // called once when the window closes, after scan/timer/render stopped

    TallyfernDocument& disk();
    bool isScanning() const; // a full scan is running (the scanner is present)

    // Commands (enum in src/window/Command.h). canPerform(std::nullopt) answers "any command at all".
    bool canPerform(std::optional<Command> command) const;
    void perform(Command command);
    bool isChecked(Command command) const; // checkmarks of ToggleFreeSpace / TogglePackageContents

    // Shared actions of the application (one QAction per command); set by the app shell before show();
    // the toolbar uses them. May stay null in tests.
    void setCommandActions(CommandActions* actions);
    // Where file actions go (open, reveal, trash); the system's unless a test sets one.
    void setWorkspace(std::shared_ptr<Workspace> workspace);

    // Selection and views
    std::vector<FileNode*> selectedNodes() const;
    std::vector<FileNode*> actionableNodes() const;
    bool isExpandable(const FileNode* node) const;
    void select(FileNode* node) override;
    void refreshKinds();
    void mutate(const std::function<void()>& body);
    void reloadAfterMutation();
    void startScan();
    void cancelScan();
    void updateSummary();
    void updateStatus(FileNode* node) override;
    void updateTitle();
    QString describe(const FileNode* node) const;

    FileOutlineView* outlineView() const;
    KeyTableView* kindsTable() const;
    TreemapView* treemapView() const;
    QLabel* statusLabel() const;
    QLabel* summaryLabel() const;
    QAbstractButton* warningButton() const;
    QWidget* progressView() const; // null while the main view shows

signals:
    void scanEnded(bool cancelled); // after scanFinished has updated the views
    void commandStateChanged(); // selection, zoom, scan state or rescan count changed: re-validate actions
    void closed(); // emitted from the close handling, right before onClose

protected:
    void closeEvent(QCloseEvent* event) override;
    // An open preview panel follows the active document window.
    void changeEvent(QEvent* event) override;

private:
    // Views and scan lifecycle (DocumentWindowController.cpp, DocumentViews.cpp)
    void buildMainView();
    void showProgressView();
    void showMainView();
    void progressTick();
    void scanFinished(bool cancelled);
    // Says why the scan of `path` gave no result (a Scanner::Failure); the window may be
    // closing meanwhile.
    static void reportScanFailure(const std::string& path, const char* reason);
    void windowWillClose();
    void outlineSelectionChanged();
    void kindsSelectionChanged();
    void showUnreadableFolders();
    QIcon icon(const FileNode* node);

    // What the outline shows, by node: rows are positions in the tree, so they must be
    // noted before the tree changes and found again afterwards.
    struct OutlineState {
        std::vector<FileNode*> expanded; // in row order, parents before children
        std::vector<FileNode*> selected;
        int scrollX = 0;
        int scrollY = 0;
    };
    OutlineState captureOutlineState() const;

    // Commands (DocumentCommands.cpp)
    void didDoubleClick(FileNode* node) override;
    std::unique_ptr<QMenu> contextMenu() override;
    void toggleQuickLook() override;
    void refreshQuickLook();
    void bindPreviewPanel(PreviewPanel* panel);
    void zoomIn();
    void zoomOut();
    void zoomToTop();
    void collapseSubfolders();
    void toggleFreeSpace();
    void togglePackageContents();
    void outlineDoubleClicked(const QModelIndex& index);
    void revealInFileManager();
    void openItem();
    void copyPath();
    void moveToTrash();
    void performTrash(const std::vector<FileNode*>& nodes);
    void rescan();
    void rescanAll();
    void rescanSubtree(FileNode* node);
    void buildToolbar();
    FileNode* collapseTarget() const;
    void applyZoom(FileNode* node);
    QAction* commandAction(Command command);
    std::vector<PreviewItem> previewItems() const;
    Workspace& workspace();
    void deliverRescan(FileNode* node, FileTree tree, std::int64_t unreadable, std::uint64_t generation);

    // Owned jointly with a running scan thread, which installs into it.
    std::shared_ptr<TallyfernDocument> m_disk;
    std::shared_ptr<Scanner> m_scanner; // present exactly while a full scan runs
    std::unique_ptr<ScanThread> m_scanThread;
    QTimer* m_progressTimer = nullptr;
    QElapsedTimer m_scanClock;
    int m_subtreeScans = 0;
    bool m_closeHandled = false;
    CommandActions* m_commandActions = nullptr;
    std::map<Command, QAction*> m_ownActions; // actions of a window without the shared ones
    DocumentToolbar* m_toolbar = nullptr;
    std::shared_ptr<Workspace> m_workspace;
    // Counts installed trees; a folder rescan started on an older tree is dropped.
    std::uint64_t m_treeGeneration = 0;

    FileOutlineModel* m_outlineModel = nullptr;
    KindsTableModel* m_kindsModel = nullptr;
    FileOutlineView* m_outlineView = nullptr;
    KeyTableView* m_kindsTable = nullptr;
    TreemapView* m_treemapView = nullptr;
    QLabel* m_statusLabel = nullptr;
    QLabel* m_summaryLabel = nullptr;
    QAbstractButton* m_warningButton = nullptr;
    QSplitter* m_mainSplit = nullptr;
    QSplitter* m_leftSplit = nullptr;
    QPointer<QWidget> m_mainView;
    QPointer<QWidget> m_progressView;
    QPointer<QLabel> m_progressCountLabel;
    QPointer<QLabel> m_progressPathLabel;
    QPointer<QWidget> m_unreadableWindow;
    QHash<std::int32_t, QIcon> m_iconCache;
    std::optional<OutlineState> m_stateBeforeMutation; // set by mutate, used by reloadAfterMutation
};
