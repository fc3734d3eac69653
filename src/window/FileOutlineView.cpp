// SPDX-License-Identifier: MIT
#include "window/FileOutlineView.h"

#include <QContextMenuEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QScopedValueRollback>

#include <algorithm>

FileOutlineView::FileOutlineView(QWidget* parent)
    : QTreeView(parent)
{
}

void FileOutlineView::setFillColumn(int column, int minimum)
{
    m_fillColumn = column;
    m_fillMinimum = minimum;
    header()->setSectionResizeMode(column, QHeaderView::Interactive);
    connect(header(), &QHeaderView::sectionResized, this, [this](int section) {
        if (section != m_fillColumn)
            fill();
    });
    fill();
}

void FileOutlineView::resizeEvent(QResizeEvent* event)
{
    QTreeView::resizeEvent(event);
    fill();
}

void FileOutlineView::fill()
{
    if (m_fillColumn < 0 || m_filling)
        return;
    const QScopedValueRollback guard(m_filling, true);
    int others = 0;
    for (int c = 0; c < header()->count(); ++c)
        if (c != m_fillColumn && !header()->isSectionHidden(c))
            others += header()->sectionSize(c);
    header()->resizeSection(m_fillColumn, std::max(m_fillMinimum, viewport()->width() - others));
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
