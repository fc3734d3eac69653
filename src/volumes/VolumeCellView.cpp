// SPDX-License-Identifier: MIT
#include "volumes/VolumeCellView.h"

#include "platform/DisplayName.h"
#include "widgets/BarCellView.h"
#include "widgets/CellPaint.h"
#include "widgets/Fmt.h"

#include <QCoreApplication>

#include <QFontMetrics>
#include <QPainter>

VolumeCellView::VolumeCellView(QObject* parent)
    : QStyledItemDelegate(parent)
    , m_bar(new BarCellView(this))
{
    m_bar->showsLabel = false;
}

VolumeCellView::Row VolumeCellView::configure(const Volume& volume)
{
    Row row;
    row.name = volume.name;
    if (volume.total && volume.free && *volume.total >= 1) {
        const std::int64_t total = *volume.total;
        const std::int64_t free = *volume.free;
        const std::int64_t used = total - free;
        row.showsBar = true;
        row.fraction = double(used) / double(total);
        row.detail = QCoreApplication::translate("VolumeCellView", "%1 used · %2 free of %3")
                         .arg(Fmt::bytes(used), Fmt::bytes(free), Fmt::bytes(total));
    } else {
        row.detail = DisplayName::decode(volume.path);
    }
    return row;
}

VolumeCellView::Layout VolumeCellView::layout(
    const QRect& rect, bool showsBar, int nameHeight, int detailHeight)
{
    Layout out;
    out.icon = QRect(rect.left() + 6, rect.top() + (rect.height() - 36) / 2, 36, 36);
    const int textLeft = out.icon.right() + 1 + 10;
    const int textRight = rect.right() + 1 - 8;
    out.name = QRect(textLeft, rect.top() + 7, std::max(0, textRight - textLeft), nameHeight);
    const int nameBottom = out.name.bottom() + 1;
    out.bar = QRect(textLeft - 3, nameBottom + 1, std::max(0, textRight - (textLeft - 3)), 14);
    const int detailTop = showsBar ? out.bar.bottom() + 1 + 1 : nameBottom + 3;
    out.detail = QRect(textLeft, detailTop, out.name.width(), detailHeight);
    return out;
}

void VolumeCellView::paint(
    QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    CellPaint::drawBackground(painter, opt);
    const bool emphasized = CellPaint::isEmphasized(opt);

    const QFont nameFont = CellPaint::uiFont(13, QFont::DemiBold);
    const QFont detailFont = CellPaint::uiFont(11);
    const QFontMetrics nameMetrics(nameFont);
    const QFontMetrics detailMetrics(detailFont);
    const bool showsBar = index.data(ShowsBarRole).toBool();
    const Layout parts = layout(opt.rect, showsBar, nameMetrics.height(), detailMetrics.height());

    painter->save();
    const QIcon icon = index.data(Qt::DecorationRole).value<QIcon>();
    icon.paint(painter, parts.icon);

    const QColor text
        = emphasized ? opt.palette.color(QPalette::HighlightedText) : opt.palette.color(QPalette::Text);
    painter->setFont(nameFont);
    painter->setPen(text);
    painter->drawText(parts.name, Qt::AlignLeft | Qt::AlignVCenter,
        nameMetrics.elidedText(index.data(Qt::DisplayRole).toString(), Qt::ElideRight, parts.name.width()));

    if (showsBar) {
        QStyleOptionViewItem barOption = opt;
        barOption.rect = parts.bar;
        m_bar->paint(painter, barOption, index);
    }

    painter->setFont(detailFont);
    painter->setPen(emphasized ? text : CellPaint::secondaryColor(text));
    painter->drawText(parts.detail, Qt::AlignLeft | Qt::AlignVCenter,
        detailMetrics.elidedText(index.data(DetailRole).toString(), Qt::ElideMiddle, parts.detail.width()));
    painter->restore();
}

QSize VolumeCellView::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    return QSize(QStyledItemDelegate::sizeHint(option, index).width(), kRowHeight);
}
