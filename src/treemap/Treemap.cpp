// SPDX-License-Identifier: MIT
#include "treemap/Treemap.h"

#include "treemap/TreemapLayout.h"

#include <algorithm>
#include <new>
#include <vector>

namespace Treemap {

std::optional<TMRect> rect(const FileNode* of, const FileNode* root, TMRect in, bool showPackageContents)
{
    if (!of || !root)
        return std::nullopt;
    if (of == root)
        return in;

    // The path below root, collected upward; iterative so that deep chains cannot
    // exhaust the stack.
    std::vector<const FileNode*> path;
    const FileNode* node = of;
    while (node && node != root) {
        path.push_back(node);
        node = node->parent;
    }
    if (!node)
        return std::nullopt;

    const FileNode* current = root;
    TMRect currentRect = in;
    for (auto it = path.rbegin(); it != path.rend(); ++it) {
        if (!isSubdivided(*current, currentRect, showPackageContents))
            return std::nullopt;
        const FileNode* wanted = *it;
        std::optional<TMRect> found;
        layoutChildren(*current, currentRect, [&](FileNode* child, const TMRect& r) {
            if (child != wanted)
                return true;
            found = r;
            return false;
        });
        if (!found)
            return std::nullopt;
        current = wanted;
        currentRect = *found;
    }
    return currentRect;
}

namespace {

// The child of `folder` (laid out in `rect`) whose rectangle holds the point, by laying
// the children out until one does.
FileNode* childAt(const FileNode& folder, const TMRect& rect, double x, double y, TMRect& childRect)
{
    FileNode* hit = nullptr;
    layoutChildren(folder, rect, [&](FileNode* child, const TMRect& r) {
        if (!r.contains(x, y))
            return true;
        hit = child;
        childRect = r;
        return false;
    });
    return hit;
}

// From `root` down to the deepest node holding the point; `find` gives the child of a
// subdivided folder that holds it, or null.
template <class Find>
FileNode* descend(const FileNode* root, TMRect in, double x, double y, bool showPackageContents, Find&& find)
{
    if (!root || !in.contains(x, y) || root->size < 1)
        return nullptr;
    const FileNode* current = root;
    TMRect currentRect = in;
    while (isSubdivided(*current, currentRect, showPackageContents)) {
        TMRect hitRect;
        FileNode* hit = find(*current, currentRect, hitRect);
        // A point in a sliver that rounding left uncovered belongs to the folder.
        if (!hit)
            break;
        current = hit;
        currentRect = hitRect;
        if (!hit->isDirectory())
            break;
    }
    // The tree is only read; the caller gets a handle it may pass on to commands.
    return const_cast<FileNode*>(current);
}

} // namespace

FileNode* hitTest(const FileNode* root, TMRect in, double x, double y, bool showPackageContents)
{
    return descend(root, in, x, y, showPackageContents,
        [x, y](const FileNode& folder, const TMRect& rect, TMRect& childRect) {
            return childAt(folder, rect, x, y, childRect);
        });
}

bool HitTester::Layout::matches(const FileNode& node, const TMRect& r) const
{
    return folder == &node && rect == r && size == node.size && count == node.childCount()
        && children == node.children().data();
}

const HitTester::Layout& HitTester::layoutOf(const FileNode& folder, const TMRect& rect)
{
    for (auto it = m_layouts.begin(); it != m_layouts.end(); ++it) {
        if (it->matches(folder, rect)) {
            std::rotate(it, it + 1, m_layouts.end());
            return m_layouts.back();
        }
    }
    // The root, a folder or two below it, and the one under the pointer.
    constexpr std::size_t kKept = 4;
    if (m_layouts.size() >= kKept)
        m_layouts.erase(m_layouts.begin());
    Layout layout { &folder, rect, folder.size, folder.childCount(), folder.children().data(), {}, {} };
    layout.edges.reserve(layout.count);
    // The layout asks before every row with the free part; the rows are read off that.
    layoutChildren(
        folder, rect,
        [&layout](FileNode*, const TMRect& r) {
            Row& row = layout.rows.back();
            const bool alongTop = row.free.width() < row.free.height();
            layout.edges.push_back(alongTop ? r.x0 : r.y0);
            row.farEdge = alongTop ? r.y1 : r.x1;
        },
        [&layout](const TMRect& free) {
            layout.rows.push_back(Row { layout.edges.size(), free, 0 });
            return true;
        });
    m_layouts.push_back(std::move(layout));
    return m_layouts.back();
}

std::optional<std::size_t> HitTester::Layout::find(double x, double y, TMRect& childRect) const
{
    // The free part only shrinks from the top and the left, row after row: the point's
    // row is the last whose free part still reaches it.
    const auto after = std::partition_point(
        rows.begin(), rows.end(), [x, y](const Row& row) { return row.free.x0 <= x && row.free.y0 <= y; });
    if (after == rows.begin())
        return std::nullopt;
    const Row& row = *std::prev(after);
    const std::size_t end = after == rows.end() ? edges.size() : after->first;
    const bool alongTop = row.free.width() < row.free.height();
    const double along = alongTop ? x : y;
    // Within the row the children follow each other without gaps.
    const auto first = edges.begin() + std::ptrdiff_t(row.first);
    const auto next = std::upper_bound(first, edges.begin() + std::ptrdiff_t(end), along);
    if (next == first)
        return std::nullopt;
    const std::size_t i = std::size_t(next - edges.begin()) - 1;
    const double to = i + 1 < end ? edges[i + 1] : (alongTop ? row.free.x1 : row.free.y1);
    childRect = alongTop ? TMRect { edges[i], row.free.y0, to, row.farEdge }
                         : TMRect { row.free.x0, edges[i], row.farEdge, to };
    if (!childRect.contains(x, y))
        return std::nullopt;
    return i;
}

FileNode* HitTester::hit(const FileNode* root, TMRect in, double x, double y, bool showPackageContents)
{
    return descend(root, in, x, y, showPackageContents,
        [this, x, y](const FileNode& folder, const TMRect& rect, TMRect& childRect) -> FileNode* {
            if (folder.childCount() < kKeptFrom)
                return childAt(folder, rect, x, y, childRect);
            try {
                const std::optional<std::size_t> i = layoutOf(folder, rect).find(x, y, childRect);
                return i ? folder.child(*i) : nullptr;
            } catch (const std::bad_alloc&) {
                m_layouts.clear();
                return childAt(folder, rect, x, y, childRect);
            }
        });
}

} // namespace Treemap
