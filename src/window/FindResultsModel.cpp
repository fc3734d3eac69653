// SPDX-License-Identifier: MIT
#include "window/FindResultsModel.h"

#include "model/TallyfernDocument.h"
#include "platform/DisplayName.h"
#include "scan/FileNode.h"
#include "widgets/Fmt.h"
#include "widgets/ItemRoles.h"
#include "window/FileOutlineModel.h"

FindResultsModel::FindResultsModel(const TallyfernDocument& document, QObject* parent)
    : QAbstractTableModel(parent)
    , m_document(document)
{
}

void FindResultsModel::setResult(std::shared_ptr<const SearchJob::Result> result)
{
    beginResetModel();
    m_result = std::move(result);
    endResetModel();
}

FileNode* FindResultsModel::node(const QModelIndex& index) const
{
    if (!index.isValid() || index.model() != this || index.row() >= rowCount())
        return nullptr;
    // The tree is the document's to change; the search only read it.
    return const_cast<FileNode*>(m_result->found.items[std::size_t(index.row())]);
}

int FindResultsModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() || !m_result ? 0 : int(m_result->found.items.size());
}

int FindResultsModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant FindResultsModel::data(const QModelIndex& index, int role) const
{
    const FileNode* n = node(index);
    if (!n)
        return {};
    switch (role) {
    case ItemRoles::Node:
        return QVariant::fromValue(static_cast<void*>(const_cast<FileNode*>(n)));
    case Qt::DisplayRole:
        switch (index.column()) {
        case Name:
            return DisplayName::decode(n->name());
        case Folder:
            return n->parent ? DisplayName::decode(n->parent->path()) : QString();
        case Size:
            return Fmt::bytes(n->size);
        case Kind:
            return FileOutlineModel::kindText(m_document, *n);
        default:
            return {};
        }
    case ItemRoles::Secondary:
        return index.column() == Folder || index.column() == Kind || n->flags.contains(NodeFlags::Excluded);
    case Qt::DecorationRole:
        return index.column() == Name && iconProvider ? QVariant(iconProvider(n)) : QVariant();
    case Qt::ToolTipRole:
        return index.column() == Name || index.column() == Folder ? QVariant(DisplayName::decode(n->path()))
                                                                  : QVariant();
    case Qt::TextAlignmentRole:
        return ItemRoles::alignment(index.column() == Size);
    default:
        return {};
    }
}

QVariant FindResultsModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal)
        return {};
    if (role == Qt::TextAlignmentRole)
        return ItemRoles::alignment(section == Size);
    if (role != Qt::DisplayRole)
        return {};
    switch (section) {
    case Name:
        return tr("Name");
    case Folder:
        return tr("Folder");
    case Size:
        return tr("Size");
    case Kind:
        return tr("Kind");
    default:
        return {};
    }
}
