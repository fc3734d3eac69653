// SPDX-License-Identifier: MIT
#include "window/AgeLegendView.h"

#include "model/Palette.h"
#include "widgets/CellPaint.h"

#include <QPainter>

namespace {

constexpr int kMargin = 12;
constexpr int kBandHeight = 18;

struct Mark {
    double ageSeconds;
    const char* label;
};
const Mark kMarks[] = {
    { 0, QT_TRANSLATE_NOOP("AgeLegendView", "today") },
    { 7 * Palette::kDaySeconds, QT_TRANSLATE_NOOP("AgeLegendView", "a week") },
    { 30.44 * Palette::kDaySeconds, QT_TRANSLATE_NOOP("AgeLegendView", "a month") },
    { 365.25 * Palette::kDaySeconds, QT_TRANSLATE_NOOP("AgeLegendView", "a year") },
    { Palette::kOldestAge, QT_TRANSLATE_NOOP("AgeLegendView", "10 years +") },
};

} // namespace

AgeLegendView::AgeLegendView(QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("ageLegend"));
    setFont(CellPaint::uiFont(11));
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
}

QSize AgeLegendView::sizeHint() const
{
    return { 300, 2 * kMargin + kBandHeight + 3 * fontMetrics().height() };
}

void AgeLegendView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const int line = fontMetrics().height();
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(QRect(kMargin, kMargin, width() - 2 * kMargin, line), Qt::AlignLeft | Qt::AlignVCenter,
        tr("Age of the items (time since last modified)"));
    const QRect band(kMargin, kMargin + line + 6, std::max(1, width() - 2 * kMargin), kBandHeight);
    for (int x = 0; x < band.width(); ++x) {
        const RGB c = Palette::ageColor(double(x) / std::max(1, band.width() - 1));
        painter.setPen(QColor::fromRgbF(float(c.r), float(c.g), float(c.b)));
        painter.drawLine(band.left() + x, band.top(), band.left() + x, band.bottom());
    }
    painter.setPen(CellPaint::secondaryColor(palette().color(QPalette::WindowText)));
    for (const Mark& mark : kMarks) {
        const int x = band.left() + int(Palette::ageFraction(mark.ageSeconds) * (band.width() - 1));
        painter.drawLine(x, band.bottom() + 1, x, band.bottom() + 4);
        const QString text = tr(mark.label);
        const int w = fontMetrics().horizontalAdvance(text);
        const int left = std::clamp(x - w / 2, band.left(), band.right() - w);
        painter.drawText(QRect(left, band.bottom() + 6, w, line), Qt::AlignCenter, text);
    }
}
