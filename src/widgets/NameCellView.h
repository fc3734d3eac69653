// SPDX-License-Identifier: MIT
#pragma once

#include <QStyledItemDelegate>

// The name cell: a 16-point icon 2 points from the leading edge, then the name 5 points
// after it, truncated in the middle so long names keep their start and extension.
class NameCellView : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(
        QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    [[nodiscard]] QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

    static constexpr int kIconSize = 16;
    // Icon and label frames within a cell.
    [[nodiscard]] static QRect iconRect(const QRect& cell);
    [[nodiscard]] static QRect labelRect(const QRect& cell);
};
