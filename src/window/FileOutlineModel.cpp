// SPDX-License-Identifier: MIT
#include "window/FileOutlineModel.h"

#include "model/TallyfernDocument.h"
#include "model/TreeQueries.h"
#include "platform/DisplayName.h"
#include "scan/FileNode.h"
#include "widgets/BarCellView.h"
#include "widgets/Fmt.h"
#include "widgets/ItemRoles.h"

#include <QDateTime>
#include <QLocale>

#include <algorithm>

namespace {

// Names by their bytes with ASCII letters folded, so that "b" comes between "A" and "C".
bool caselessLess(std::string_view a, std::string_view b)
{
    const auto fold = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
        [&](char x, char y) { return std::uint8_t(fold(x)) < std::uint8_t(fold(y)); });
}

} // namespace

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
    m_orders.clear();
    endResetModel();
}

void FileOutlineModel::reload()
{
    beginResetModel();
    m_rowCache.clear();
    m_orders.clear();
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
    m_orders.clear();
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
    if (isSorted() && !m_relayout)
        return beginSortedEdit(parent);
    const QModelIndex index = rowsOf(parent);
    m_removing = index.isValid();
    if (m_removing)
        beginRemoveRows(index, int(first), int(last));
}

void FileOutlineModel::removed()
{
    if (m_sortedEdit)
        return endSortedEdit();
    if (m_removing)
        endRemoveRows();
    m_removing = false;
}

void FileOutlineModel::aboutToInsert(FileNode* parent, std::size_t first, std::size_t last)
{
    if (isSorted() && !m_relayout)
        return beginSortedEdit(parent);
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
    if (m_sortedEdit)
        return endSortedEdit();
    if (m_inserting)
        endInsertRows();
    m_inserting = false;
}

void FileOutlineModel::aboutToReorder(FileNode* parent)
{
    if (isSorted() && !m_relayout)
        return beginSortedEdit(parent);
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
    if (m_sortedEdit)
        return endSortedEdit();
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
    emit dataChanged(index.siblingAtColumn(Size), index.siblingAtColumn(ColumnCount - 1));
    // The shares of its children are of its size.
    if (const int rows = rowCount(index); rows > 0)
        emit dataChanged(this->index(0, Percent, index), this->index(rows - 1, Percent, index));
}

void FileOutlineModel::sort(int column, Qt::SortOrder order)
{
    if (column < 0 || column >= ColumnCount || (column == m_sortColumn && order == m_sortOrder))
        return;
    relayout([this, column, order] {
        m_sortColumn = column;
        m_sortOrder = order;
    });
}

const FileOutlineModel::Order& FileOutlineModel::orderOf(const FileNode* parent) const
{
    Order& order = m_orders[parent];
    const std::size_t count = parent->childCount();
    if (order.children.size() == count)
        return order;
    order.children.resize(count);
    for (std::size_t i = 0; i < count; ++i)
        order.children[i] = std::uint32_t(i);
    const auto child = [parent](std::uint32_t i) { return parent->child(i); };
    const bool descending = m_sortOrder == Qt::DescendingOrder;
    // Stable, and descending by swapping the operands: ties keep the stored order either way.
    const auto sortBy = [&](auto less) {
        std::stable_sort(order.children.begin(), order.children.end(),
            [&](std::uint32_t a, std::uint32_t b) { return descending ? less(b, a) : less(a, b); });
    };
    switch (m_sortColumn) {
    case Name:
        sortBy([&](std::uint32_t a, std::uint32_t b) {
            return caselessLess(child(a)->name(), child(b)->name());
        });
        break;
    case Count:
        sortBy([&](std::uint32_t a, std::uint32_t b) { return child(a)->fileCount < child(b)->fileCount; });
        break;
    case Modified:
        sortBy([&](std::uint32_t a, std::uint32_t b) { return child(a)->mtime < child(b)->mtime; });
        break;
    case Kind: {
        std::vector<QString> kinds(count);
        for (std::size_t i = 0; i < count; ++i)
            kinds[i] = kindText(m_document, *child(std::uint32_t(i)));
        sortBy([&](std::uint32_t a, std::uint32_t b) {
            return kinds[a].compare(kinds[b], Qt::CaseInsensitive) < 0;
        });
        break;
    }
    default: // the share of a folder goes with the size
        sortBy([&](std::uint32_t a, std::uint32_t b) { return child(a)->size < child(b)->size; });
        break;
    }
    order.rows.resize(count);
    for (std::size_t row = 0; row < count; ++row)
        order.rows[order.children[row]] = std::uint32_t(row);
    return order;
}

void FileOutlineModel::beginSortedEdit(FileNode* parent)
{
    if (m_sortedEdit)
        return;
    m_sortedEdit = parent;
    emit layoutAboutToBeChanged();
    m_editBefore = persistentIndexList();
    m_editNodes.clear();
    m_editNodes.reserve(std::size_t(m_editBefore.size()));
    for (const QModelIndex& index : m_editBefore)
        m_editNodes.push_back(node(index));
}

void FileOutlineModel::endSortedEdit()
{
    for (const FileNode* up = m_sortedEdit; up; up = up->parent)
        m_orders.erase(up);
    // Folders that left the tree go too: their memory may come back as other folders.
    std::erase_if(
        m_orders, [top = root()](const auto& entry) { return !TreeQueries::isAttached(entry.first, top); });
    m_sortedEdit = nullptr;
    QModelIndexList after;
    after.reserve(m_editBefore.size());
    for (qsizetype i = 0; i < m_editBefore.size(); ++i)
        after.append(indexOf(m_editNodes[std::size_t(i)], m_editBefore[i].column()));
    changePersistentIndexList(m_editBefore, after);
    m_editBefore.clear();
    m_editNodes.clear();
    emit layoutChanged();
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
    return childAt(parentNode, index.row());
}

FileNode* FileOutlineModel::childAt(const FileNode* parent, int row) const
{
    if (row < 0 || std::size_t(row) >= parent->childCount())
        return nullptr;
    if (!isSorted())
        return parent->child(std::size_t(row));
    return parent->child(orderOf(parent).children[std::size_t(row)]);
}

int FileOutlineModel::rowOf(const FileNode* node) const
{
    if (!node->parent)
        return 0;
    // The cache holds child indexes, which a sort leaves alone.
    int slot = -1;
    const auto found = m_rowCache.find(node);
    if (found != m_rowCache.end() && std::size_t(found->second) < node->parent->childCount()
        && node->parent->child(std::size_t(found->second)) == node)
        slot = found->second;
    else if ((slot = static_cast<int>(node->parent->indexOfChild(node))) >= 0)
        m_rowCache[node] = slot;
    if (slot < 0 || !isSorted())
        return slot;
    return int(orderOf(node->parent).rows[std::size_t(slot)]);
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

QString FileOutlineModel::kindText(const TallyfernDocument& document, const FileNode& node)
{
    if (node.flags.contains(NodeFlags::Excluded))
        return tr("excluded");
    if (node.flags.contains(NodeFlags::Unreadable))
        return tr("Folder (no access)");
    return document.kinds().name(node.kind);
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
            return kindText(m_document, *n);
        case Modified: // a folder's is the newest of its entries'
            return n->mtime == 0
                ? QString()
                : QLocale().toString(QDateTime::fromSecsSinceEpoch(n->mtime), QLocale::ShortFormat);
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
        return index.column() == Name
            && (unreadable || n->flags.contains(NodeFlags::Pseudo) || n->flags.contains(NodeFlags::Excluded));
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
        case Modified:
            return tr("Modified");
        default:
            return {};
        }
    }
    if (role == Qt::TextAlignmentRole)
        return ItemRoles::alignment(section == Size || section == Count);
    // Names and kinds from A, figures from the largest.
    if (role == Qt::InitialSortOrderRole)
        return section == Name || section == Kind ? Qt::AscendingOrder : Qt::DescendingOrder;
    return {};
}

Qt::ItemFlags FileOutlineModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
}
