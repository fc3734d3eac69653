// SPDX-License-Identifier: MIT
#include "window/CommandActions.h"

#include "window/CommandTable.h"
#include "window/DocumentWindowController.h"
#include "window/PreviewPanel.h"

#include <QAction>
#include <QApplication>
#include <QGuiApplication>
#include <QIcon>
#include <QKeySequence>
#include <QWindow>

namespace {

DocumentWindowController* documentOf(QWidget* window)
{
    // The preview panel stands for the document whose items it shows.
    if (auto* panel = qobject_cast<PreviewPanel*>(window))
        return qobject_cast<DocumentWindowController*>(panel->source());
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
    for (const CommandInfo& info : CommandTable::all()) {
        QAction* action = CommandActions::make(info, this);
        action->setEnabled(false);
        const Command command = info.command;
        connect(action, &QAction::triggered, this, [this, command] { trigger(command); });
        m_actions[std::size_t(command)] = action;
    }
    if (auto* gui = qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        connect(gui, &QGuiApplication::focusWindowChanged, this, &CommandActions::refresh);
}

CommandActions::~CommandActions() = default;

QAction* CommandActions::make(const CommandInfo& info, QObject* parent)
{
    auto* action = new QAction(info.icon(), info.displayText(), parent);
    action->setIconText(info.displayIconText());
    action->setStatusTip(info.displayTip());
    action->setShortcuts(info.shortcuts());
    action->setCheckable(info.checkable);
    return action;
}

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
        const bool enabled = document && document->canPerform(command);
        action->setEnabled(enabled);
        const QString reason = enabled || !document ? QString() : document->disabledReason(command);
        // Only a reason is set as the tooltip: menus show the tooltips that are set, toolbars
        // the text.
        action->setToolTip(reason);
        action->setStatusTip(reason.isEmpty() ? CommandTable::of(command).displayTip() : reason);
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
