// SPDX-License-Identifier: MIT
#pragma once

#include <QColor>
#include <QStyledItemDelegate>

#include <array>

// The colour swatch of a kind: a rounded square of at most 14 points, lit from the
// upper left by a radial gradient, with a faint outline. The colour comes from
// ItemRoles::Swatch.
class SwatchCellView : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(
        QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;

    [[nodiscard]] static QRectF swatchRect(const QRectF& bounds);
    // The three gradient stops: lighter, the colour, darker.
    [[nodiscard]] static std::array<QColor, 3> gradientStops(const QColor& color);
};
