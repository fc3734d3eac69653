// SPDX-License-Identifier: MIT
#pragma once

#include <QTreeView>

#include <functional>
#include <memory>

class QMenu;

// The file outline: a tree table whose Space key and context menu go to callbacks of
// the window. Space is consumed even without a callback; a right click on a row that is
// not selected selects it alone first, and a right click below the last row opens
// nothing. The callbacks hold the window weakly.
class FileOutlineView : public QTreeView {
    Q_OBJECT
public:
    explicit FileOutlineView(QWidget* parent = nullptr);

    std::function<void()> onSpace;
    std::function<std::unique_ptr<QMenu>()> menuProvider;

    // The menu the context-menu gesture at `pos` (viewport coordinates) leads to, after
    // adjusting the selection; null for none.
    [[nodiscard]] std::unique_ptr<QMenu> menuAt(QPoint pos);

    // Runs `edit`, which changes the model's rows, then lays the open rows out once. A
    // current row that leaves with the edit moves to a neighbour without the view
    // scrolling to it, which would lay out every open row of a half-changed model; and a
    // layout still pending at the next paint would paint the outline twice.
    void followEdit(const std::function<void()>& edit);

    // `column` takes the width the others leave, but never less than `minimum`: below
    // that the view scrolls sideways rather than eliding every name. A width the user
    // drags it to holds until the view or another column is resized.
    void setFillColumn(int column, int minimum);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void fill();

    int m_fillColumn = -1;
    int m_fillMinimum = 0;
    bool m_filling = false;
};
