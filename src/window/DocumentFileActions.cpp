// SPDX-License-Identifier: MIT
// The file actions and rescans of a document window: reveal, open, copy paths, Quick
// Look, the Trash, and folder and full rescans.
#include "window/DocumentWindowController.h"

#include "model/TallyfernDocument.h"
#include "platform/DisplayName.h"
#include "platform/MainThread.h"
#include "platform/gui/SystemWorkspace.h"
#include "scan/Scanner.h"
#include "window/FileOutlineModel.h"
#include "window/FileOutlineView.h"
#include "window/Fmt.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>

#include <algorithm>


namespace {

// At most this many failures are listed after a trash.
constexpr int kMaxReportedFailures = 10;

QString nameOf(const FileNode* node)
{
    return DisplayName::decode(node->name());
}

// True when `node` is still reachable from `root` through children lists, not merely
// through parent links (which a node taken out of the tree may keep).
bool isAttached(const FileNode* node, const FileNode* root)
{
    if (!node || !root)
        return false;
    for (const FileNode* child = node; child != root; child = child->parent) {
        if (!child->parent || child->parent->indexOfChild(child) < 0)
            return false;
    }
    return true;
}

// Names from below `top` down to `node`.
std::vector<std::string> namesBelow(const FileNode* top, const FileNode* node)
{
    std::vector<std::string> names;
    for (const FileNode* n = node; n && n != top; n = n->parent)
        names.emplace_back(n->name());
    std::reverse(names.begin(), names.end());
    return names;
}

FileNode* findBelow(FileNode* top, const std::vector<std::string>& names)
{
    FileNode* current = top;
    for (const std::string& name : names) {
        FileNode* next = nullptr;
        for (FileNode* child : current->children())
            if (child->name() == name) {
                next = child;
                break;
            }
        if (!next)
            return nullptr;
        current = next;
    }
    return current;
}

} // namespace

// File actions

void DocumentWindowController::setWorkspace(std::shared_ptr<Workspace> workspace)
{
    m_workspace = std::move(workspace);
}

Workspace& DocumentWindowController::workspace()
{
    if (!m_workspace)
        m_workspace = std::make_shared<SystemWorkspace>();
    return *m_workspace;
}

void DocumentWindowController::revealInFileManager()
{
    std::vector<std::string> paths;
    for (const FileNode* node : actionableNodes())
        paths.push_back(node->path());
    if (!paths.empty())
        workspace().reveal(paths);
}

void DocumentWindowController::openItem()
{
    for (const FileNode* node : actionableNodes())
        workspace().open(node->path());
}

void DocumentWindowController::copyPath()
{
    QStringList paths;
    for (const FileNode* node : actionableNodes())
        paths << DisplayName::decode(node->path());
    if (paths.isEmpty())
        return;
    QGuiApplication::clipboard()->setText(paths.join(QLatin1Char('\n')));
}

std::vector<PreviewItem> DocumentWindowController::previewItems() const
{
    std::vector<PreviewItem> items;
    for (const FileNode* node : actionableNodes()) {
        PreviewItem item;
        item.path = node->path();
        item.name = node->parent ? nameOf(node) : m_disk->displayName();
        item.isDirectory = node->isDirectory();
        item.sizeText = Fmt::bytes(node->size);
        item.kindText = node->flags.contains(NodeFlags::Unreadable) ? QStringLiteral("Folder (no access)")
                                                                    : m_disk->kinds().name(node->kind);
        if (item.isDirectory)
            item.summary = Fmt::count(node->fileCount) + QStringLiteral(" files");
        items.push_back(std::move(item));
    }
    return items;
}

void DocumentWindowController::bindPreviewPanel(PreviewPanel* panel)
{
    QPointer<DocumentWindowController> self(this);
    panel->setSource(
        this, [self] { return self ? self->previewItems() : std::vector<PreviewItem>(); },
        [self](QKeyEvent* event) {
            // Keys of the panel drive the outline, so the arrows move its selection and
            // the panel follows.
            if (!self)
                return false;
            QKeyEvent copy(event->type(), event->key(), event->modifiers(), event->text(),
                event->isAutoRepeat(), ushort(event->count()));
            QCoreApplication::sendEvent(self->m_outlineView, &copy);
            return true;
        });
}

void DocumentWindowController::toggleQuickLook()
{
    PreviewPanel* panel = PreviewPanel::shared();
    if (panel->isVisible()) {
        panel->hide();
        return;
    }
    bindPreviewPanel(panel);
    panel->toggle();
}

void DocumentWindowController::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    if (event->type() != QEvent::ActivationChange || !isActiveWindow() || m_closeHandled)
        return;
    PreviewPanel* panel = PreviewPanel::existing();
    if (panel && panel->isVisible() && panel->source() != this) {
        bindPreviewPanel(panel);
        panel->reloadData();
    }
}

void DocumentWindowController::refreshQuickLook()
{
    PreviewPanel* panel = PreviewPanel::existing();
    if (panel && panel->isVisible() && panel->source() == this)
        panel->reloadData();
}

void DocumentWindowController::moveToTrash()
{
    FileNode* root = m_disk->root();
    if (!root)
        return;
    std::vector<FileNode*> nodes = actionableNodes();
    std::erase(nodes, root); // the scanned folder itself is never trashed
    if (nodes.empty())
        return;
    std::int64_t total = 0;
    for (const FileNode* node : nodes)
        total += node->size;

    auto* alert = new QMessageBox(this);
    alert->setIcon(QMessageBox::Warning);
    alert->setText(nodes.size() == 1
            ? QStringLiteral("Move “") + nameOf(nodes.front()) + QStringLiteral("” to the Trash?")
            : QStringLiteral("Move %1 items to the Trash?").arg(nodes.size()));
    alert->setInformativeText(QStringLiteral("This frees up to ") + Fmt::bytes(total)
        + QStringLiteral(" once the Trash is emptied."));
    QPushButton* confirm = alert->addButton(QStringLiteral("Move to Trash"), QMessageBox::AcceptRole);
    alert->addButton(QStringLiteral("Cancel"), QMessageBox::RejectRole);
    alert->setDefaultButton(confirm);
    alert->setWindowModality(Qt::WindowModal);
    alert->setAttribute(Qt::WA_DeleteOnClose);
    alert->setObjectName(QStringLiteral("trashConfirmation"));
    // A full rescan frees the nodes of this list: the question no longer stands.
    connect(this, &DocumentWindowController::commandStateChanged, alert, [this, alert] {
        if (isScanning())
            alert->reject();
    });
    QPointer<DocumentWindowController> self(this);
    connect(alert, &QMessageBox::finished, this, [self, alert, confirm, nodes] {
        if (self && alert->clickedButton() == confirm && !self->isScanning())
            self->performTrash(nodes);
    });
    alert->open();
}

void DocumentWindowController::performTrash(const std::vector<FileNode*>& nodes)
{
    std::vector<FileNode*> trashed;
    QStringList failures;
    for (FileNode* node : nodes) {
        // A folder rescan may have replaced the node since the question was asked.
        if (!isAttached(node, m_disk->root())) {
            failures << nameOf(node) + QStringLiteral(": It is no longer part of the scan.");
            continue;
        }
        const FileTrash::Outcome outcome = workspace().moveToTrash(node->path());
        if (outcome.moved)
            trashed.push_back(node);
        else
            failures << nameOf(node) + QStringLiteral(": ") + outcome.reason;
    }

    if (!trashed.empty()) {
        if (FileNode* zoomRoot = m_treemapView->root()) {
            for (FileNode* node : trashed) {
                if (node == zoomRoot || zoomRoot->hasAncestor(node)) {
                    m_treemapView->setRoot(node->parent ? node->parent : m_disk->root());
                    break;
                }
            }
        }
        m_outlineView->clearSelection();
        TallyfernDocument* disk = m_disk.get();
        mutate([disk, &trashed] {
            for (FileNode* node : trashed)
                disk->removeNode(node);
        });
        reloadAfterMutation();
        m_treemapView->setNeedsRender();
        updateTitle();
    }

    if (!failures.isEmpty()) {
        auto* report = new QMessageBox(this);
        report->setIcon(QMessageBox::Warning);
        report->setText(QStringLiteral("Some items couldn’t be moved to the Trash."));
        report->setInformativeText(failures.mid(0, kMaxReportedFailures).join(QLatin1Char('\n')));
        report->setStandardButtons(QMessageBox::Ok);
        report->setWindowModality(Qt::WindowModal);
        report->setAttribute(Qt::WA_DeleteOnClose);
        report->setObjectName(QStringLiteral("trashFailures"));
        report->open();
    }
}

// ---------------------------------------------------------------------------------
// Rescans

void DocumentWindowController::rescan()
{
    FileNode* root = m_disk->root();
    if (!root)
        return;
    FileNode* folder = nullptr;
    for (FileNode* node : actionableNodes()) {
        const bool plainFolder = node->isDirectory() && !node->flags.contains(NodeFlags::Package);
        folder = plainFolder ? node : (node->parent ? node->parent : root);
        break; // only the first counts
    }
    if (!folder || folder == root) {
        if (!isScanning())
            startScan();
        return;
    }
    rescanSubtree(folder);
}

void DocumentWindowController::rescanAll()
{
    if (!isScanning())
        startScan();
}

void DocumentWindowController::rescanSubtree(FileNode* node)
{
    const std::string path = node->path();
    ++m_subtreeScans;
    m_statusLabel->setText(QStringLiteral("Rescanning ") + DisplayName::decode(path) + QStringLiteral("…"));
    emit commandStateChanged();

    std::shared_ptr<TallyfernDocument> disk = m_disk;
    QPointer<DocumentWindowController> self(this);
    const std::uint64_t generation = m_treeGeneration;
    Dispatch::runInBackground([disk, self, node, path, generation] {
        Scanner scanner(path);
        auto tree = std::make_shared<FileTree>(scanner.run());
        disk->classify(tree->root);
        const std::int64_t unreadable = scanner.progress().unreadable;
        const Scanner::Failure failure = scanner.failure();
        Dispatch::postToMain([disk, self, node, tree, unreadable, generation, failure, path] {
            if (!self)
                return; // the window closed meanwhile
            if (failure != Scanner::Failure::None) {
                // An incomplete subtree is never spliced in as if it were whole.
                --self->m_subtreeScans;
                emit self->commandStateChanged();
                self->updateStatus(nullptr);
                reportScanFailure(path, Scanner::describe(failure));
                return;
            }
            self->deliverRescan(node, std::move(*tree), unreadable, generation);
        });
    });
}

void DocumentWindowController::deliverRescan(
    FileNode* node, FileTree tree, std::int64_t unreadable, std::uint64_t generation)
{
    --m_subtreeScans;
    emit commandStateChanged();
    FileNode* root = m_disk->root();
    // After a full rescan the node belongs to a tree that is gone; nothing of it may be
    // read. Otherwise it must still hang in the tree (not trashed, not replaced).
    if (!root || isScanning() || generation != m_treeGeneration || !isAttached(node, root))
        return;
    // The rows inside the folder get new nodes: remember which were open or selected by
    // their names, to open and select their successors.
    std::vector<std::vector<std::string>> expandedInside;
    std::vector<std::vector<std::string>> selectedInside;
    if (const QModelIndex folder = m_outlineModel->indexOf(node); folder.isValid()) {
        for (QModelIndex row = m_outlineView->indexBelow(folder); row.isValid();
             row = m_outlineView->indexBelow(row)) {
            FileNode* inside = m_outlineModel->node(row);
            if (!inside || !inside->hasAncestor(node))
                break; // rows below the folder's own come in one run
            if (m_outlineView->isExpanded(row))
                expandedInside.push_back(namesBelow(node, inside));
        }
    }
    for (FileNode* selected : selectedNodes())
        if (selected->hasAncestor(node))
            selectedInside.push_back(namesBelow(node, selected));
    // A zoom root inside the folder would go on showing the replaced contents.
    FileNode* zoomRoot = m_treemapView->root();
    std::optional<std::vector<std::string>> zoomInside;
    if (zoomRoot && zoomRoot->hasAncestor(node))
        zoomInside = namesBelow(node, zoomRoot);

    TallyfernDocument* disk = m_disk.get();
    auto rescanned = std::make_shared<FileTree>(std::move(tree));
    mutate([disk, node, rescanned] { disk->replaceContents(node, std::move(*rescanned)); });
    m_disk->unreadableCount += unreadable;
    if (zoomInside) {
        // The same folder in the new contents, or the nearest one of its ancestors left.
        FileNode* successor = node;
        for (; !zoomInside->empty(); zoomInside->pop_back()) {
            FileNode* found = findBelow(node, *zoomInside);
            if (found && found->isDirectory()) {
                successor = found;
                break;
            }
        }
        m_treemapView->setRoot(successor);
        updateTitle();
    }
    reloadAfterMutation();

    for (const auto& names : expandedInside)
        if (FileNode* successor = findBelow(node, names))
            m_outlineView->expand(m_outlineModel->indexOf(successor));
    QItemSelection reselect;
    for (const auto& names : selectedInside)
        if (FileNode* successor = findBelow(node, names))
            if (const QModelIndex index = m_outlineModel->indexOf(successor); index.isValid())
                reselect.select(index, index);
    if (!reselect.isEmpty())
        m_outlineView->selectionModel()->select(
            reselect, QItemSelectionModel::Select | QItemSelectionModel::Rows);
    m_treemapView->setNeedsRender();
}
