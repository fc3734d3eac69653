// SPDX-License-Identifier: MIT
#include "window/KeyTableView.h"

#include <QKeyEvent>
#include <QMouseEvent>

KeyTableView::KeyTableView(QWidget* parent)
    : QTableView(parent)
{
}

void KeyTableView::keyPressEvent(QKeyEvent* event)
{
    if (onSpace && event->key() == Qt::Key_Space && event->text() == QLatin1String(" ")) {
        onSpace();
        event->accept();
        return;
    }
    QTableView::keyPressEvent(event);
}

void KeyTableView::mousePressEvent(QMouseEvent* event)
{
    if (!indexAt(event->position().toPoint()).isValid()) {
        clearSelection();
        event->accept();
        return;
    }
    QTableView::mousePressEvent(event);
}
