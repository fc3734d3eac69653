// SPDX-License-Identifier: MIT
#include "scan/AgeRange.h"

#include "scan/FileNode.h"

#include <algorithm>
#include <vector>

AgeRange AgeRange::of(const FileNode* root)
{
    AgeRange range;
    std::uint32_t oldest = UINT32_MAX;
    std::vector<const FileNode*> pending;
    if (root)
        pending.push_back(root);
    while (!pending.empty()) {
        const FileNode* node = pending.back();
        pending.pop_back();
        if (node->flags.contains(NodeFlags::Pseudo))
            continue;
        if (node->mtime) {
            oldest = std::min(oldest, node->mtime);
            range.newest = std::max(range.newest, node->mtime);
        }
        for (const FileNode* child : node->children())
            pending.push_back(child);
    }
    range.oldest = range.newest ? oldest : 0;
    return range;
}
