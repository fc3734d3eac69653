// SPDX-License-Identifier: MIT
#include "window/CommandActions.h"

#include "window/CommandIcons.h"
#include "window/DocumentWindowController.h"

#include <QAction>
#include <QApplication>
#include <QGuiApplication>
#include <QIcon>
#include <QKeySequence>
#include <QWindow>

namespace {

struct Entry {
    Command command;
    const char* text;
    const char* iconText; // toolbar label where it differs from the menu text
    const char* tip;
    QList<QKeySequence> keys;
    bool checkable;
};

QList<QKeySequence> keys(std::initializer_list<QKeyCombination> combos)
{
    QList<QKeySequence> out;
    for (QKeyCombination combo : combos)
        out.append(QKeySequence(combo));
    return out;
}

std::vector<Entry> entries()
{
    const auto ctrl = Qt::ControlModifier;
    const auto alt = Qt::AltModifier;
    const auto shift = Qt::ShiftModifier;
    return {
        { Command::RevealInFileManager, "Reveal in File Manager", nullptr,
            "Show the selected items in the file manager", keys({ ctrl | shift | Qt::Key_R }), false },
        { Command::OpenItem, "Open", nullptr, "Open the selected items with their applications",
            keys({ ctrl | Qt::Key_Down }), false },
        { Command::CopyPath, "Copy Path", nullptr, "Copy the paths of the selected items",
            keys({ ctrl | alt | Qt::Key_C }), false },
        { Command::Copy, "Copy", nullptr, "Copy the paths of the selected items", keys({ ctrl | Qt::Key_C }),
            false },
        { Command::QuickLook, "Quick Look", nullptr, "Preview the selected items", keys({ ctrl | Qt::Key_Y }),
            false },
        // Delete does what Ctrl+Backspace does: both only ever move to the Trash.
        { Command::MoveToTrash, "Move to Trash", nullptr, "Move the selected items to the Trash",
            keys({ ctrl | Qt::Key_Backspace, QKeyCombination(Qt::Key_Delete) }), false },
        { Command::ZoomIn, "Zoom In", nullptr, "Show only the selected folder in the treemap",
            keys({ ctrl | Qt::Key_Equal }), false },
        { Command::ZoomOut, "Zoom Out", nullptr, "Show the folder around the one shown",
            keys({ ctrl | Qt::Key_Minus }), false },
        { Command::ZoomToTop, "Zoom to Top", nullptr, "Show the whole scan", keys({ ctrl | Qt::Key_0 }),
            false },
        { Command::CollapseSubfolders, "Collapse All Subfolders", nullptr,
            "Collapse every folder inside the selected one", keys({ ctrl | alt | Qt::Key_Left }), false },
        { Command::ToggleFreeSpace, "Show Free Space", nullptr, "Show the volume's free space as an item",
            keys({ ctrl | shift | Qt::Key_F }), true },
        { Command::TogglePackageContents, "Show Package Contents", nullptr,
            "Show what is inside application bundles and other packages", keys({ ctrl | shift | Qt::Key_P }),
            true },
        { Command::Rescan, "Rescan Selected Folder", "Rescan", "Scan the selected folder again",
            keys({ ctrl | Qt::Key_R }), false },
        { Command::RescanAll, "Rescan Everything", nullptr, "Scan the whole folder again",
            keys({ ctrl | alt | Qt::Key_R }), false },
        { Command::CustomizeToolbar, "Customize Toolbar…", nullptr, "Choose the items of the toolbar", {},
            false },
    };
}

DocumentWindowController* documentOf(QWidget* window)
{
    for (QWidget* w = window; w; w = w->parentWidget()) {
        if (auto* document = qobject_cast<DocumentWindowController*>(w))
            return document;
    }
    return nullptr;
}

} // namespace

CommandActions::CommandActions(QObject* parent)
    : QObject(parent)
{
    for (const Entry& entry : entries()) {
        auto* action = new QAction(QString::fromUtf8(entry.text), this);
        if (entry.iconText)
            action->setIconText(QString::fromUtf8(entry.iconText));
        action->setStatusTip(QString::fromUtf8(entry.tip));
        action->setToolTip(action->iconText());
        action->setIcon(CommandIcons::forCommand(entry.command));
        action->setShortcuts(entry.keys);
        action->setCheckable(entry.checkable);
        action->setEnabled(false);
        const Command command = entry.command;
        connect(action, &QAction::triggered, this, [this, command] { trigger(command); });
        m_actions[std::size_t(command)] = action;
    }
    if (auto* gui = qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        connect(gui, &QGuiApplication::focusWindowChanged, this, &CommandActions::refresh);
}

CommandActions::~CommandActions() = default;

QAction* CommandActions::action(Command command) const
{
    return m_actions[std::size_t(command)];
}

DocumentWindowController* CommandActions::activeDocument() const
{
    if (m_lookup)
        return m_lookup();
    return documentOf(QApplication::activeWindow());
}

void CommandActions::setActiveDocumentLookup(std::function<DocumentWindowController*()> lookup)
{
    m_lookup = std::move(lookup);
    refresh();
}

void CommandActions::refresh()
{
    DocumentWindowController* document = activeDocument();
    for (std::size_t i = 0; i < kCount; ++i) {
        const auto command = Command(i);
        QAction* action = m_actions[i];
        action->setEnabled(document && document->canPerform(command));
        if (action->isCheckable())
            action->setChecked(document && document->isChecked(command));
    }
}

void CommandActions::watch(DocumentWindowController* document)
{
    connect(document, &DocumentWindowController::commandStateChanged, this, &CommandActions::refresh);
    connect(document, &QObject::destroyed, this, &CommandActions::refresh, Qt::QueuedConnection);
}

void CommandActions::trigger(Command command)
{
    // Commands re-check their own preconditions; a stale enabled state does no harm.
    if (DocumentWindowController* document = activeDocument()) {
        if (document->canPerform(command))
            document->perform(command);
    }
    refresh();
}
