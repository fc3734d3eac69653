// SPDX-License-Identifier: MIT
#pragma once

#include <QWidget>

// The legend of colouring by age: the scale from recent to old as one continuous band,
// with its marks (today, a week, a month, a year, ten years) placed by the same rule the
// treemap colours by.
class AgeLegendView : public QWidget {
    Q_OBJECT
public:
    explicit AgeLegendView(QWidget* parent = nullptr);

    [[nodiscard]] QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
};
