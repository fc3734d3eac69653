// SPDX-License-Identifier: MIT
#pragma once

#include "model/TreeObserver.h"

#include <QAbstractItemModel>
#include <QIcon>
#include <QPersistentModelIndex>

#include <cstdint>
#include <functional>
#include <unordered_map>
#include <vector>

class FileNode;
class TallyfernDocument;

// The outline's rows, read lazily from the document's tree: one top-level row for the
// root, then each expandable node's children in their stored order. Collapsed folders
// cost nothing. While `blocked` (a full scan may be replacing the tree) there are no
// rows at all.
//
// An index's internal pointer is the parent node (null for the root row), so the node
// of a row is one array access.
//
// As the document's tree observer it follows each edit exactly (rows removed, inserted,
// moved), so views keep their expansion, selection and scroll; a reset is for a new
// tree only. Threads: main thread only.
//
// Rows follow the stored child order (size descending) unless the user sorts by another
// column or order: then each folder's rows are put in that order when first asked for,
// ties kept in the stored order, and an edit of a folder is one layout change.
class FileOutlineModel : public QAbstractItemModel, public TreeObserver {
    Q_OBJECT
public:
    enum Column { Name, Size, Percent, Count, Kind, Modified, ColumnCount };

    explicit FileOutlineModel(TallyfernDocument& document, QObject* parent = nullptr);

    // Icon of a name cell; the window serves it from its per-kind cache.
    std::function<QIcon(const FileNode*)> iconProvider;

    // Drops every row and answers none until unblocked (which also reloads).
    void setBlocked(bool blocked);
    [[nodiscard]] bool isBlocked() const { return m_blocked; }
    // Rebuilds every row from the tree as it is now.
    void reload();
    // Runs `change`, which may change which folders open anywhere (showing package
    // contents), as one layout change: each row keeps its node wherever it still shows.
    void relayout(const std::function<void()>& change);

    void aboutToRemove(FileNode* parent, std::size_t first, std::size_t last) override;
    void removed() override;
    void aboutToInsert(FileNode* parent, std::size_t first, std::size_t last) override;
    void inserted() override;
    void aboutToReorder(FileNode* parent) override;
    void reordered(FileNode* parent) override;
    void totalsChanged(FileNode* node) override;

    // Orders every folder's rows by `column`; size descending is the stored order.
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;
    [[nodiscard]] bool isSorted() const { return m_sortColumn != Size || m_sortOrder != Qt::DescendingOrder; }

    [[nodiscard]] static bool isExpandable(const FileNode* node, bool showPackageContents);
    [[nodiscard]] FileNode* node(const QModelIndex& index) const;
    // The row of `node` (column `column`), or an invalid index when the outline has no
    // row for it (inside a hidden package, detached, blocked).
    [[nodiscard]] QModelIndex indexOf(const FileNode* node, int column = 0) const;
    // The row of `child` below the row `parent`, or an invalid index when `child` is not
    // one of its children or the parent's row does not open. Unlike indexOf(), no walk
    // to the root: a path is found level by level in time linear in its depth.
    [[nodiscard]] QModelIndex childIndex(const QModelIndex& parent, const FileNode* child) const;
    // What the kind column says of a node: its kind, or why it was not counted.
    [[nodiscard]] static QString kindText(const TallyfernDocument& document, const FileNode& node);
    // The share of its parent's size a node's bar shows.
    [[nodiscard]] static double fraction(const FileNode* node);

    [[nodiscard]] QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    [[nodiscard]] QModelIndex parent(const QModelIndex& child) const override;
    [[nodiscard]] int rowCount(const QModelIndex& parent = {}) const override;
    [[nodiscard]] int columnCount(const QModelIndex& parent = {}) const override;
    [[nodiscard]] bool hasChildren(const QModelIndex& parent = {}) const override;
    [[nodiscard]] QVariant data(const QModelIndex& index, int role) const override;
    [[nodiscard]] QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    [[nodiscard]] Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    [[nodiscard]] FileNode* root() const;
    [[nodiscard]] int rowOf(const FileNode* node) const;
    // The child shown at `row` of `parent`, or null.
    [[nodiscard]] FileNode* childAt(const FileNode* parent, int row) const;
    struct Order {
        std::vector<std::uint32_t> children; // by row: the index of the child shown there
        std::vector<std::uint32_t> rows; // by child index: its row
    };
    // The order of `parent`'s rows while sorted, computed on first use.
    [[nodiscard]] const Order& orderOf(const FileNode* parent) const;
    // While sorted, an edit of a folder's children is one layout change: every kept row
    // keeps its node, and the folders above re-sort (their totals changed).
    void beginSortedEdit(FileNode* parent);
    void endSortedEdit();

    // The index of `parent` when its children show as rows, else invalid.
    [[nodiscard]] QModelIndex rowsOf(const FileNode* parent) const;

    TallyfernDocument& m_document;
    bool m_blocked = false;
    bool m_relayout = false; // inside relayout(): the edits within are not followed one by one
    bool m_removing = false; // between a followed aboutToRemove and removed
    bool m_inserting = false;
    // Between a followed aboutToReorder and reordered: the persistent rows of the
    // parent's children and their nodes.
    QModelIndexList m_moving;
    std::vector<FileNode*> m_movingNodes;
    // Rows of nodes asked for as parents: finding a node among its siblings is a linear
    // search, done once per parent between reloads.
    mutable std::unordered_map<const FileNode*, int> m_rowCache;
    int m_sortColumn = Size;
    Qt::SortOrder m_sortOrder = Qt::DescendingOrder;
    mutable std::unordered_map<const FileNode*, Order> m_orders; // while sorted
    FileNode* m_sortedEdit = nullptr; // the folder of a sorted edit in progress
    QModelIndexList m_editBefore;
    std::vector<const FileNode*> m_editNodes;
};
