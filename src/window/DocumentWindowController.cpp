// SPDX-License-Identifier: MIT
#include "window/DocumentWindowController.h"

#include "model/TallyfernDocument.h"
#include "platform/DisplayName.h"
#include "platform/MainThread.h"
#include "scan/Scanner.h"
#include "window/DocumentToolbar.h"
#include "window/FileOutlineModel.h"
#include "window/FileOutlineView.h"
#include "window/Fmt.h"
#include "window/KeyTableView.h"
#include "window/KindsTableModel.h"
#include "window/ScanThread.h"

#include <QAbstractButton>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QMessageBox>
#include <QScreen>
#include <QScrollBar>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <unordered_set>

DocumentWindowController::DocumentWindowController(
    const std::string& path, VolumeFactsProvider volumeFacts, QWidget* parent)
    : QMainWindow(parent)
    , m_disk(std::make_shared<TallyfernDocument>(path, std::move(volumeFacts)))
{
    resize(1280, 800);
    setMinimumSize(720, 420);
    setWindowTitle(m_disk->displayName() + QStringLiteral(" — ") + QString::fromStdString(path));
    buildMainView();
    buildToolbar();
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame(QPoint(0, 0), size());
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
    startScan();
}

DocumentWindowController::~DocumentWindowController()
{
    if (m_scanner)
        m_scanner->cancel();
    // The scan thread installs into the document and reads the scanner: let it finish
    // before either can go.
    m_scanThread.reset();
    delete m_progressTimer;
    m_treemapView->setDelegate(nullptr);
    m_treemapView->cancelRender();
    // Views read the models and the models the document: both go before the document.
    delete takeCentralWidget();
    delete m_mainView.data();
    delete m_progressView.data();
    delete m_unreadableWindow.data();
    delete m_outlineModel;
    delete m_kindsModel;
}

TallyfernDocument& DocumentWindowController::disk()
{
    return *m_disk;
}

bool DocumentWindowController::isScanning() const
{
    return m_scanner != nullptr;
}

void DocumentWindowController::setCommandActions(CommandActions* actions)
{
    m_commandActions = actions;
    // The toolbar was built with the window, on actions of its own: it takes the shared
    // ones from now on.
    if (m_toolbar)
        m_toolbar->setItems(m_toolbar->items());
}

FileOutlineView* DocumentWindowController::outlineView() const
{
    return m_outlineView;
}
KeyTableView* DocumentWindowController::kindsTable() const
{
    return m_kindsTable;
}
TreemapView* DocumentWindowController::treemapView() const
{
    return m_treemapView;
}
QLabel* DocumentWindowController::statusLabel() const
{
    return m_statusLabel;
}
QLabel* DocumentWindowController::summaryLabel() const
{
    return m_summaryLabel;
}
QAbstractButton* DocumentWindowController::warningButton() const
{
    return m_warningButton;
}
QWidget* DocumentWindowController::progressView() const
{
    return m_progressView;
}

// ---------------------------------------------------------------------------------
// Scan lifecycle

void DocumentWindowController::startScan()
{
    if (m_scanner || m_closeHandled)
        return;
    m_treemapView->setRoot(nullptr);
    m_treemapView->setSelection({});
    m_treemapView->cancelRender();
    // Wait for any render or tree change already queued: nothing may read the old tree
    // while the scan thread installs a new one.
    m_disk->renderQueue().sync([] {});
    // The outline and the kinds table show nothing until the new tree is in.
    m_outlineModel->setBlocked(true);
    m_kindsModel->setBlocked(true);
    m_scanThread.reset();
    showProgressView();

    m_scanner = std::make_shared<Scanner>(m_disk->path());
    std::shared_ptr<TallyfernDocument> disk = m_disk;
    std::shared_ptr<Scanner> scanner = m_scanner;
    QPointer<DocumentWindowController> self(this);
    const auto start = std::chrono::steady_clock::now();
    m_scanThread = std::make_unique<ScanThread>([disk, scanner, self, start] {
        FileTree tree = scanner->run();
        const bool cancelled = scanner->isCancelled();
        const Scanner::Failure failure = scanner->failure();
        if (!cancelled) {
            disk->install(std::move(tree));
            disk->scanDuration
                = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            disk->unreadableCount = scanner->progress().unreadable;
        }
        Dispatch::postToMain([self, cancelled, failure, path = disk->path()] {
            if (self)
                self->scanFinished(cancelled);
            if (failure != Scanner::Failure::None)
                reportScanFailure(path, Scanner::describe(failure));
        });
    });

    m_progressTimer = new QTimer(this);
    m_progressTimer->setInterval(100);
    connect(m_progressTimer, &QTimer::timeout, this, &DocumentWindowController::progressTick);
    m_progressTimer->start();
    emit commandStateChanged();
}

void DocumentWindowController::reportScanFailure(const std::string& path, const char* reason)
{
    // Without a parent: a first scan that failed closes its window.
    auto* alert = new QMessageBox(QMessageBox::Warning, QStringLiteral("Scan stopped"),
        QStringLiteral("The scan of “%1” stopped: %2.")
            .arg(DisplayName::decode(path), QString::fromUtf8(reason)),
        QMessageBox::Ok);
    alert->setAttribute(Qt::WA_DeleteOnClose);
    alert->show();
}

void DocumentWindowController::progressTick()
{
    if (!m_scanner)
        return;
    const Progress progress = m_scanner->progress();
    if (m_progressCountLabel)
        m_progressCountLabel->setText(Fmt::count(progress.files) + QStringLiteral(" files in ")
            + Fmt::count(progress.directories) + QStringLiteral(" folders · ") + Fmt::bytes(progress.bytes));
    if (m_progressPathLabel)
        m_progressPathLabel->setText(DisplayName::decode(progress.currentPath));
}

void DocumentWindowController::cancelScan()
{
    if (m_scanner)
        m_scanner->cancel();
}

void DocumentWindowController::scanFinished(bool cancelled)
{
    delete m_progressTimer;
    m_progressTimer = nullptr;
    m_scanner.reset();
    m_scanThread.reset(); // the thread has posted its last word; joining is immediate
    if (m_closeHandled)
        return;
    if (cancelled && !m_disk->root()) {
        emit scanEnded(true);
        emit commandStateChanged();
        close();
        return;
    }
    // A finished scan shows its new tree; a cancelled rescan returns to the tree the
    // document still holds, seen from its root.
    if (!cancelled)
        ++m_treeGeneration;
    showMainView();
    FileNode* root = m_disk->root();
    m_treemapView->setColors(m_disk->colors);
    m_treemapView->setShowPackageContents(m_disk->showPackageContents);
    m_treemapView->setHighlightKind(std::nullopt);
    m_treemapView->setSelection({});
    m_treemapView->setRoot(root);
    m_disk->focus = root;
    m_outlineModel->setBlocked(false);
    if (root)
        m_outlineView->expand(m_outlineModel->indexOf(root));
    m_kindsModel->setBlocked(false);
    updateTitle();
    updateSummary();
    updateStatus(nullptr);
    emit scanEnded(cancelled);
    emit commandStateChanged();
}

// ---------------------------------------------------------------------------------
// Closing

void DocumentWindowController::closeEvent(QCloseEvent* event)
{
    QMainWindow::closeEvent(event);
    if (event->isAccepted())
        windowWillClose();
}

void DocumentWindowController::windowWillClose()
{
    if (m_closeHandled)
        return;
    m_closeHandled = true;
    cancelScan();
    delete m_progressTimer;
    m_progressTimer = nullptr;
    m_treemapView->cancelRender();
    if (m_unreadableWindow)
        m_unreadableWindow->close();
    emit closed();
    if (onClose)
        onClose();
}

// ---------------------------------------------------------------------------------
// Selection

namespace {

// Rows from the top level down to the index: comparing them orders indexes as the
// outline shows them.
std::vector<int> rowPath(QModelIndex index)
{
    std::vector<int> rows;
    for (; index.isValid(); index = index.parent())
        rows.push_back(index.row());
    std::reverse(rows.begin(), rows.end());
    return rows;
}

} // namespace

std::vector<FileNode*> DocumentWindowController::selectedNodes() const
{
    const QModelIndexList rows = m_outlineView->selectionModel()->selectedRows(0);
    std::vector<std::pair<std::vector<int>, FileNode*>> ordered;
    ordered.reserve(std::size_t(rows.size()));
    for (const QModelIndex& index : rows)
        if (FileNode* node = m_outlineModel->node(index))
            ordered.emplace_back(rowPath(index), node);
    std::sort(ordered.begin(), ordered.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<FileNode*> nodes;
    nodes.reserve(ordered.size());
    for (auto& entry : ordered)
        nodes.push_back(entry.second);
    return nodes;
}

std::vector<FileNode*> DocumentWindowController::actionableNodes() const
{
    std::vector<FileNode*> candidates;
    for (FileNode* node : selectedNodes())
        if (!node->flags.contains(NodeFlags::Pseudo))
            candidates.push_back(node);
    const std::unordered_set<const FileNode*> chosen(candidates.begin(), candidates.end());
    std::vector<FileNode*> result;
    for (FileNode* node : candidates) {
        bool covered = false;
        for (const FileNode* up = node->parent; up && !covered; up = up->parent)
            covered = chosen.contains(up);
        if (!covered)
            result.push_back(node);
    }
    return result;
}

bool DocumentWindowController::isExpandable(const FileNode* node) const
{
    return FileOutlineModel::isExpandable(node, m_disk->showPackageContents);
}

void DocumentWindowController::select(FileNode* node)
{
    if (!node)
        return;
    for (FileNode* ancestor : node->ancestors()) {
        const QModelIndex index = m_outlineModel->indexOf(ancestor);
        if (index.isValid())
            m_outlineView->expand(index);
    }
    const QModelIndex index = m_outlineModel->indexOf(node);
    if (!index.isValid())
        return;
    m_outlineView->selectionModel()->setCurrentIndex(
        index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    m_outlineView->scrollTo(index);
}

void DocumentWindowController::outlineSelectionChanged()
{
    m_treemapView->setSelection(selectedNodes());
    updateStatus(nullptr);
    refreshQuickLook();
    emit commandStateChanged();
}

void DocumentWindowController::kindsSelectionChanged()
{
    const QModelIndexList rows = m_kindsTable->selectionModel()->selectedRows();
    if (!rows.isEmpty() && rows.first().row() < m_kindsModel->rowCount())
        m_treemapView->setHighlightKind(m_kindsModel->kindAt(rows.first().row()));
    else
        m_treemapView->setHighlightKind(std::nullopt);
}

void DocumentWindowController::refreshKinds()
{
    const std::optional<std::int32_t> highlighted = m_treemapView->highlightKind();
    FileNode* zoomRoot = m_treemapView->root();
    m_treemapView->cancelRender();
    // The totals walk the zoom root's subtree: on the render queue, where no tree change
    // or render runs at the same time.
    TallyfernDocument* disk = m_disk.get();
    disk->renderQueue().sync([disk, zoomRoot] {
        disk->focus = zoomRoot;
        disk->computeKindStats();
    });
    m_kindsModel->reload();
    const int row = highlighted ? m_kindsModel->rowOf(*highlighted) : -1;
    if (row >= 0) {
        m_kindsTable->selectionModel()->setCurrentIndex(
            m_kindsModel->index(row, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    } else {
        m_kindsTable->clearSelection();
        m_treemapView->setHighlightKind(std::nullopt);
    }
    m_treemapView->setColors(m_disk->colors);
}

// ---------------------------------------------------------------------------------
// Changes of the tree

DocumentWindowController::OutlineState DocumentWindowController::captureOutlineState() const
{
    OutlineState state;
    for (QModelIndex index = m_outlineModel->index(0, 0); index.isValid();
         index = m_outlineView->indexBelow(index)) {
        if (m_outlineView->isExpanded(index))
            if (FileNode* node = m_outlineModel->node(index))
                state.expanded.push_back(node);
    }
    state.selected = selectedNodes();
    state.scrollX = m_outlineView->horizontalScrollBar()->value();
    state.scrollY = m_outlineView->verticalScrollBar()->value();
    return state;
}

void DocumentWindowController::mutate(const std::function<void()>& body)
{
    // The outline's rows are positions in the tree: note what they show by node before
    // the change, and drop them right after it, so that no row ever reads a position
    // that has moved.
    if (!m_stateBeforeMutation)
        m_stateBeforeMutation = captureOutlineState();
    m_treemapView->cancelRender();
    m_disk->renderQueue().sync(body);
    m_outlineModel->reload();
}

void DocumentWindowController::reloadAfterMutation()
{
    const OutlineState state = m_stateBeforeMutation ? *m_stateBeforeMutation : captureOutlineState();
    m_stateBeforeMutation.reset();

    m_outlineModel->reload();
    for (FileNode* node : state.expanded) {
        const QModelIndex index = m_outlineModel->indexOf(node);
        if (index.isValid())
            m_outlineView->expand(index);
    }
    QItemSelection selection;
    for (FileNode* node : state.selected) {
        const QModelIndex index = m_outlineModel->indexOf(node);
        if (index.isValid())
            selection.select(index, index);
    }
    m_outlineView->selectionModel()->select(
        selection, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    // The scroll ranges follow the new rows only once they are laid out.
    m_outlineView->doItemsLayout();
    m_outlineView->horizontalScrollBar()->setValue(state.scrollX);
    m_outlineView->verticalScrollBar()->setValue(state.scrollY);

    refreshKinds();
    m_treemapView->setSelection(selectedNodes());
    updateSummary();
    updateStatus(nullptr);
    emit commandStateChanged();
}
