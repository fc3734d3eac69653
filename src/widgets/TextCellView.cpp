// SPDX-License-Identifier: MIT
#include "widgets/TextCellView.h"

#include "widgets/CellPaint.h"

#include <QPainter>

TextCellView::TextCellView(Qt::Alignment alignment, bool monospacedDigits, QObject* parent)
    : QStyledItemDelegate(parent)
    , m_alignment(alignment)
    , m_monospacedDigits(monospacedDigits)
{
}

QRect TextCellView::labelRect(const QRect& cell)
{
    return cell.adjusted(2, 0, -4, 0);
}

QFont TextCellView::font(const QStyleOptionViewItem& option) const
{
    // Qt 6.4 cannot ask a font for tabular figures; the fonts the project installs
    // (DejaVu) draw every digit at one width, so numbers line up as they are.
    (void)m_monospacedDigits;
    return option.font;
}

void TextCellView::paint(
    QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    CellPaint::drawBackground(painter, option);
    const QString text = index.data(Qt::DisplayRole).toString();
    if (text.isEmpty())
        return;
    painter->save();
    const QFont f = font(option);
    painter->setFont(f);
    painter->setPen(CellPaint::textColor(option, index));
    CellPaint::drawLabel(painter, labelRect(option.rect), m_alignment, text, Qt::ElideRight);
    painter->restore();
}

QSize TextCellView::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    const QFontMetrics fm(font(option));
    return { 2 + fm.horizontalAdvance(index.data(Qt::DisplayRole).toString()) + 4,
        std::max(22, fm.height() + 6) };
}
