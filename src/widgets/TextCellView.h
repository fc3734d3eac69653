// SPDX-License-Identifier: MIT
#pragma once

#include <QStyledItemDelegate>

// A one-line text cell, left or right aligned, truncated at the tail, 2 points from the
// leading edge and 4 from the trailing one. Numbers use digits of one width so that
// sizes and counts line up in a column.
class TextCellView : public QStyledItemDelegate {
    Q_OBJECT
public:
    TextCellView(Qt::Alignment alignment, bool monospacedDigits, QObject* parent = nullptr);
    void paint(
        QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    [[nodiscard]] QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

    [[nodiscard]] Qt::Alignment alignment() const { return m_alignment; }
    [[nodiscard]] static QRect labelRect(const QRect& cell);

private:
    [[nodiscard]] QFont font(const QStyleOptionViewItem& option) const;

    Qt::Alignment m_alignment;
    bool m_monospacedDigits;
};
