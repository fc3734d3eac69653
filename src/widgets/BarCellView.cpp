// SPDX-License-Identifier: MIT
#include "widgets/BarCellView.h"

#include "widgets/CellPaint.h"
#include "widgets/ItemRoles.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <QStaticText>

#include <algorithm>

double BarCellView::clamp(double fraction)
{
    if (!(fraction > 0)) // negative, zero and NaN
        return 0;
    return std::min(fraction, 1.0);
}

QString BarCellView::labelText(double clamped)
{
    return QString::asprintf(clamped >= 0.1 ? "%.0f%%" : "%.1f%%", clamped * 100.0);
}

QRectF BarCellView::trackRect(const QRectF& bounds)
{
    const double inset = std::max((bounds.height() - 12) / 2, 3.0);
    return bounds.adjusted(3, inset, -3, -inset);
}

BarCellView::Layout BarCellView::layout(const QRectF& bounds, double fraction, QSizeF textSize)
{
    Layout l;
    l.track = trackRect(bounds);
    l.clamped = clamp(fraction);
    if (l.clamped > 0)
        l.bar = QRectF(
            l.track.left(), l.track.top(), std::max(l.clamped * l.track.width(), 2.0), l.track.height());
    l.label = labelText(l.clamped);
    const double x = l.clamped > 0.55
        ? l.track.left() + 4
        : std::min(l.track.left() + l.clamped * l.track.width() + 4, l.track.right() - textSize.width() - 3);
    l.labelOrigin = QPointF(x, l.track.center().y() - textSize.height() / 2);
    return l;
}

QFont BarCellView::labelFont()
{
    return CellPaint::uiFont(9.5, QFont::DemiBold);
}

void BarCellView::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    CellPaint::drawBackground(painter, option);
    const bool emphasized = CellPaint::isEmphasized(option);
    const QFont font = labelFont();
    const QFontMetricsF fm(font);
    const double fraction = index.data(ItemRoles::Fraction).toDouble();
    const QStaticText text = CellPaint::shapedText(font, labelText(clamp(fraction)));
    const Layout l = layout(QRectF(option.rect), fraction, QSizeF(text.size().width(), fm.height()));

    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setPen(Qt::NoPen);
    QColor trackColor = emphasized ? QColor(255, 255, 255) : option.palette.color(QPalette::Text);
    trackColor.setAlphaF(emphasized ? 0.25f : 0.1f);
    painter->setBrush(trackColor);
    painter->drawRoundedRect(l.track, 3, 3);
    if (!l.bar.isEmpty()) {
        painter->setBrush(emphasized ? QColor(Qt::white) : option.palette.color(QPalette::Highlight));
        painter->drawRoundedRect(l.bar, 3, 3);
    }
    if (showsLabel) {
        painter->setFont(font);
        // A label inside the bar takes the colour that contrasts with the bar's: the
        // highlight on a selected row's white bar, the highlighted text on the others.
        const bool onBar = l.bar.contains(
            QRectF(l.labelOrigin, QSizeF(text.size().width(), fm.height())).intersected(l.track));
        const QColor color = onBar ? (emphasized ? option.palette.color(QPalette::Highlight)
                                                 : option.palette.color(QPalette::HighlightedText))
                                   : (emphasized ? QColor(Qt::white) : option.palette.color(QPalette::Text));
        if (!emphasized && !onBar) {
            // A soft halo in the background colour keeps the label legible over the track.
            QColor halo = option.palette.color(QPalette::Base);
            halo.setAlphaF(0.35f);
            painter->setPen(halo);
            for (const QPointF d : { QPointF(-1, 0), QPointF(1, 0), QPointF(0, -1), QPointF(0, 1) })
                painter->drawStaticText(l.labelOrigin + d, text);
        }
        painter->setPen(color);
        painter->drawStaticText(l.labelOrigin, text);
    }
    painter->restore();
}

QSize BarCellView::sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const
{
    return { 60, std::max(22, option.fontMetrics.height() + 6) };
}
