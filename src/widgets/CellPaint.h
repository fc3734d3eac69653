// SPDX-License-Identifier: MIT
#pragma once

#include <QColor>
#include <QFont>
#include <QRect>

class QLabel;

class QModelIndex;
class QPainter;
class QStaticText;
class QStyleOptionViewItem;

// What every cell delegate of the document window paints alike: the row background,
// the label colours and fonts given in points of the window's layout.
namespace CellPaint {

// Row background (alternating colour, selection) as the style draws it, without text.
void drawBackground(QPainter* painter, const QStyleOptionViewItem& option);
// True when the row is selected: labels and bars turn white on the highlight.
[[nodiscard]] bool isEmphasized(const QStyleOptionViewItem& option);
// Label colour of a cell: highlighted text when emphasized, the secondary label colour
// when the model asks for it, the ordinary text colour otherwise.
[[nodiscard]] QColor textColor(const QStyleOptionViewItem& option, const QModelIndex& index);
// The secondary label colour: the text colour at reduced strength.
[[nodiscard]] QColor secondaryColor(const QColor& text);
// Makes `label` say a problem next to a field: in a warning red, wrapping, hidden while
// it says nothing.
void styleProblemLabel(QLabel* label);
// The application font at `points` layout points (one point is one logical pixel).
[[nodiscard]] QFont uiFont(double points, QFont::Weight weight = QFont::Normal);
// `text` laid out on one line in `font` (line breaks show as spaces), kept for the next
// call: a repaint of the same rows lays out no text again. Main thread only.
[[nodiscard]] QStaticText shapedText(const QFont& font, const QString& text);
// Draws `text` in the painter's font and pen on one line inside `rect`, centred
// vertically, at the left or right as `alignment` says, elided with `elide` when it is
// too wide.
void drawLabel(QPainter* painter, const QRect& rect, Qt::Alignment alignment, const QString& text,
    Qt::TextElideMode elide);

} // namespace CellPaint
