// SPDX-License-Identifier: MIT
#include "treemap/Treemap.h"

#include "treemap/TreemapLayout.h"

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

FileNode* hitTest(const FileNode* root, TMRect in, double x, double y, bool showPackageContents)
{
    if (!root || !in.contains(x, y) || root->size < 1)
        return nullptr;
    const FileNode* current = root;
    TMRect currentRect = in;
    for (;;) {
        if (!isSubdivided(*current, currentRect, showPackageContents))
            break;
        FileNode* hit = nullptr;
        TMRect hitRect;
        layoutChildren(*current, currentRect, [&](FileNode* child, const TMRect& r) {
            if (!r.contains(x, y))
                return true;
            hit = child;
            hitRect = r;
            return false;
        });
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

} // namespace Treemap
