// SPDX-License-Identifier: MIT
// The commands of a document window: zoom and navigation, the toolbar, the context
// menu and the one enablement rule. File actions and rescans are in DocumentFileActions.
#include "window/DocumentWindowController.h"

#include "model/TallyfernDocument.h"
#include "window/CommandActions.h"
#include "window/CommandIcons.h"
#include "window/DocumentToolbar.h"
#include "window/FileOutlineModel.h"
#include "window/FileOutlineView.h"
#include "window/ToolbarConfiguration.h"

#include <QKeyEvent>
#include <QMenu>


namespace {

bool isPseudo(const FileNode* node)
{
    return node->flags.contains(NodeFlags::Pseudo);
}

// Ctrl+C in the outline copies the selected items' paths. Item views claim the Copy
// key for the current cell's text, which would win over the shared Copy action.
class CopyKeyFilter : public QObject {
public:
    CopyKeyFilter(std::function<void()> copy, QObject* parent)
        : QObject(parent)
        , m_copy(std::move(copy))
    {
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        const bool override = event->type() == QEvent::ShortcutOverride;
        if ((override || event->type() == QEvent::KeyPress)
            && static_cast<QKeyEvent*>(event)->matches(QKeySequence::Copy)) {
            event->accept();
            if (!override)
                m_copy();
            return true;
        }
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<void()> m_copy;
};

} // namespace

// ---------------------------------------------------------------------------------
// Enablement

FileNode* DocumentWindowController::collapseTarget() const
{
    const std::vector<FileNode*> selected = selectedNodes();
    if (selected.empty())
        return nullptr;
    FileNode* last = selected.back();
    return isExpandable(last) ? last : last->parent;
}

bool DocumentWindowController::canPerform(std::optional<Command> command) const
{
    // The scan thread installs the new root: nothing of the document is read until it has.
    if (isScanning() || !m_disk->root())
        return false;
    if (!command)
        return true;
    switch (*command) {
    case Command::RevealInFileManager:
    case Command::OpenItem:
    case Command::CopyPath:
    case Command::Copy:
    case Command::QuickLook:
        return !actionableNodes().empty();
    case Command::MoveToTrash: {
        const std::vector<FileNode*> nodes = actionableNodes();
        return std::any_of(nodes.begin(), nodes.end(), [this](FileNode* n) { return n != m_disk->root(); });
    }
    case Command::ZoomIn:
        return !selectedNodes().empty();
    case Command::CollapseSubfolders:
        return collapseTarget() != nullptr;
    case Command::ZoomOut:
    case Command::ZoomToTop: {
        const FileNode* zoomRoot = m_treemapView->root();
        return zoomRoot && zoomRoot->parent;
    }
    case Command::Rescan:
    case Command::RescanAll:
        return m_subtreeScans == 0;
    case Command::ToggleFreeSpace:
        return m_disk->freeNode() != nullptr;
    case Command::TogglePackageContents:
    case Command::CustomizeToolbar:
        return true;
    }
    return true;
}

void DocumentWindowController::perform(Command command)
{
    if (!canPerform(command))
        return;
    switch (command) {
    case Command::RevealInFileManager:
        revealInFileManager();
        break;
    case Command::OpenItem:
        openItem();
        break;
    case Command::CopyPath:
    case Command::Copy:
        copyPath();
        break;
    case Command::QuickLook:
        toggleQuickLook();
        break;
    case Command::MoveToTrash:
        moveToTrash();
        break;
    case Command::ZoomIn:
        zoomIn();
        break;
    case Command::ZoomOut:
        zoomOut();
        break;
    case Command::ZoomToTop:
        zoomToTop();
        break;
    case Command::CollapseSubfolders:
        collapseSubfolders();
        break;
    case Command::ToggleFreeSpace:
        toggleFreeSpace();
        break;
    case Command::TogglePackageContents:
        togglePackageContents();
        break;
    case Command::Rescan:
        rescan();
        break;
    case Command::RescanAll:
        rescanAll();
        break;
    case Command::CustomizeToolbar:
        if (m_toolbar)
            m_toolbar->customize();
        break;
    }
}

bool DocumentWindowController::isChecked(Command command) const
{
    switch (command) {
    case Command::ToggleFreeSpace:
        // While a scan installs its tree the free-space item is the scan thread's; the
        // command is disabled then, and a document without the item has no checkmark.
        return !isScanning() && m_disk->showFreeSpace && m_disk->freeNode();
    case Command::TogglePackageContents:
        return m_disk->showPackageContents;
    default:
        return false;
    }
}

// ---------------------------------------------------------------------------------
// Zoom and navigation

void DocumentWindowController::applyZoom(FileNode* node)
{
    m_treemapView->setRoot(node); // asks for a render
    refreshKinds();
    updateTitle();
    emit commandStateChanged();
}

void DocumentWindowController::zoomIn()
{
    const std::vector<FileNode*> selected = selectedNodes();
    if (selected.empty())
        return;
    FileNode* target = selected.back();
    if (!isExpandable(target))
        target = target->parent;
    if (!target)
        return;
    if (isPseudo(target) && target->parent)
        target = target->parent;
    applyZoom(target);
}

void DocumentWindowController::zoomOut()
{
    FileNode* zoomRoot = m_treemapView->root();
    if (!zoomRoot || !zoomRoot->parent)
        return;
    applyZoom(zoomRoot->parent);
}

void DocumentWindowController::zoomToTop()
{
    if (FileNode* root = m_disk->root())
        applyZoom(root);
}

void DocumentWindowController::didDoubleClick(FileNode* node)
{
    FileNode* zoomRoot = m_treemapView->root();
    if (!zoomRoot || !node || !node->parent)
        return;
    // The zoom root's child that contains the click: one level down, however deep the
    // clicked file lies.
    FileNode* child = node;
    while (child->parent && child->parent != zoomRoot)
        child = child->parent;
    if (child->parent != zoomRoot)
        return;
    if (isExpandable(child))
        applyZoom(child);
}

void DocumentWindowController::collapseSubfolders()
{
    FileNode* target = collapseTarget();
    if (!target)
        return;
    const QModelIndex index = m_outlineModel->indexOf(target);
    if (!index.isValid())
        return;
    // QTreeView remembers the expansion of rows inside a collapsed one: close every
    // expanded row below the target, walking only through expanded rows.
    std::vector<QModelIndex> pending { index };
    std::vector<QModelIndex> expanded;
    while (!pending.empty()) {
        const QModelIndex parent = pending.back();
        pending.pop_back();
        if (!m_outlineView->isExpanded(parent))
            continue;
        expanded.push_back(parent);
        const int rows = m_outlineModel->rowCount(parent);
        for (int row = 0; row < rows; ++row)
            pending.push_back(m_outlineModel->index(row, 0, parent));
    }
    for (auto it = expanded.rbegin(); it != expanded.rend(); ++it)
        m_outlineView->collapse(*it);
    m_outlineView->expand(index);
    m_outlineView->selectionModel()->setCurrentIndex(
        index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    m_outlineView->scrollTo(index);
}

void DocumentWindowController::toggleFreeSpace()
{
    TallyfernDocument* disk = m_disk.get();
    mutate([disk] {
        const bool wasShown = disk->showFreeSpace;
        disk->showFreeSpace = !wasShown;
        if (wasShown)
            disk->detachPseudoNodes();
        else
            disk->attachPseudoNodes();
    });
    reloadAfterMutation();
    m_treemapView->setNeedsRender();
}

void DocumentWindowController::togglePackageContents()
{
    const bool show = !m_disk->showPackageContents;
    TallyfernDocument* disk = m_disk.get();
    mutate([disk, show] {
        disk->showPackageContents = show;
        disk->computeKindStats();
    });
    // A zoom root inside a package whose contents are now hidden would show a folder the
    // outline no longer has: step out to the package's parent.
    if (!show) {
        FileNode* outermostPackage = nullptr;
        for (FileNode* node = m_treemapView->root(); node; node = node->parent)
            if (node->flags.contains(NodeFlags::Package) && node->parent)
                outermostPackage = node;
        if (outermostPackage) {
            m_treemapView->setRoot(outermostPackage->parent);
            updateTitle();
        }
    }
    m_treemapView->setShowPackageContents(show);
    reloadAfterMutation();
}

void DocumentWindowController::outlineDoubleClicked(const QModelIndex& index)
{
    if (!index.isValid())
        return;
    FileNode* node = m_outlineModel->node(index);
    if (!node)
        return;
    const QModelIndex row = index.siblingAtColumn(0);
    if (isExpandable(node)) {
        if (m_outlineView->isExpanded(row))
            m_outlineView->collapse(row);
        else
            m_outlineView->expand(row);
        return;
    }
    if (!isPseudo(node))
        toggleQuickLook();
}

// ---------------------------------------------------------------------------------
// Toolbar and context menu

QAction* DocumentWindowController::commandAction(Command command)
{
    if (m_commandActions)
        return m_commandActions->action(command);
    // Without the application's shared actions (a window on its own, as in tests) the
    // window makes its own, kept enabled by the same rule.
    auto found = m_ownActions.find(command);
    if (found != m_ownActions.end())
        return found->second;
    QString label = QStringLiteral("Command");
    for (const ToolbarConfiguration::Item& item : ToolbarConfiguration::items())
        if (item.command == command)
            label = item.label;
    auto* action = new QAction(CommandIcons::forCommand(command), label, this);
    action->setEnabled(canPerform(command));
    connect(action, &QAction::triggered, this, [this, command] { perform(command); });
    m_ownActions.emplace(command, action);
    return action;
}

void DocumentWindowController::buildToolbar()
{
    m_toolbar = new DocumentToolbar([this](Command command) { return commandAction(command); }, this);
    addToolBar(Qt::TopToolBarArea, m_toolbar);
    connect(this, &DocumentWindowController::commandStateChanged, this, [this] {
        for (auto& [command, action] : m_ownActions)
            action->setEnabled(canPerform(command));
    });
    m_outlineView->installEventFilter(new CopyKeyFilter([this] { perform(Command::Copy); }, m_outlineView));
    // The preview panel shows this window's items only while the window lives.
    connect(this, &DocumentWindowController::closed, this, [this] {
        if (PreviewPanel* panel = PreviewPanel::existing(); panel && panel->source() == this) {
            panel->hide();
            panel->clearSource(this);
        }
    });
}

std::unique_ptr<QMenu> DocumentWindowController::contextMenu()
{
    auto menu = std::make_unique<QMenu>(this);
    const auto add = [this, &menu](const QString& title, Command command) {
        QAction* item = menu->addAction(CommandIcons::forCommand(command), title);
        item->setEnabled(canPerform(command));
        connect(item, &QAction::triggered, this, [this, command] { perform(command); });
    };
    add(QStringLiteral("Reveal in File Manager"), Command::RevealInFileManager);
    add(QStringLiteral("Open"), Command::OpenItem);
    add(QStringLiteral("Quick Look"), Command::QuickLook);
    add(QStringLiteral("Copy Path"), Command::CopyPath);
    menu->addSeparator();
    add(QStringLiteral("Zoom In"), Command::ZoomIn);
    add(QStringLiteral("Collapse All Subfolders"), Command::CollapseSubfolders);
    add(QStringLiteral("Rescan"), Command::Rescan);
    menu->addSeparator();
    add(QStringLiteral("Move to Trash"), Command::MoveToTrash);
    return menu;
}
