// SPDX-License-Identifier: MIT
#pragma once

#include "model/KindStat.h"

#include <QAbstractTableModel>
#include <QColor>

#include <cstdint>
#include <vector>

class TallyfernDocument;

// The kinds table: one row per entry of the document's kind totals (of the zoom root),
// with its colour swatch, name, size and file count; in the totals' order (size
// descending) unless sorted by another column or order, ties then in that order.
// Threads: main thread only.
class KindsTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { Swatch, Kind, Size, Count, ColumnCount };

    explicit KindsTableModel(TallyfernDocument& document, QObject* parent = nullptr);

    // Shows the document's totals as they are now: in place when the same kinds come in
    // the same order (an edit that changed some sizes), as a reset otherwise.
    void reload();
    // While blocked (a full scan may be rewriting the totals) the table has no rows;
    // unblocking reloads.
    void setBlocked(bool blocked);
    // The swatch colour of a kind; grey beyond the colour list.
    [[nodiscard]] QColor color(std::int32_t kind) const;
    // The row of a kind, or -1.
    [[nodiscard]] int rowOf(std::int32_t kind) const;
    [[nodiscard]] std::int32_t kindAt(int row) const;

    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

    [[nodiscard]] int rowCount(const QModelIndex& parent = {}) const override;
    [[nodiscard]] int columnCount(const QModelIndex& parent = {}) const override;
    [[nodiscard]] QVariant data(const QModelIndex& index, int role) const override;
    [[nodiscard]] QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    TallyfernDocument& m_document;
    // The entry of the totals shown at a row.
    [[nodiscard]] std::size_t entryAt(int row) const;
    void applyOrder();

    bool m_blocked = false;
    std::vector<KindStat> m_shown; // the totals the rows show
    int m_sortColumn = Size;
    Qt::SortOrder m_sortOrder = Qt::DescendingOrder;
    std::vector<std::size_t> m_order; // by row: the entry shown there; empty in the totals' order
};
