// SPDX-License-Identifier: MIT
#pragma once

#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <QStyledItemDelegate>

// The "% of Folder" cell: a rounded track, a bar of the share (never thinner than a
// 2-point sliver when the share is above 0) and a percentage label that sits inside the
// bar beyond 55 % and just after its end below. The fraction comes from
// ItemRoles::Fraction. Selected rows draw white on a translucent white track.
class BarCellView : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    bool showsLabel = true;

    void paint(
        QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    [[nodiscard]] QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

    // The geometry of one cell, a pure function of its bounds, the fraction and the
    // size of the label text.
    struct Layout {
        QRectF track;
        double clamped = 0; // the fraction limited to 0…1
        QRectF bar; // empty when clamped is 0
        QString label;
        QPointF labelOrigin; // top-left corner of the label text
    };
    [[nodiscard]] static double clamp(double fraction);
    [[nodiscard]] static QString labelText(double clamped);
    [[nodiscard]] static QRectF trackRect(const QRectF& bounds);
    [[nodiscard]] static Layout layout(const QRectF& bounds, double fraction, QSizeF textSize);
    [[nodiscard]] static QFont labelFont();
};
