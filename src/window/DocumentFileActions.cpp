// SPDX-License-Identifier: MIT
// The file actions and rescans of a document window: reveal, open, copy paths, Quick
// Look, the Trash, and folder and full rescans.
#include "window/DocumentWindowController.h"

#include "model/ScanJob.h"
#include "model/TallyfernDocument.h"
#include "model/TreeQueries.h"
#include "platform/DisplayName.h"
#include "platform/MainThread.h"
#include "platform/gui/SystemWorkspace.h"
#include "widgets/EnglishPlurals.h"
#include "widgets/Fmt.h"
#include "window/FileOutlineModel.h"
#include "window/FileOutlineView.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>

#include <algorithm>

namespace {

// At most this many failures are listed after a trash.
constexpr int kMaxReportedFailures = 10;

QString nameOf(const FileNode* node)
{
    return DisplayName::decode(node->name());
}

} // namespace

// File actions

void DocumentWindowController::setWorkspace(std::shared_ptr<Workspace> workspace)
{
    m_workspace = std::move(workspace);
}

void DocumentWindowController::setPreviewPanel(PreviewPanel* panel)
{
    m_previewPanel = panel;
}

PreviewPanel& DocumentWindowController::previewPanel()
{
    if (!m_previewPanel)
        m_previewPanel = new PreviewPanel(this);
    return *m_previewPanel;
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
    for (const FileNode* node : DocumentCommands::actionable(commandView()))
        paths.push_back(node->path());
    if (!paths.empty())
        workspace().reveal(paths);
}

void DocumentWindowController::openItem()
{
    for (const FileNode* node : DocumentCommands::actionable(commandView()))
        workspace().open(node->path());
}

void DocumentWindowController::openTerminal()
{
    const FileNode* folder = m_commands.terminalFolder(commandView());
    if (!folder || workspace().openTerminal(folder->path()))
        return;
    QMessageBox::warning(this, tr("No Terminal Started"),
        tr("No terminal could be started in “%1”. Set the TERMINAL environment variable to your "
           "terminal's command, or install x-terminal-emulator.")
            .arg(nameOf(folder)));
}

void DocumentWindowController::copyPath()
{
    QStringList paths;
    QByteArray uris;
    for (const FileNode* node : DocumentCommands::actionable(commandView())) {
        const std::string path = node->path();
        paths << DisplayName::decode(path);
        // The text shows a name that is not UTF-8 with replacement characters; the URI
        // list keeps its exact bytes, so a file manager or terminal finds the file.
        uris += "file://" + QByteArray::fromStdString(path).toPercentEncoding("/") + "\r\n";
    }
    if (paths.isEmpty())
        return;
    auto* data = new QMimeData;
    data->setText(paths.join(QLatin1Char('\n')));
    data->setData(QStringLiteral("text/uri-list"), uris);
    QGuiApplication::clipboard()->setMimeData(data);
}

std::vector<PreviewItem> DocumentWindowController::previewItems() const
{
    std::vector<PreviewItem> items;
    const DocumentCommands::View view = commandView();
    // Items of a saved scan that are not here are shown by what the scan says of them:
    // the same path here may hold another file.
    const bool reachable = m_commands.fileAccessBlocker(Command::QuickLook, view).isEmpty();
    for (const FileNode* node : DocumentCommands::actionable(view)) {
        PreviewItem item;
        if (reachable)
            item.path = node->path();
        item.name = node->parent ? nameOf(node) : m_disk->displayName();
        item.isDirectory = node->isDirectory();
        item.sizeText = Fmt::bytes(node->size);
        item.kindText = node->flags.contains(NodeFlags::Unreadable) ? tr("Folder (no access)")
                                                                    : m_disk->kinds().name(node->kind);
        if (item.isDirectory)
            item.summary = tr("%1 files", nullptr, EnglishPlurals::numerus(node->fileCount))
                               .arg(Fmt::count(node->fileCount));
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
    PreviewPanel& panel = previewPanel();
    if (panel.isVisible()) {
        panel.hide();
        return;
    }
    if (!m_commands.fileAccessBlocker(Command::QuickLook, commandView()).isEmpty())
        return;
    bindPreviewPanel(&panel);
    placePreviewPanel(panel);
    panel.toggle();
}

void DocumentWindowController::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    if (event->type() != QEvent::ActivationChange || !isActiveWindow() || m_closeHandled)
        return;
    PreviewPanel* panel = m_previewPanel;
    if (panel && panel->isVisible() && panel->source() != this) {
        bindPreviewPanel(panel);
        panel->reloadData();
    }
}

void DocumentWindowController::refreshQuickLook()
{
    PreviewPanel* panel = m_previewPanel;
    if (panel && panel->isVisible() && panel->source() == this)
        panel->reloadData();
}

void DocumentWindowController::moveToTrash()
{
    const std::vector<FileNode*> nodes = m_commands.trashable(commandView());
    if (nodes.empty())
        return;
    std::int64_t total = 0;
    for (const FileNode* node : nodes)
        total += m_disk->allocatedSize(*node);

    auto* alert = new QMessageBox(this);
    alert->setIcon(QMessageBox::Warning);
    alert->setText(nodes.size() == 1 ? tr("Move “%1” to the Trash?").arg(nameOf(nodes.front()))
                                     : tr("Move %1 items to the Trash?").arg(nodes.size()));
    alert->setInformativeText(tr("This frees up to %1 once the Trash is emptied.").arg(Fmt::bytes(total)));
    QPushButton* confirm = alert->addButton(tr("Move to Trash"), QMessageBox::AcceptRole);
    alert->addButton(tr("Cancel"), QMessageBox::RejectRole);
    alert->setDefaultButton(confirm);
    alert->setWindowModality(Qt::WindowModal);
    alert->setAttribute(Qt::WA_DeleteOnClose);
    alert->setObjectName(QStringLiteral("trashConfirmation"));
    // A full rescan frees the nodes of this list: the question no longer stands.
    connect(this, &DocumentWindowController::commandStateChanged, alert, [this, alert] {
        if (isScanning())
            alert->reject();
    });
    // The list is read when the answer comes: until then no rescanned-away node is freed.
    ++m_questionsHoldingNodes;
    QPointer<DocumentWindowController> self(this);
    connect(alert, &QMessageBox::finished, this, [self, alert, confirm, nodes] {
        if (!self)
            return;
        --self->m_questionsHoldingNodes;
        if (alert->clickedButton() == confirm && !self->isScanning())
            self->performTrash(nodes);
        else
            self->releaseDetachedNodes();
    });
    alert->open();
}

void DocumentWindowController::performTrash(const std::vector<FileNode*>& nodes)
{
    const DocumentCommands::TrashOutcome outcome = m_commands.moveToTrash(nodes, workspace());
    const QStringList& failures = outcome.failures;
    if (!outcome.moved.empty()) {
        m_treemapView->setRoot(m_commands.zoomAfterRemoving(outcome.moved, m_treemapView->root()));
        m_outlineView->clearSelection();
        TallyfernDocument* disk = m_disk.get();
        mutate([disk, &outcome] {
            for (FileNode* node : outcome.moved)
                disk->removeNode(node);
        });
        updateTitle();
    }

    if (!failures.isEmpty()) {
        auto* report = new QMessageBox(this);
        report->setIcon(QMessageBox::Warning);
        report->setText(tr("Some items couldn’t be moved to the Trash."));
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

void DocumentWindowController::rescan(FileNode* folder)
{
    if (!folder || folder == m_disk->root()) {
        startScan();
        return;
    }
    m_statusLabel->setText(tr("Rescanning %1…").arg(DisplayName::decode(folder->path())));
    m_scanJob->rescan(folder);
}

void DocumentWindowController::deliverRescan(
    FileNode* node, std::shared_ptr<FileTree> tree, std::int64_t unreadable)
{
    // The rows inside the folder get new nodes, whose rows come in closed and unselected:
    // note which were open or selected by their names, to open and select their
    // successors.
    std::vector<std::vector<std::string>> expandedInside;
    std::vector<std::vector<std::string>> selectedInside;
    if (const QModelIndex folder = m_outlineModel->indexOf(node); folder.isValid()) {
        for (QModelIndex row = m_outlineView->indexBelow(folder); row.isValid();
             row = m_outlineView->indexBelow(row)) {
            FileNode* inside = m_outlineModel->node(row);
            if (!inside || !inside->hasAncestor(node))
                break; // rows below the folder's own come in one run
            if (m_outlineView->isExpanded(row))
                expandedInside.push_back(TreeQueries::namesBelow(node, inside));
        }
    }
    for (FileNode* selected : selectedNodes())
        if (selected->hasAncestor(node))
            selectedInside.push_back(TreeQueries::namesBelow(node, selected));
    // A zoom root inside the folder would go on showing the replaced contents.
    FileNode* zoomRoot = m_treemapView->root();
    std::optional<std::vector<std::string>> zoomInside;
    if (zoomRoot && zoomRoot->hasAncestor(node))
        zoomInside = TreeQueries::namesBelow(node, zoomRoot);

    m_disk->unreadableCount += unreadable;
    TallyfernDocument* disk = m_disk.get();
    mutate([this, disk, node, tree, &zoomInside] {
        disk->replaceContents(node, std::move(*tree));
        if (!zoomInside)
            return;
        // The same folder in the new contents, or the nearest one of its ancestors left.
        FileNode* successor = node;
        for (; !zoomInside->empty(); zoomInside->pop_back()) {
            FileNode* found = TreeQueries::findBelow(node, *zoomInside);
            if (found && found->isDirectory()) {
                successor = found;
                break;
            }
        }
        m_treemapView->setRoot(successor);
        updateTitle();
    });

    for (const auto& names : expandedInside)
        if (FileNode* successor = TreeQueries::findBelow(node, names))
            m_outlineView->expand(m_outlineModel->indexOf(successor));
    QItemSelection reselect;
    for (const auto& names : selectedInside)
        if (FileNode* successor = TreeQueries::findBelow(node, names))
            if (const QModelIndex index = m_outlineModel->indexOf(successor); index.isValid())
                reselect.select(index, index);
    if (!reselect.isEmpty())
        m_outlineView->selectionModel()->select(
            reselect, QItemSelectionModel::Select | QItemSelectionModel::Rows);
}
