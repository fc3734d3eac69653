// SPDX-License-Identifier: MIT
// The commands of a document window as the window shows them: dispatch, zoom and
// navigation, the toolbar and the context menu; DocumentCommands decides what applies.
// File actions and rescans are in DocumentFileActions.
#include "window/DocumentWindowController.h"

#include "model/ScanJob.h"
#include "model/TallyfernDocument.h"
#include "window/CommandActions.h"
#include "window/CommandTable.h"
#include "window/DocumentToolbar.h"
#include "window/FileOutlineModel.h"
#include "window/FileOutlineView.h"
#include "window/KeyTableView.h"
#include "window/ToolbarConfiguration.h"

#include <QKeyEvent>
#include <QMenu>
#include <QToolBar>

namespace {

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

DocumentCommands::View DocumentWindowController::commandView() const
{
    return { selectedNodes(), m_treemapView->root(), isScanning(), m_scanJob->rescansRunning(),
        m_treemapView->colorsByAge() };
}

bool DocumentWindowController::canPerform(std::optional<Command> command) const
{
    if (!command)
        return !isScanning() && m_disk->root();
    return m_commands.canPerform(*command, commandView());
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
        applyZoom(m_commands.zoomInTarget(commandView()));
        break;
    case Command::ZoomOut:
        applyZoom(m_treemapView->root()->parent);
        break;
    case Command::ZoomToTop:
        applyZoom(m_disk->root());
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
        rescan(m_commands.rescanTarget(commandView()));
        break;
    case Command::RescanAll:
        rescan(m_disk->root());
        break;
    case Command::SaveScanAs:
        saveScanAs();
        break;
    case Command::OpenTerminal:
        openTerminal();
        break;
    case Command::CustomizeToolbar:
        if (m_toolbar)
            m_toolbar->customize();
        break;
    case Command::Find:
        showFind();
        break;
    case Command::Preferences:
        showPreferences();
        break;
    case Command::ColorByAge:
        setColorByAge(!m_treemapView->colorsByAge());
        break;
    case Command::ShowApparentSizes:
        toggleApparentSizes();
        break;
    }
}

bool DocumentWindowController::isChecked(Command command) const
{
    return m_commands.isChecked(command, commandView());
}

QString DocumentWindowController::disabledReason(Command command) const
{
    return m_commands.disabledReason(command, commandView());
}

// ---------------------------------------------------------------------------------
// Zoom and navigation

void DocumentWindowController::applyZoom(FileNode* node)
{
    if (!node)
        return;
    m_treemapView->setRoot(node); // asks for a render
    refreshKinds();
    updateTitle();
    emit commandStateChanged();
}

void DocumentWindowController::zoomIn()
{
    perform(Command::ZoomIn);
}

void DocumentWindowController::zoomOut()
{
    perform(Command::ZoomOut);
}

void DocumentWindowController::orderFocus()
{
    // The views join the window when the main view replaces the progress view.
    if (centralWidget() != m_mainView)
        return;
    QList<QWidget*> chain { m_outlineView, m_kindsTable, m_treemapView };
    for (QAction* action : m_toolbar->actions())
        if (QWidget* button = m_toolbar->widgetForAction(action);
            button && button->focusPolicy() & Qt::TabFocus)
            chain << button;
    for (qsizetype i = 0; i + 1 < chain.size(); ++i)
        setTabOrder(chain[i], chain[i + 1]);
}

void DocumentWindowController::didDoubleClick(FileNode* node)
{
    applyZoom(m_commands.doubleClickTarget(node, commandView()));
}

void DocumentWindowController::collapseSubfolders()
{
    FileNode* target = m_commands.collapseTarget(commandView());
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
}

void DocumentWindowController::togglePackageContents()
{
    const bool show = !m_disk->showPackageContents;
    TallyfernDocument* disk = m_disk.get();
    FileOutlineModel* outline = m_outlineModel;
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
    // Folders open or close all over the tree: one layout change for the outline.
    mutate([disk, outline, show] { outline->relayout([disk, show] { disk->showPackageContents = show; }); });
}

void DocumentWindowController::toggleApparentSizes()
{
    const bool on = !m_disk->showsApparentSizes();
    TallyfernDocument* disk = m_disk.get();
    FileOutlineModel* outline = m_outlineModel;
    // Every folder may reorder: one layout change for the outline, which keeps each row's
    // node, so expansion and selection stay.
    mutate([disk, outline, on] { outline->relayout([disk, on] { disk->setApparentSizes(on); }); });
}

void DocumentWindowController::outlineDoubleClicked(const QModelIndex& index)
{
    if (!index.isValid())
        return;
    FileNode* node = m_outlineModel->node(index);
    if (!node)
        return;
    const QModelIndex row = index.siblingAtColumn(0);
    if (m_commands.opens(node)) {
        if (m_outlineView->isExpanded(row))
            m_outlineView->collapse(row);
        else
            m_outlineView->expand(row);
        return;
    }
    if (!node->flags.contains(NodeFlags::Pseudo))
        toggleQuickLook();
}

// ---------------------------------------------------------------------------------
// Toolbar and context menu

QAction* DocumentWindowController::commandAction(Command command)
{
    if (m_commandActions)
        return m_commandActions->action(command);
    return ownAction(command);
}

QAction* DocumentWindowController::ownAction(Command command)
{
    // The toolbar's actions, and every action of a window without the application's
    // shared ones (a window on its own, as in tests): they act on this window and are
    // enabled by its own state, whichever window is active. Their keys belong to the
    // shared actions of the menu bar where those exist.
    auto found = m_ownActions.find(command);
    if (found != m_ownActions.end())
        return found->second;
    QAction* action = CommandActions::make(CommandTable::of(command), this);
    if (m_commandActions)
        action->setShortcuts({});
    action->setEnabled(canPerform(command));
    action->setChecked(isChecked(command));
    connect(action, &QAction::triggered, this, [this, command] { perform(command); });
    m_ownActions.emplace(command, action);
    return action;
}

void DocumentWindowController::buildToolbar()
{
    m_toolbar = new DocumentToolbar([this](Command command) { return ownAction(command); }, this);
    addToolBar(Qt::TopToolBarArea, m_toolbar);
    connect(m_toolbar, &DocumentToolbar::itemsChanged, this, &DocumentWindowController::orderFocus);
    orderFocus();
    connect(this, &DocumentWindowController::commandStateChanged, this, [this] {
        for (auto& [command, action] : m_ownActions) {
            action->setEnabled(canPerform(command));
            action->setChecked(isChecked(command));
            action->setToolTip(disabledReason(command));
        }
    });
    m_outlineView->installEventFilter(new CopyKeyFilter([this] { perform(Command::Copy); }, m_outlineView));
    // The preview panel shows this window's items only while the window lives.
    connect(this, &DocumentWindowController::closed, this, [this] {
        if (PreviewPanel* panel = m_previewPanel; panel && panel->source() == this) {
            panel->hide();
            panel->clearSource(this);
        }
    });
}

std::unique_ptr<QMenu> DocumentWindowController::contextMenu()
{
    if (m_commandActions)
        m_commandActions->refresh();
    auto menu = std::make_unique<QMenu>(this);
    menu->setToolTipsVisible(true); // why a file command is disabled
    const Command kItems[] = { Command::RevealInFileManager, Command::OpenItem, Command::OpenTerminal,
        Command::QuickLook, Command::CopyPath, Command::ZoomIn, Command::CollapseSubfolders, Command::Rescan,
        Command::MoveToTrash };
    for (Command command : kItems) {
        // Groups: file actions, views of the tree, the Trash.
        if (command == Command::ZoomIn || command == Command::MoveToTrash)
            menu->addSeparator();
        menu->addAction(commandAction(command));
    }
    return menu;
}
