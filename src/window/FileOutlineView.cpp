// SPDX-License-Identifier: MIT
#include "window/FileOutlineView.h"

#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>

FileOutlineView::FileOutlineView(QWidget* parent)
    : QTreeView(parent)
{
}

void FileOutlineView::followEdit(const std::function<void()>& edit)
{
    struct Restore {
        QAbstractItemView* view;
        bool autoScroll;
        ~Restore() { view->setAutoScroll(autoScroll); }
    } restore { this, hasAutoScroll() };
    setAutoScroll(false);
    edit();
    executeDelayedItemsLayout();
}

void FileOutlineView::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Space && event->text() == QLatin1String(" ")) {
        if (onSpace)
            onSpace();
        event->accept();
        return;
    }
    QTreeView::keyPressEvent(event);
}

std::unique_ptr<QMenu> FileOutlineView::menuAt(QPoint pos)
{
    const QModelIndex index = indexAt(pos);
    if (!index.isValid())
        return nullptr;
    if (!selectionModel()->isRowSelected(index.row(), index.parent())) {
        selectionModel()->select(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        selectionModel()->setCurrentIndex(index, QItemSelectionModel::NoUpdate);
    }
    return menuProvider ? menuProvider() : nullptr;
}

void FileOutlineView::mousePressEvent(QMouseEvent* event)
{
    // A right click below the last row opens nothing and so changes nothing either.
    if (event->button() == Qt::RightButton && !indexAt(event->position().toPoint()).isValid()) {
        event->accept();
        return;
    }
    QTreeView::mousePressEvent(event);
}

void FileOutlineView::contextMenuEvent(QContextMenuEvent* event)
{
    std::unique_ptr<QMenu> menu = menuAt(event->pos());
    if (menu)
        menu->exec(event->globalPos());
    event->accept();
}
