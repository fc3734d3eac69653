// SPDX-License-Identifier: MIT
#pragma once

#include <QTableView>

#include <functional>

// A table whose Space key goes to a callback when one is set; without one, Space
// behaves as in any table. A click on the empty area below the rows clears the
// selection, so a table that allows an empty selection can return to it.
class KeyTableView : public QTableView {
    Q_OBJECT
public:
    explicit KeyTableView(QWidget* parent = nullptr);

    std::function<void()> onSpace;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
};
