// SPDX-License-Identifier: MIT
#include "window/FileOutlineModel.h"

#include "model/TallyfernDocument.h"
#include "model/TreeQueries.h"
#include "platform/DisplayName.h"
#include "scan/FileNode.h"
#include "widgets/BarCellView.h"
#include "widgets/Fmt.h"
#include "widgets/ItemRoles.h"

FileOutlineModel::FileOutlineModel(TallyfernDocument& document, QObject* parent)
    : QAbstractItemModel(parent)
    , m_document(document)
{
}

void FileOutlineModel::setBlocked(bool blocked)
{
    beginResetModel();
    m_blocked = blocked;
    m_rowCache.clear();
    endResetModel();
}

void FileOutlineModel::reload()
{
    beginResetModel();
    m_rowCache.clear();
    endResetModel();
}

void FileOutlineModel::relayout(const std::function<void()>& change)
{
    m_relayout = true;
    emit layoutAboutToBeChanged();
    const QModelIndexList before = persistentIndexList();
    std::vector<const FileNode*> nodes;
    nodes.reserve(std::size_t(before.size()));
    for (const QModelIndex& index : before)
        nodes.push_back(node(index));
    change();
    m_rowCache.clear();
    QModelIndexList after;
    after.reserve(before.size());
    for (qsizetype i = 0; i < before.size(); ++i)
        after.append(indexOf(nodes[std::size_t(i)], before[i].column()));
    changePersistentIndexList(before, after);
    emit layoutChanged();
    m_relayout = false;
}

QModelIndex FileOutlineModel::rowsOf(const FileNode* parent) const
{
    if (m_relayout || !isExpandable(parent, m_document.showPackageContents))
        return {};
    return indexOf(parent);
}

void FileOutlineModel::aboutToRemove(FileNode* parent, std::size_t first, std::size_t last)
{
    const QModelIndex index = rowsOf(parent);
    m_removing = index.isValid();
    if (m_removing)
        beginRemoveRows(index, int(first), int(last));
}

void FileOutlineModel::removed()
{
    if (m_removing)
        endRemoveRows();
    m_removing = false;
}

void FileOutlineModel::aboutToInsert(FileNode* parent, std::size_t first, std::size_t last)
{
    // The parent may have no rows yet: it shows them if it opens once they are in.
    const bool opens = parent->isDirectory()
        && (m_document.showPackageContents || !parent->flags.contains(NodeFlags::Package));
    const QModelIndex index = m_relayout || !opens ? QModelIndex() : indexOf(parent);
    m_inserting = index.isValid();
    if (m_inserting)
        beginInsertRows(index, int(first), int(last));
}

void FileOutlineModel::inserted()
{
    if (m_inserting)
        endInsertRows();
    m_inserting = false;
}

void FileOutlineModel::aboutToReorder(FileNode* parent)
{
    const QModelIndex index = rowsOf(parent);
    if (!index.isValid())
        return;
    emit layoutAboutToBeChanged({ QPersistentModelIndex(index) }, QAbstractItemModel::VerticalSortHint);
    for (const QModelIndex& persistent : persistentIndexList()) {
        if (persistent.internalPointer() == parent) {
            m_moving.append(persistent);
            m_movingNodes.push_back(node(persistent));
        }
    }
}

void FileOutlineModel::reordered(FileNode* parent)
{
    const QModelIndex index = rowsOf(parent);
    if (!index.isValid())
        return;
    QModelIndexList moved;
    moved.reserve(m_moving.size());
    for (qsizetype i = 0; i < m_moving.size(); ++i) {
        const FileNode* child = m_movingNodes[std::size_t(i)];
        const int row = child ? rowOf(child) : -1;
        moved.append(row < 0 ? QModelIndex() : createIndex(row, m_moving[i].column(), parent));
    }
    changePersistentIndexList(m_moving, moved);
    m_moving.clear();
    m_movingNodes.clear();
    emit layoutChanged({ QPersistentModelIndex(index) }, QAbstractItemModel::VerticalSortHint);
}

void FileOutlineModel::totalsChanged(FileNode* changed)
{
    if (m_relayout)
        return;
    const QModelIndex index = indexOf(changed);
    if (!index.isValid())
        return;
    emit dataChanged(index.siblingAtColumn(Size), index.siblingAtColumn(Kind));
    // The shares of its children are of its size.
    if (const int rows = rowCount(index); rows > 0)
        emit dataChanged(this->index(0, Percent, index), this->index(rows - 1, Percent, index));
}

FileNode* FileOutlineModel::root() const
{
    return m_blocked ? nullptr : m_document.root();
}

bool FileOutlineModel::isExpandable(const FileNode* node, bool showPackageContents)
{
    return node && TreeQueries::opensAsFolder(*node, showPackageContents);
}

FileNode* FileOutlineModel::node(const QModelIndex& index) const
{
    if (!index.isValid() || index.model() != this)
        return nullptr;
    auto* parentNode = static_cast<FileNode*>(index.internalPointer());
    if (!parentNode)
        return root();
    if (index.row() < 0 || std::size_t(index.row()) >= parentNode->childCount())
        return nullptr;
    return parentNode->child(std::size_t(index.row()));
}

int FileOutlineModel::rowOf(const FileNode* node) const
{
    if (!node->parent)
        return 0;
    const auto found = m_rowCache.find(node);
    if (found != m_rowCache.end() && std::size_t(found->second) < node->parent->childCount()
        && node->parent->child(std::size_t(found->second)) == node)
        return found->second;
    const auto row = static_cast<int>(node->parent->indexOfChild(node));
    if (row >= 0)
        m_rowCache[node] = row;
    return row;
}

QModelIndex FileOutlineModel::indexOf(const FileNode* node, int column) const
{
    const FileNode* top = root();
    if (!node || !top)
        return {};
    if (node == top)
        return createIndex(0, column, nullptr);
    // Every ancestor up to the root must show its children.
    const FileNode* up = node->parent;
    while (up && up != top) {
        if (!isExpandable(up, m_document.showPackageContents))
            return {};
        up = up->parent;
    }
    if (up != top || !isExpandable(top, m_document.showPackageContents))
        return {};
    const int row = rowOf(node);
    if (row < 0)
        return {};
    return createIndex(row, column, node->parent);
}

QModelIndex FileOutlineModel::childIndex(const QModelIndex& parent, const FileNode* child) const
{
    const FileNode* parentNode = node(parent);
    if (!child || !parentNode || child->parent != parentNode || parent.column() != 0
        || !isExpandable(parentNode, m_document.showPackageContents))
        return {};
    const int row = rowOf(child);
    return row < 0 ? QModelIndex() : createIndex(row, 0, const_cast<FileNode*>(parentNode));
}

QModelIndex FileOutlineModel::index(int row, int column, const QModelIndex& parent) const
{
    if (column < 0 || column >= ColumnCount || row < 0 || row >= rowCount(parent))
        return {};
    if (!parent.isValid())
        return createIndex(row, column, nullptr);
    return createIndex(row, column, node(parent));
}

QModelIndex FileOutlineModel::parent(const QModelIndex& child) const
{
    if (!child.isValid())
        return {};
    auto* parentNode = static_cast<FileNode*>(child.internalPointer());
    if (!parentNode)
        return {};
    if (parentNode == root() || !parentNode->parent)
        return createIndex(0, 0, nullptr);
    const int row = rowOf(parentNode);
    return row < 0 ? QModelIndex() : createIndex(row, 0, parentNode->parent);
}

int FileOutlineModel::rowCount(const QModelIndex& parent) const
{
    if (!root())
        return 0;
    if (!parent.isValid())
        return 1;
    if (parent.column() != 0)
        return 0;
    const FileNode* n = node(parent);
    return isExpandable(n, m_document.showPackageContents) ? static_cast<int>(n->childCount()) : 0;
}

int FileOutlineModel::columnCount(const QModelIndex&) const
{
    return ColumnCount;
}

bool FileOutlineModel::hasChildren(const QModelIndex& parent) const
{
    if (!parent.isValid())
        return root() != nullptr;
    return parent.column() == 0 && isExpandable(node(parent), m_document.showPackageContents);
}

double FileOutlineModel::fraction(const FileNode* node)
{
    if (!node->parent)
        return 1.0;
    if (node->parent->size < 1)
        return 0.0;
    return double(node->size) / double(node->parent->size);
}

QVariant FileOutlineModel::data(const QModelIndex& index, int role) const
{
    const FileNode* n = node(index);
    if (!n)
        return {};
    const bool unreadable = n->flags.contains(NodeFlags::Unreadable);
    switch (role) {
    case ItemRoles::Node:
        return QVariant::fromValue(static_cast<void*>(const_cast<FileNode*>(n)));
    case Qt::DisplayRole:
        switch (index.column()) {
        case Name:
            return n->parent ? DisplayName::decode(n->name()) : m_document.displayName();
        case Size:
            return Fmt::bytes(n->size);
        case Count:
            return n->isDirectory() ? Fmt::count(n->fileCount) : QString();
        case Kind:
            return unreadable ? tr("Folder (no access)") : m_document.kinds().name(n->kind);
        default:
            return {};
        }
    case ItemRoles::Fraction:
        return index.column() == Percent ? QVariant(fraction(n)) : QVariant();
    case Qt::AccessibleTextRole:
        // The bar's cell has no text of its own: a screen reader reads its label.
        return index.column() == Percent ? QVariant(BarCellView::labelText(BarCellView::clamp(fraction(n))))
                                         : data(index, Qt::DisplayRole);
    case ItemRoles::Secondary:
        if (index.column() == Kind)
            return true;
        return index.column() == Name && (unreadable || n->flags.contains(NodeFlags::Pseudo));
    case Qt::DecorationRole:
        if (index.column() == Name && iconProvider)
            return iconProvider(n);
        return {};
    case Qt::ToolTipRole:
        return index.column() == Name ? QVariant(QString::fromStdString(n->path())) : QVariant();
    case Qt::TextAlignmentRole:
        return ItemRoles::alignment(index.column() == Size || index.column() == Count);
    default:
        return {};
    }
}

QVariant FileOutlineModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal)
        return {};
    if (role == Qt::DisplayRole) {
        switch (section) {
        case Name:
            return tr("Name");
        case Size:
            return tr("Size");
        case Percent:
            return tr("% of Folder");
        case Count:
            return tr("Files");
        case Kind:
            return tr("Kind");
        default:
            return {};
        }
    }
    if (role == Qt::TextAlignmentRole)
        return ItemRoles::alignment(section == Size || section == Count);
    return {};
}

Qt::ItemFlags FileOutlineModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
}
