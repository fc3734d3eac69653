// SPDX-License-Identifier: MIT
#pragma once

#include "window/Command.h"

#include <QStringList>
#include <QToolBar>

#include <functional>

// The toolbar of a document window: icon-only buttons for the shared command actions,
// arranged as the user chose (ToolbarConfiguration), with "Customize Toolbar…" in its
// context menu. A new arrangement applies to every document toolbar at once.
class DocumentToolbar : public QToolBar {
    Q_OBJECT
public:
    using ActionLookup = std::function<QAction*(Command)>;

    explicit DocumentToolbar(ActionLookup actions, QWidget* parent = nullptr);

    // Rebuilds the toolbar from identifiers (unknown ones are skipped).
    void setItems(const QStringList& identifiers);
    [[nodiscard]] QStringList items() const { return m_items; }
    // The identifier of each action of the toolbar, in order (spaces included).
    [[nodiscard]] QString identifierOf(const QAction* action) const;

    // Opens the customization dialog for this window; OK applies to every toolbar.
    void customize();
    // Every document toolbar of the application takes the saved arrangement.
    static void reloadAll();

signals:
    // The buttons were made anew (the window orders their keyboard focus).
    void itemsChanged();

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    ActionLookup m_lookup;
    QStringList m_items;
};
