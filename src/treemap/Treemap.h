// SPDX-License-Identifier: MIT
#pragma once

#include "scan/FileNode.h"
#include "treemap/TMRect.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

// Rectangle lookup and hit testing over the squarified layout. Stateless: the layout is
// computed afresh on every call, through the same layoutChildren the renderer uses.
namespace Treemap {

// The rectangle `of` gets when `root` is laid out into `in`; absent when it gets none.
[[nodiscard]] std::optional<TMRect> rect(
    const FileNode* of, const FileNode* root, TMRect in, bool showPackageContents);

// The deepest node whose rectangle contains (x, y); null only when the point is outside
// `in` or the root's size is below 1.
[[nodiscard]] FileNode* hitTest(
    const FileNode* root, TMRect in, double x, double y, bool showPackageContents);

// hitTest() with the layouts of the widest folders on the way kept between calls, so
// that a folder of a million files is searched (its rows, then the offsets within one
// row) rather than laid out again on every pointer move. Same answers as hitTest();
// call forget() whenever the tree, or a node's size or children, may have changed.
class HitTester {
public:
    [[nodiscard]] FileNode* hit(
        const FileNode* root, TMRect in, double x, double y, bool showPackageContents);
    void forget() { m_layouts.clear(); }

    // Folders with fewer children are laid out afresh: that is as quick as a search.
    static constexpr std::size_t kKeptFrom = 256;

private:
    struct Row {
        std::size_t first; // index of the row's first child
        TMRect free; // the part of the folder still free before the row
        double farEdge; // the strip's bottom (rows along the top) or right (rows on the left)
    };
    struct Layout {
        const FileNode* folder;
        TMRect rect;
        std::int64_t size;
        std::size_t count;
        const void* children;
        std::vector<Row> rows;
        std::vector<double> edges; // each child's left (rows along the top) or top edge
        [[nodiscard]] bool matches(const FileNode& node, const TMRect& r) const;
        [[nodiscard]] std::optional<std::size_t> find(double x, double y, TMRect& childRect) const;
    };
    const Layout& layoutOf(const FileNode& folder, const TMRect& rect);

    std::vector<Layout> m_layouts; // the most recent last
};

} // namespace Treemap
