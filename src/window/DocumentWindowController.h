// SPDX-License-Identifier: MIT
#pragma once

#include "model/ScanPreferences.h"
#include "model/SearchJob.h"
#include "platform/DirectoryReader.h"
#include "platform/VolumeFacts.h"
#include "scan/NodeArena.h"
#include "window/Command.h"
#include "window/DocumentCommands.h"
#include "window/PreviewPanel.h"
#include "window/TreemapView.h"

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
class FindPanel;
class FindResultsModel;
class FileOutlineModel;
class FileOutlineView;
class KeyTableView;
class KindsTableModel;
class QAbstractButton;
class QLabel;
class QSplitter;
class QTimer;
struct SavedScanOrigin;
class ScanJob;
class TallyfernDocument;
class Workspace;

// One window per scanned folder or volume. Owns the document, runs the full scan on a
// thread of its own behind a progress view, then shows the outline above the kinds table
// on the left, the treemap on the right and the status bar below, and ties them
// together. Every change of the tree goes through mutate(), which the outline follows
// row by row.
//
// Threads: everything here runs on the main thread, except the scan thread's body
// (scan, then install into the document), which touches no widget and reaches the
// controller back through a QPointer on the main thread.
class DocumentWindowController : public QMainWindow, public TreemapViewDelegate {
    Q_OBJECT
public:
    // `path`: absolute path of the folder or volume to scan. Starts the scan at once,
    // listing folders through `reader` (which outlives the window); every scan of the
    // window applies `launchScan` on top of the preferences.
    explicit DocumentWindowController(const std::string& path, VolumeFactsProvider volumeFacts = {},
        const DirectoryReader& reader = DirectoryReader::system(), LaunchScanOptions launchScan = {});
    // A saved scan to read instead of a folder to scan.
    struct SavedScanFile {
        std::string path;
    };
    // Reads the saved scan behind the progress view, as a scan runs; a file that cannot
    // be read gives the reader's message and closes the window.
    explicit DocumentWindowController(SavedScanFile file, VolumeFactsProvider volumeFacts = {},
        const DirectoryReader& reader = DirectoryReader::system());
    ~DocumentWindowController() override;

    // Deepest folder level that select() opens in the outline.
    static constexpr std::size_t kMaxOpenedLevels = 1000;

    std::function<void()> onClose; // called once when the window closes, after scan/timer/render stopped

    TallyfernDocument& disk();
    bool isScanning() const; // a full scan is running

    // Commands (enum in src/window/Command.h). canPerform(std::nullopt) answers "any command at all".
    bool canPerform(std::optional<Command> command) const;
    void perform(Command command);
    bool isChecked(Command command) const; // checkmarks of the commands that switch a view
    // Why a disabled command cannot act here, for its tooltip; empty when no reason needs
    // telling.
    QString disabledReason(Command command) const;

    // Shared actions of the application (one QAction per command); set by the app shell before show();
    // the toolbar uses them. May stay null in tests.
    void setCommandActions(CommandActions* actions);
    // Where file actions go (open, reveal, trash); the system's unless a test sets one.
    void setWorkspace(std::shared_ptr<Workspace> workspace);
    // The application's preview panel (owned by the caller, outlives the window); a
    // window without one makes its own on first use.
    void setPreviewPanel(PreviewPanel* panel);

    // Selection and views
    std::vector<FileNode*> selectedNodes() const;
    void select(FileNode* node) override;
    // Selects every node of `nodes` (at most kMaxSelectedResults) in the outline, opening
    // the folders above each.
    void selectNodes(const std::vector<FileNode*>& nodes);
    static constexpr std::size_t kMaxSelectedResults = 1000;
    void updateStatus(FileNode* node) override;

    FileOutlineView* outlineView() const;
    KeyTableView* kindsTable() const;
    TreemapView* treemapView() const;

signals:
    void scanEnded(bool cancelled); // after scanFinished has updated the views
    void commandStateChanged(); // selection, zoom, scan state or rescan count changed: re-validate actions
    void closed(); // emitted from the close handling, right before onClose

protected:
    void closeEvent(QCloseEvent* event) override;
    // An open preview panel follows the active document window.
    void changeEvent(QEvent* event) override;

private:
    DocumentWindowController(const std::string& path, VolumeFactsProvider volumeFacts,
        const DirectoryReader& reader, const std::string* savedScan, LaunchScanOptions launchScan);
    // Views and scan lifecycle (DocumentWindowController.cpp, DocumentViews.cpp)
    void loadSavedScan();
    void buildMainView();
    void showProgressView();
    // Geometry and what persists of it (DocumentWindowLayout.cpp).
    void placeWindow();
    void fitColumnsToContents();
    void restoreDividers();
    void saveLayout();
    void placePreviewPanel(PreviewPanel& panel) const;
    // In place of a scan: why the path cannot be scanned at all.
    void showUnavailableView(const QString& reason);
    void showMainView();
    void progressTick();
    void startScan();
    void cancelScan();
    void refreshKinds();
    void updateSummary();
    void updateTitle();
    QString describe(const FileNode* node) const;
    // `failure`: why the scan stopped short (the document keeps its previous tree, if any);
    // `treeLost`: memory ran out while the new tree was installed, so none is usable.
    void scanFinished(bool cancelled, const QString& failure, bool treeLost);
    // Says why a scan gave no result, and what follows for the window.
    void reportScanFailure(const QString& reason, const QString& consequence);
    // Frees the document's detached rescans once nothing of the window can still hold
    // one of their nodes (a folder rescan in flight, an open Trash question).
    void releaseDetachedNodes();
    void windowWillClose();
    // "from HOST, DATE": where and when a saved scan was made.
    static QString savedScanSource(const SavedScanOrigin& origin);
    void outlineSelectionChanged();
    void kindsSelectionChanged();
    void announceSelection();
    void showUnreadableFolders();
    // The row of `node` in the outline, opening the folders above it; invalid when it has none.
    QModelIndex reveal(FileNode* node);

    // Find (DocumentFind.cpp). Results name nodes of the tree: they are dropped before
    // every change of it and searched for again afterwards.
    void buildFindPanel();
    void showFind();
    void findQueryChanged();
    void showFound(const std::shared_ptr<const SearchJob::Result>& result);
    void findResultsSelected();
    void dropFindResults();
    void showPreferences();
    // Colours the treemap by age, with the age legend in place of the kinds table, or back.
    void setColorByAge(bool on);
    // Gives the scan job the patterns and options of the preferences; false, after telling
    // the user, when the kept patterns do not compile (then none apply).
    bool applyScanPreferences();
    // For the status bar: what the command line adds to the scans (hidden when nothing).
    QWidget* launchScanButton();
    QIcon icon(const FileNode* node);

    // Runs `body`, which changes the tree, while nothing else reads it; then brings the
    // kinds, treemap selection, status and commands up to date.
    void mutate(const std::function<void()>& body);

    // Commands (DocumentCommands.cpp)
    void didDoubleClick(FileNode* node) override;
    std::unique_ptr<QMenu> contextMenu() override;
    void toggleQuickLook() override;
    void zoomIn() override;
    void zoomOut() override;
    // Tab and Shift+Tab: outline, kinds, treemap, toolbar.
    void orderFocus();
    void refreshQuickLook();
    void bindPreviewPanel(PreviewPanel* panel);
    void collapseSubfolders();
    void toggleFreeSpace();
    void togglePackageContents();
    void toggleApparentSizes();
    void outlineDoubleClicked(const QModelIndex& index);
    void revealInFileManager();
    void openItem();
    void openTerminal();
    void copyPath();
    void moveToTrash();
    void performTrash(const std::vector<FileNode*>& nodes);
    // A folder rescan, or a full scan for the root.
    void rescan(FileNode* folder);
    void buildToolbar();
    DocumentCommands::View commandView() const;
    void applyZoom(FileNode* node);
    QAction* commandAction(Command command);
    QAction* ownAction(Command command);
    std::vector<PreviewItem> previewItems() const;
    Workspace& workspace();
    PreviewPanel& previewPanel();
    void deliverRescan(FileNode* node, std::shared_ptr<FileTree> tree, std::int64_t unreadable);
    // Save Scan As (DocumentSaving.cpp): asks for a name, then writes off this thread.
    void saveScanAs();
    void writeScan(const std::string& path);

    // Owned jointly with a running scan thread, which installs into it.
    std::shared_ptr<TallyfernDocument> m_disk;
    ScanJob* m_scanJob = nullptr; // a child; deleted first of all, which ends its thread
    const LaunchScanOptions m_launchScan; // from the command line; shown, never saved
    DocumentCommands m_commands;
    QTimer* m_progressTimer = nullptr;
    bool m_loading = false; // the running "scan" reads a saved scan
    int m_questionsHoldingNodes = 0; // open questions that keep a list of nodes
    bool m_closeHandled = false;
    bool m_dividersPlaced = false; // the main view has been shown and its dividers set
    CommandActions* m_commandActions = nullptr;
    std::map<Command, QAction*> m_ownActions; // the toolbar's, and all of a window without shared ones
    DocumentToolbar* m_toolbar = nullptr;
    std::shared_ptr<Workspace> m_workspace;
    QPointer<PreviewPanel> m_previewPanel;

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
    SearchJob* m_searchJob = nullptr;
    FindResultsModel* m_findModel = nullptr;
    FindPanel* m_findPanel = nullptr;
    QWidget* m_ageLegend = nullptr;
};
