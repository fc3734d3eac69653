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
    const bool sameKinds = !m_blocked && stats.size() == m_shown.size()
        && std::equal(stats.begin(), stats.end(), m_shown.begin(),
            [](const KindStat& a, const KindStat& b) { return a.kind == b.kind; });
    if (!sameKinds) {
        beginResetModel();
        m_shown = m_blocked ? std::vector<KindStat>() : stats;
        endResetModel();
        return;
    }
    // Ranks and so colours are unchanged: only the figures of some rows.
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
    endResetModel();
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
    for (std::size_t i = 0; i < m_shown.size(); ++i)
        if (m_shown[i].kind == kind)
            return int(i);
    return -1;
}

std::int32_t KindsTableModel::kindAt(int row) const
{
    return m_shown.at(std::size_t(row)).kind;
}

int KindsTableModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() || m_blocked ? 0 : int(m_shown.size());
}

int KindsTableModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant KindsTableModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const KindStat& stat = m_shown[std::size_t(index.row())];
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
    return {};
}
