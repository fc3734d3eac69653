// SPDX-License-Identifier: MIT
#include "window/DocumentWindowController.h"

#include "model/ScanJob.h"
#include "model/TallyfernDocument.h"
#include "model/TreeQueries.h"
#include "platform/DisplayName.h"
#include "platform/MainThread.h"
#include "widgets/BarCellView.h"
#include "widgets/EnglishPlurals.h"
#include "widgets/Fmt.h"
#include "window/DocumentToolbar.h"
#include "window/FileOutlineModel.h"
#include "window/FileOutlineView.h"
#include "window/KeyTableView.h"
#include "window/KindsTableModel.h"

#include <QAbstractButton>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QMessageBox>
#include <QScreen>
#include <QScrollBar>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <malloc.h>
#include <new>
#include <utility>

namespace {

QString fileNameOf(const std::string& path)
{
    const std::size_t slash = path.find_last_of('/');
    return DisplayName::decode(slash == std::string::npos ? path : path.substr(slash + 1));
}

} // namespace

DocumentWindowController::DocumentWindowController(const std::string& path, VolumeFactsProvider volumeFacts,
    const DirectoryReader& reader, LaunchScanOptions launchScan)
    : DocumentWindowController(path, std::move(volumeFacts), reader, nullptr, std::move(launchScan))
{
}

DocumentWindowController::DocumentWindowController(
    SavedScanFile file, VolumeFactsProvider volumeFacts, const DirectoryReader& reader)
    : DocumentWindowController(file.path, std::move(volumeFacts), reader, &file.path, {})
{
}

DocumentWindowController::DocumentWindowController(const std::string& path, VolumeFactsProvider volumeFacts,
    const DirectoryReader& reader, const std::string* savedScan, LaunchScanOptions launchScan)
    // Until the saved scan is in, the document knows only the file: the system's display
    // name of it would be that of a file, not of a scanned folder.
    : m_disk(std::make_shared<TallyfernDocument>(
        path, std::move(volumeFacts), savedScan ? fileNameOf(path) : QString()))
    , m_scanJob(new ScanJob(m_disk, reader, this))
    , m_launchScan(std::move(launchScan))
    , m_commands(*m_disk)
{
    connect(m_scanJob, &ScanJob::finished, this, &DocumentWindowController::scanFinished);
    connect(m_scanJob, &ScanJob::rescanReady, this, &DocumentWindowController::deliverRescan);
    connect(m_scanJob, &ScanJob::rescanFailed, this, [this](FileNode*, const QString& reason) {
        reportScanFailure(reason, tr("The folder keeps its previous contents."));
        updateStatus(nullptr);
    });
    connect(m_scanJob, &ScanJob::stateChanged, this, [this] {
        emit commandStateChanged();
        // Rescans dropped on their way may have held back nodes that can go now.
        releaseDetachedNodes();
    });
    setWindowTitle(m_disk->displayName() + QStringLiteral(" — ") + QString::fromStdString(path));
    buildMainView();
    buildToolbar();
    applyScanPreferences();
    placeWindow();
    if (savedScan) {
        loadSavedScan();
        return;
    }
    // A folder that is not there, or a file, would scan as an empty unreadable tree.
    const int fd = reader.openPath(path.c_str());
    if (fd >= 0)
        reader.close(fd);
    if (fd == -ENOENT || fd == -ENOTDIR)
        showUnavailableView(fd == -ENOENT ? tr("No such folder") : tr("Not a folder"));
    else
        startScan();
}

DocumentWindowController::~DocumentWindowController()
{
    // The scan thread installs into the document: it ends before anything else goes.
    delete m_scanJob;
    m_disk->setObserver(nullptr);
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
    return m_scanJob->isScanning();
}

void DocumentWindowController::setCommandActions(CommandActions* actions)
{
    m_commandActions = actions;
    // The menu bar's shared actions answer the keys from now on.
    if (actions)
        for (auto& [command, action] : m_ownActions)
            action->setShortcuts({});
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

// ---------------------------------------------------------------------------------
// Scan lifecycle

void DocumentWindowController::loadSavedScan()
{
    m_loading = true;
    startScan();
}

void DocumentWindowController::startScan()
{
    if (isScanning() || m_closeHandled)
        return;
    m_treemapView->setRoot(nullptr);
    m_treemapView->setSelection({});
    m_treemapView->cancelRender();
    dropFindResults();
    // Wait for any render or tree change already queued: nothing may read the old tree
    // while the scan thread installs a new one.
    m_disk->renderQueue().sync([] {});
    // The outline and the kinds table show nothing until the new tree is in.
    m_outlineModel->setBlocked(true);
    m_kindsModel->setBlocked(true);
    showProgressView();

    if (m_loading)
        m_scanJob->load(m_disk->path());
    else
        m_scanJob->start();

    m_progressTimer = new QTimer(this);
    m_progressTimer->setInterval(100);
    connect(m_progressTimer, &QTimer::timeout, this, &DocumentWindowController::progressTick);
    m_progressTimer->start();
}

void DocumentWindowController::progressTick()
{
    if (!isScanning())
        return;
    const Progress progress = m_scanJob->progress();
    if (m_progressCountLabel && m_loading)
        m_progressCountLabel->setText(tr("%1 entries read", nullptr, EnglishPlurals::numerus(progress.files))
                                          .arg(Fmt::count(progress.files)));
    else if (m_progressCountLabel)
        m_progressCountLabel->setText(
            tr("%1 in %2 · %3")
                .arg(tr("%1 files", nullptr, EnglishPlurals::numerus(progress.files))
                         .arg(Fmt::count(progress.files)),
                    tr("%1 folders", nullptr, EnglishPlurals::numerus(progress.directories))
                        .arg(Fmt::count(progress.directories)),
                    Fmt::bytes(progress.bytes)));
    if (m_progressPathLabel)
        m_progressPathLabel->setText(DisplayName::decode(progress.currentPath));
}

void DocumentWindowController::cancelScan()
{
    m_scanJob->cancel();
}

void DocumentWindowController::scanFinished(bool cancelled, const QString& failure, bool treeLost)
{
    delete m_progressTimer;
    m_progressTimer = nullptr;
    const bool loaded = std::exchange(m_loading, false);
    if (m_closeHandled)
        return;
    if (loaded && !failure.isEmpty()) {
        // Without a parent: the alert outlives the window, which closes without a tree.
        auto* box = new QMessageBox(
            QMessageBox::Warning, tr("Cannot open the saved scan"), tr("The saved scan cannot be opened."));
        box->setObjectName(QStringLiteral("savedScanRefused"));
        box->setInformativeText(failure);
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->open();
    } else if (!failure.isEmpty())
        reportScanFailure(failure,
            treeLost || !m_disk->root() ? tr("The window closes: nothing of the scan can be shown.")
                                        : tr("The window shows the previous scan."));
    if (cancelled && (treeLost || !m_disk->root())) {
        emit scanEnded(true);
        close();
        return;
    }
    // A finished scan shows its new tree; a cancelled rescan returns to the tree the
    // document still holds, seen from its root.
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
    findQueryChanged();
    emit scanEnded(cancelled);
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
    saveLayout();
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

void DocumentWindowController::select(FileNode* node)
{
    if (!node)
        return;
    const QModelIndex index = reveal(node);
    if (!index.isValid())
        return;
    m_outlineView->selectionModel()->setCurrentIndex(
        index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    m_outlineView->scrollTo(index);
}

void DocumentWindowController::outlineSelectionChanged()
{
    m_treemapView->setSelection(selectedNodes());
    announceSelection();
    updateStatus(nullptr);
    refreshQuickLook();
    emit commandStateChanged();
}

void DocumentWindowController::announceSelection()
{
    // What a screen reader says of the treemap: the item under the selection, its size
    // and its share of its folder.
    const std::vector<FileNode*> selected = selectedNodes();
    if (selected.empty()) {
        m_treemapView->setAccessibleDescription(tr("Nothing selected"));
        return;
    }
    const FileNode* node = selected.back();
    const QString name = node->parent ? DisplayName::decode(node->name()) : m_disk->displayName();
    QString text = tr("%1, %2").arg(name, Fmt::bytes(node->size));
    if (node->parent)
        text = tr("%1, %2 of %3")
                   .arg(text, BarCellView::labelText(BarCellView::clamp(FileOutlineModel::fraction(node))),
                       node->parent->parent ? DisplayName::decode(node->parent->name())
                                            : m_disk->displayName());
    m_treemapView->setAccessibleDescription(text);
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
    // After an edit the document has kept the totals up to date; a new zoom root needs
    // them counted afresh.
    if (!m_disk->kindStatsCover(zoomRoot ? zoomRoot : m_disk->root())) {
        m_treemapView->cancelRender();
        // The totals walk the zoom root's subtree: on the render queue, where no tree
        // change or render runs at the same time.
        TallyfernDocument* disk = m_disk.get();
        disk->renderQueue().sync([disk, zoomRoot] {
            disk->focus = zoomRoot;
            disk->computeKindStats();
        });
    }
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

void DocumentWindowController::mutate(const std::function<void()>& body)
{
    // Renders read the tree on the render queue, and only this thread gives it work:
    // once it is idle the tree can change here, where the outline hears of each step.
    m_treemapView->cancelRender();
    dropFindResults();
    m_disk->renderQueue().sync([] {});
    m_outlineView->followEdit(body);

    refreshKinds();
    m_treemapView->setSelection(selectedNodes());
    m_treemapView->setNeedsRender();
    updateSummary();
    updateStatus(nullptr);
    emit commandStateChanged();
    releaseDetachedNodes();
    findQueryChanged(); // searched afresh in the changed tree
}

void DocumentWindowController::reportScanFailure(const QString& reason, const QString& consequence)
{
    // Without a parent: the alert outlives a window that closes because of it.
    auto* box = new QMessageBox(QMessageBox::Warning, tr("Scan stopped"),
        tr("The scan of “%1” stopped: %2.").arg(DisplayName::decode(m_disk->path()), reason));
    box->setInformativeText(consequence);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

void DocumentWindowController::releaseDetachedNodes()
{
    if (isScanning() || m_scanJob->rescansRunning() > 0 || m_questionsHoldingNodes > 0)
        return;
    // On the render queue, after every render already queued, which may still read a
    // node from before the change; the views themselves now hold only nodes of the tree.
    // The freed chunks go back to the system, not only to the allocator's free lists:
    // otherwise the process stays as large as after its largest rescan. A raw pointer:
    // the queue belongs to the document and runs what it holds before the rest of the
    // document goes, while a shared one could leave the queue's own thread to destroy it.
    TallyfernDocument* disk = m_disk.get();
    m_disk->renderQueue().async([disk] {
        if (disk->releaseUnreachable() > 0)
            ::malloc_trim(0);
    });
}
