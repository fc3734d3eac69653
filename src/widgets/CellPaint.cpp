// SPDX-License-Identifier: MIT
#include "widgets/CellPaint.h"

#include "widgets/ItemRoles.h"

#include <QApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QPainter>
#include <QScreen>
#include <QStyle>
#include <QStyleOptionViewItem>

namespace CellPaint {

void drawBackground(QPainter* painter, const QStyleOptionViewItem& option)
{
    QStyleOptionViewItem bare = option;
    bare.text.clear();
    bare.icon = QIcon();
    bare.features &= ~QStyleOptionViewItem::HasDisplay;
    bare.features &= ~QStyleOptionViewItem::HasDecoration;
    QStyle* style = option.widget ? option.widget->style() : QApplication::style();
    style->drawPrimitive(QStyle::PE_PanelItemViewItem, &bare, painter, option.widget);
}

bool isEmphasized(const QStyleOptionViewItem& option)
{
    return option.state.testFlag(QStyle::State_Selected);
}

QColor secondaryColor(const QColor& text)
{
    QColor c = text;
    c.setAlphaF(0.55f);
    return c;
}

void styleProblemLabel(QLabel* label)
{
    label->setWordWrap(true);
    QPalette warning = label->palette();
    warning.setColor(QPalette::WindowText, QColor(0xc0, 0x1c, 0x28));
    label->setPalette(warning);
    label->hide();
}

QColor textColor(const QStyleOptionViewItem& option, const QModelIndex& index)
{
    const QPalette::ColorGroup group
        = option.state.testFlag(QStyle::State_Active) ? QPalette::Active : QPalette::Inactive;
    if (isEmphasized(option))
        return option.palette.color(group, QPalette::HighlightedText);
    const QColor text = option.palette.color(group, QPalette::Text);
    return index.data(ItemRoles::Secondary).toBool() ? secondaryColor(text) : text;
}

QFont uiFont(double points, QFont::Weight weight)
{
    QFont font = QApplication::font();
    const QScreen* screen = QGuiApplication::primaryScreen();
    const double dpi = screen ? screen->logicalDotsPerInchY() : 96.0;
    font.setPointSizeF(points * 72.0 / dpi);
    font.setWeight(weight);
    return font;
}

} // namespace CellPaint
