// SPDX-License-Identifier: MIT
#include "widgets/CellPaint.h"

#include "widgets/ItemRoles.h"

#include <QApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QPainter>
#include <QScreen>
#include <QStaticText>
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

namespace {

// Visible rows show a few hundred distinct texts; past this many, start afresh.
constexpr qsizetype kMaxKept = 4096;

// Laid-out texts of one font, by text (and elided ones by text, width and mode).
QHash<QString, QStaticText>& keptFor(const QFont& font)
{
    static QHash<QString, QHash<QString, QStaticText>> byFont;
    QHash<QString, QStaticText>& kept = byFont[font.key()];
    if (kept.size() >= kMaxKept)
        kept.clear();
    return kept;
}

QStaticText shape(const QFont& font, const QString& text)
{
    QString line = text;
    for (QChar& c : line)
        if (c == u'\n' || c == u'\r' || c == QChar::LineSeparator || c == QChar::ParagraphSeparator)
            c = u' ';
    QStaticText shaped(line);
    shaped.setTextFormat(Qt::PlainText); // a name with "<b>" is not markup
    shaped.prepare(QTransform(), font);
    return shaped;
}

} // namespace

QStaticText shapedText(const QFont& font, const QString& text)
{
    QHash<QString, QStaticText>& kept = keptFor(font);
    if (const auto found = kept.constFind(text); found != kept.cend())
        return *found;
    return *kept.insert(text, shape(font, text));
}

void drawLabel(QPainter* painter, const QRect& rect, Qt::Alignment alignment, const QString& text,
    Qt::TextElideMode elide)
{
    const QFont font = painter->font();
    QStaticText shaped = shapedText(font, text);
    if (shaped.size().width() > rect.width()) {
        QHash<QString, QStaticText>& kept = keptFor(font);
        const QString key = text + QChar(0) + QString::number(rect.width()) + QChar(u'a' + int(elide));
        auto found = kept.constFind(key);
        if (found == kept.cend())
            found = kept.insert(key, shape(font, QFontMetrics(font).elidedText(text, elide, rect.width())));
        shaped = *found;
    }
    const double width = shaped.size().width();
    double x = rect.x();
    if (alignment & Qt::AlignRight)
        x = rect.x() + rect.width() - width;
    else if (alignment & Qt::AlignHCenter)
        x = rect.x() + (rect.width() - width) / 2;
    const double y = rect.y() + (rect.height() - QFontMetricsF(font).height()) / 2;
    painter->drawStaticText(QPointF(x, y), shaped);
}

} // namespace CellPaint
