// SPDX-License-Identifier: MIT
#include "widgets/NameCellView.h"

#include "widgets/CellPaint.h"

#include <QPainter>

QRect NameCellView::iconRect(const QRect& cell)
{
    return { cell.left() + 2, cell.top() + (cell.height() - kIconSize) / 2, kIconSize, kIconSize };
}

QRect NameCellView::labelRect(const QRect& cell)
{
    const int left = iconRect(cell).right() + 1 + 5;
    return { left, cell.top(), std::max(0, cell.right() - 2 - left + 1), cell.height() };
}

void NameCellView::paint(
    QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    CellPaint::drawBackground(painter, option);
    // Deep in a tree the indentation can leave the cell no room: nothing may spill into
    // the next column.
    if (option.rect.width() <= 0)
        return;
    painter->save();
    painter->setClipRect(option.rect, Qt::IntersectClip);
    const QIcon icon = index.data(Qt::DecorationRole).value<QIcon>();
    if (!icon.isNull())
        icon.paint(painter, iconRect(option.rect));
    const QRect label = labelRect(option.rect);
    painter->setFont(option.font);
    painter->setPen(CellPaint::textColor(option, index));
    CellPaint::drawLabel(
        painter, label, Qt::AlignLeft, index.data(Qt::DisplayRole).toString(), Qt::ElideMiddle);
    painter->restore();
}

QSize NameCellView::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    const QString text = index.data(Qt::DisplayRole).toString();
    return { 2 + kIconSize + 5 + option.fontMetrics.horizontalAdvance(text) + 2,
        std::max(22, option.fontMetrics.height() + 6) };
}
