// SPDX-License-Identifier: MIT
#include "window/DocumentToolbar.h"

#include "window/ToolbarConfiguration.h"
#include "window/ToolbarCustomizationDialog.h"

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QMenu>
#include <QToolButton>

namespace {

const char* const kIdentifierProperty = "toolbarIdentifier";
constexpr int kFixedSpaceWidth = 24;

} // namespace

DocumentToolbar::DocumentToolbar(ActionLookup actions, QWidget* parent)
    : QToolBar(parent)
    , m_lookup(std::move(actions))
{
    setObjectName(ToolbarConfiguration::kIdentifier);
    setWindowTitle(tr("Toolbar"));
    setToolButtonStyle(Qt::ToolButtonIconOnly);
    setMovable(false);
    setFloatable(false);
    setContextMenuPolicy(Qt::DefaultContextMenu);
    setItems(ToolbarConfiguration::load());
}

void DocumentToolbar::setItems(const QStringList& identifiers)
{
    const QList<QAction*> previous = actions();
    clear();
    // The space actions are the toolbar's own; the command actions belong to others.
    for (QAction* action : previous)
        if (action->parent() == this)
            delete action;
    m_items.clear();
    for (const QString& identifier : ToolbarConfiguration::sanitized(identifiers)) {
        QAction* added = nullptr;
        if (identifier == ToolbarConfiguration::kFlexibleSpace
            || identifier == ToolbarConfiguration::kSpace) {
            auto* gap = new QWidget(this);
            if (identifier == ToolbarConfiguration::kFlexibleSpace)
                gap->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
            else
                gap->setFixedWidth(kFixedSpaceWidth);
            added = addWidget(gap);
        } else if (QAction* action
            = m_lookup ? m_lookup(ToolbarConfiguration::item(identifier)->command) : nullptr) {
            addAction(action);
            added = action;
            if (auto* button = qobject_cast<QToolButton*>(widgetForAction(action))) {
                button->setAutoRaise(false); // drawn bordered
                button->setFocusPolicy(Qt::TabFocus); // the last stop of Tab in the window
                button->setToolTip(ToolbarConfiguration::label(identifier));
                button->setAccessibleName(ToolbarConfiguration::label(identifier));
                // Without any icon an icon-only button would be blank.
                if (action->icon().isNull())
                    button->setToolButtonStyle(Qt::ToolButtonTextOnly);
            }
        }
        if (added) {
            added->setProperty(kIdentifierProperty, identifier);
            m_items << identifier;
        }
    }
    emit itemsChanged();
}

QString DocumentToolbar::identifierOf(const QAction* action) const
{
    return action ? action->property(kIdentifierProperty).toString() : QString();
}

void DocumentToolbar::customize()
{
    auto* dialog = new ToolbarCustomizationDialog(m_items, window());
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowModality(Qt::WindowModal);
    connect(dialog, &ToolbarCustomizationDialog::itemsChosen, this, [] { reloadAll(); });
    dialog->open();
}

void DocumentToolbar::reloadAll()
{
    const QStringList saved = ToolbarConfiguration::load();
    for (QWidget* top : QApplication::topLevelWidgets())
        for (DocumentToolbar* toolbar : top->findChildren<DocumentToolbar*>())
            toolbar->setItems(saved);
}

void DocumentToolbar::contextMenuEvent(QContextMenuEvent* event)
{
    QMenu menu(this);
    connect(menu.addAction(tr("Customize Toolbar…")), &QAction::triggered, this, &DocumentToolbar::customize);
    menu.exec(event->globalPos());
}
