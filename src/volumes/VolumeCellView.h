// SPDX-License-Identifier: MIT
#pragma once

#include "volumes/Volume.h"
#include "widgets/ItemRoles.h"

#include <QStyledItemDelegate>

// Paints one row of the volume chooser: a 36-point icon, the name in semibold, a bar of
// the used share without label and the detail line below it; without a known capacity
// the bar is left out and the path sits right under the name.
class BarCellView;

class VolumeCellView : public QStyledItemDelegate {
    Q_OBJECT
public:
    enum Role { FractionRole = ItemRoles::Fraction, DetailRole = Qt::UserRole + 20, ShowsBarRole };

    // What a row shows for a volume.
    struct Row {
        QString name;
        QString detail;
        double fraction = 0;
        bool showsBar = false;
    };
    [[nodiscard]] static Row configure(const Volume& volume);

    static constexpr int kRowHeight = 56;

    explicit VolumeCellView(QObject* parent = nullptr);

    void paint(
        QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    [[nodiscard]] QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

    // Geometry of the parts of a row in `rect`, for painting and for tests.
    struct Layout {
        QRect icon;
        QRect name;
        QRect bar;
        QRect detail;
    };
    [[nodiscard]] static Layout layout(const QRect& rect, bool showsBar, int nameHeight, int detailHeight);

private:
    BarCellView* m_bar; // the outline's bar, without its label
};
