// SPDX-License-Identifier: MIT
#include "window/KindsTableModel.h"

#include "model/Palette.h"
#include "model/TallyfernDocument.h"
#include "widgets/Fmt.h"
#include "widgets/ItemRoles.h"

#include <algorithm>

KindsTableModel::KindsTableModel(TallyfernDocument& document, QObject* parent)
    : QAbstractTableModel(parent)
    , m_document(document)
    , m_shown(document.kindStats)
{
}

void KindsTableModel::reload()
{
    const std::vector<KindStat>& stats = m_document.kindStats;
    const bool sameKinds = !m_blocked && m_order.empty() && stats.size() == m_shown.size()
        && std::equal(stats.begin(), stats.end(), m_shown.begin(),
            [](const KindStat& a, const KindStat& b) { return a.kind == b.kind; });
    if (!sameKinds) {
        beginResetModel();
        m_shown = m_blocked ? std::vector<KindStat>() : stats;
        applyOrder();
        endResetModel();
        return;
    }
    // In the totals' order with the same kinds, ranks and so colours are unchanged: only
    // the figures of some rows.
    for (std::size_t row = 0; row < stats.size(); ++row) {
        if (stats[row] == m_shown[row])
            continue;
        m_shown[row] = stats[row];
        emit dataChanged(index(int(row), Size), index(int(row), Count));
    }
}

void KindsTableModel::setBlocked(bool blocked)
{
    beginResetModel();
    m_blocked = blocked;
    m_shown = blocked ? std::vector<KindStat>() : m_document.kindStats;
    applyOrder();
    endResetModel();
}

void KindsTableModel::sort(int column, Qt::SortOrder order)
{
    if (column == m_sortColumn && order == m_sortOrder)
        return;
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const QModelIndexList before = persistentIndexList();
    std::vector<std::size_t> entries;
    for (const QModelIndex& index : before)
        entries.push_back(entryAt(index.row()));
    m_sortColumn = column;
    m_sortOrder = order;
    applyOrder();
    std::vector<int> rows(m_shown.size());
    for (int row = 0; row < int(rows.size()); ++row)
        rows[entryAt(row)] = row;
    QModelIndexList after;
    for (qsizetype i = 0; i < before.size(); ++i)
        after.append(index(rows[entries[std::size_t(i)]], before[i].column()));
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

void KindsTableModel::applyOrder()
{
    m_order.clear();
    const std::vector<KindStat>& stats = m_shown;
    const bool descending = m_sortOrder == Qt::DescendingOrder;
    // The swatch has no order of its own: it stands for the totals' order.
    if (m_blocked || m_sortColumn == Swatch || (m_sortColumn == Size && descending))
        return;
    m_order.resize(stats.size());
    for (std::size_t i = 0; i < stats.size(); ++i)
        m_order[i] = i;
    std::vector<QString> names;
    if (m_sortColumn == Kind)
        for (const KindStat& stat : stats)
            names.push_back(m_document.kinds().name(stat.kind));
    const auto less = [&](std::size_t a, std::size_t b) {
        switch (m_sortColumn) {
        case Kind:
            return names[a].compare(names[b], Qt::CaseInsensitive) < 0;
        case Count:
            return stats[a].count < stats[b].count;
        default:
            return stats[a].size < stats[b].size;
        }
    };
    // Stable, and descending by swapping the operands: ties keep the totals' order.
    std::stable_sort(m_order.begin(), m_order.end(),
        [&](std::size_t a, std::size_t b) { return descending ? less(b, a) : less(a, b); });
}

std::size_t KindsTableModel::entryAt(int row) const
{
    // An order of other totals (not yet reloaded) is not used.
    return m_order.size() != m_shown.size() ? std::size_t(row) : m_order[std::size_t(row)];
}

QColor KindsTableModel::color(std::int32_t kind) const
{
    const RGB c = kind >= 0 && std::size_t(kind) < m_document.colors.size()
        ? m_document.colors[std::size_t(kind)]
        : Palette::kUnranked;
    return QColor::fromRgbF(float(c.r), float(c.g), float(c.b));
}

int KindsTableModel::rowOf(std::int32_t kind) const
{
    for (int row = 0; row < rowCount(); ++row)
        if (m_shown[entryAt(row)].kind == kind)
            return row;
    return -1;
}

std::int32_t KindsTableModel::kindAt(int row) const
{
    return m_shown.at(entryAt(row)).kind;
}

int KindsTableModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_shown.size());
}

int KindsTableModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant KindsTableModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const KindStat& stat = m_shown[entryAt(index.row())];
    switch (role) {
    case Qt::DisplayRole:
        switch (index.column()) {
        case Kind:
            return m_document.kinds().name(stat.kind);
        case Size:
            return Fmt::bytes(stat.size);
        case Count:
            return Fmt::count(stat.count);
        default:
            return {};
        }
    case Qt::AccessibleTextRole:
        // The swatch says which kind it stands for.
        return data(index.siblingAtColumn(index.column() == Swatch ? Kind : index.column()), Qt::DisplayRole);
    case ItemRoles::Swatch:
        return index.column() == Swatch ? QVariant(color(stat.kind)) : QVariant();
    case Qt::TextAlignmentRole:
        return ItemRoles::alignment(index.column() == Size || index.column() == Count);
    default:
        return {};
    }
}

QVariant KindsTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal)
        return {};
    if (role == Qt::DisplayRole) {
        switch (section) {
        case Kind:
            return tr("Kind");
        case Size:
            return tr("Size");
        case Count:
            return tr("Files");
        default:
            return QString();
        }
    }
    if (role == Qt::TextAlignmentRole)
        return ItemRoles::alignment(section == Size || section == Count);
    if (role == Qt::InitialSortOrderRole)
        return section == Kind ? Qt::AscendingOrder : Qt::DescendingOrder;
    return {};
}
