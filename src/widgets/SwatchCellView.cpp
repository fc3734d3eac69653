// SPDX-License-Identifier: MIT
#include "widgets/SwatchCellView.h"

#include "widgets/CellPaint.h"
#include "widgets/ItemRoles.h"

#include <QPainter>
#include <QRadialGradient>

#include <algorithm>
#include <array>
#include <cmath>

namespace {

QColor blend(const QColor& from, const QColor& to, double t)
{
    return QColor::fromRgbF(float(from.redF() + (to.redF() - from.redF()) * t),
        float(from.greenF() + (to.greenF() - from.greenF()) * t),
        float(from.blueF() + (to.blueF() - from.blueF()) * t));
}

} // namespace

QRectF SwatchCellView::swatchRect(const QRectF& bounds)
{
    const double side = std::min(bounds.height() - 4, 14.0);
    return { bounds.center().x() - side / 2, bounds.center().y() - side / 2, side, side };
}

std::array<QColor, 3> SwatchCellView::gradientStops(const QColor& color)
{
    return { blend(color, Qt::white, 0.45), color, blend(color, Qt::black, 0.45) };
}

void SwatchCellView::paint(
    QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    CellPaint::drawBackground(painter, option);
    const QVariant value = index.data(ItemRoles::Swatch);
    const QColor color = value.isValid() ? value.value<QColor>() : QColor::fromRgbF(0.62f, 0.62f, 0.62f);
    const QRectF square = swatchRect(QRectF(option.rect));
    if (square.width() <= 0)
        return;
    // Lit from the upper left: the centre sits 0.4 of the half side left of and above
    // the middle, and the gradient reaches the farthest corner.
    const QPointF centre(
        square.center().x() - 0.2 * square.width(), square.center().y() - 0.2 * square.height());
    const double radius = std::hypot(square.right() - centre.x(), square.bottom() - centre.y());
    QRadialGradient gradient(centre, radius);
    const auto stops = gradientStops(color);
    gradient.setColorAt(0, stops[0]);
    gradient.setColorAt(0.5, stops[1]);
    gradient.setColorAt(1, stops[2]);

    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setBrush(gradient);
    painter->setPen(QPen(QColor(0, 0, 0, 64), 0.5));
    painter->drawRoundedRect(square, 3, 3);
    painter->restore();
}
