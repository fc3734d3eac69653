// SPDX-License-Identifier: MIT
#pragma once

#include <QWidget>

class QTimer;

// An indeterminate spinner: twelve ticks whose brightness turns around the circle
// while the widget is visible.
class ProgressSpinner : public QWidget {
    Q_OBJECT
public:
    explicit ProgressSpinner(QWidget* parent = nullptr);
    [[nodiscard]] QSize sizeHint() const override { return { 32, 32 }; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    QTimer* m_timer;
    int m_step = 0;
};
