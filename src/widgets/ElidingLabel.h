// SPDX-License-Identifier: MIT
#pragma once

#include <QLabel>

// A one-line label that shortens its text in the middle (keeping the start of a path
// and its last component) instead of growing the window. It may shrink to nothing.
class ElidingLabel : public QLabel {
    Q_OBJECT
public:
    explicit ElidingLabel(QWidget* parent = nullptr);
    [[nodiscard]] QSize minimumSizeHint() const override;
    [[nodiscard]] QSize sizeHint() const override;
    // The text as drawn at the current width.
    [[nodiscard]] QString shownText() const;

protected:
    void paintEvent(QPaintEvent* event) override;
};
