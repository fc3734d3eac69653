// SPDX-License-Identifier: MIT
#include "window/ProgressSpinner.h"

#include <QPainter>
#include <QTimer>

namespace {
constexpr int kTicks = 12;
}

ProgressSpinner::ProgressSpinner(QWidget* parent)
    : QWidget(parent)
    , m_timer(new QTimer(this))
{
    setFixedSize(32, 32);
    m_timer->setInterval(80);
    connect(m_timer, &QTimer::timeout, this, [this] {
        m_step = (m_step + 1) % kTicks;
        update();
    });
}

void ProgressSpinner::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    m_timer->start();
}

void ProgressSpinner::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    m_timer->stop();
}

void ProgressSpinner::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(width() / 2.0, height() / 2.0);
    const double radius = std::min(width(), height()) / 2.0;
    QColor color = palette().color(QPalette::WindowText);
    for (int i = 0; i < kTicks; ++i) {
        const int age = (m_step - i + kTicks) % kTicks;
        color.setAlphaF(float(1.0 - 0.75 * age / (kTicks - 1)));
        painter.setPen(QPen(color, radius * 0.16, Qt::SolidLine, Qt::RoundCap));
        painter.save();
        painter.rotate(i * 360.0 / kTicks);
        painter.drawLine(QPointF(0, -radius * 0.5), QPointF(0, -radius * 0.88));
        painter.restore();
    }
}
