// SPDX-License-Identifier: MIT
#pragma once

#include "scan/FileNode.h"

#include <cstddef>
#include <span>
#include <string>
#include <vector>

// Questions asked of a tree by the window's commands, free of any widget. Callers keep
// the tree still while they ask (main thread with the render queue idle, or on it).
namespace TreeQueries {

// A folder that opens: the outline shows its children and the treemap lays them out.
// A package opens only while package contents are shown.
[[nodiscard]] inline bool opensAsFolder(const FileNode& node, bool showPackageContents)
{
    return node.isDirectory() && node.hasChildren()
        && (showPackageContents || !node.flags.contains(NodeFlags::Package));
}

// True when `node` is still reachable from `root` through children lists, not merely
// through parent links (which a node taken out of the tree may keep).
[[nodiscard]] bool isAttached(const FileNode* node, const FileNode* root);

// Names from below `top` down to `node` (empty when they are the same).
[[nodiscard]] std::vector<std::string> namesBelow(const FileNode* top, const FileNode* node);
// The node reached from `top` through children of these names, or null.
[[nodiscard]] FileNode* findBelow(FileNode* top, const std::vector<std::string>& names);

// The real items among `nodes` (no pseudo items) that no other of them contains, in
// their given order: acting on a folder acts on all inside it.
[[nodiscard]] std::vector<FileNode*> outermost(std::span<FileNode* const> nodes);

struct UnreadableFolders {
    std::vector<std::string> paths; // depth first in child order, at most the limit asked
    std::size_t total = 0;
};
// The folders below and including `root` that could not be read; no recursion.
[[nodiscard]] UnreadableFolders unreadableFolders(const FileNode* root, std::size_t limit);

} // namespace TreeQueries
