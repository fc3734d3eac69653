// SPDX-License-Identifier: MIT
#include "window/KindsTableModel.h"

#include "model/Palette.h"
#include "model/TallyfernDocument.h"
#include "widgets/Fmt.h"
#include "widgets/ItemRoles.h"

KindsTableModel::KindsTableModel(TallyfernDocument& document, QObject* parent)
    : QAbstractTableModel(parent)
    , m_document(document)
{
}

void KindsTableModel::reload()
{
    beginResetModel();
    endResetModel();
}

void KindsTableModel::setBlocked(bool blocked)
{
    beginResetModel();
    m_blocked = blocked;
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
    for (std::size_t i = 0; i < m_document.kindStats.size(); ++i)
        if (m_document.kindStats[i].kind == kind)
            return int(i);
    return -1;
}

std::int32_t KindsTableModel::kindAt(int row) const
{
    return m_document.kindStats.at(std::size_t(row)).kind;
}

int KindsTableModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() || m_blocked ? 0 : int(m_document.kindStats.size());
}

int KindsTableModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant KindsTableModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const KindStat& stat = m_document.kindStats[std::size_t(index.row())];
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
    return {};
}
