// SPDX-License-Identifier: MIT
#pragma once

#include "model/KindStat.h"

#include <vector>

class FileNode;

// Exchanges the allocated and logical sizes of every node of a subtree (its two size
// fields), so that whatever reads FileNode::size reads the other figure, and re-sorts each
// folder's children by the new sizes. Doing it twice gives back the subtree exactly, order
// included, as child order is total among siblings of distinct names; siblings alike in
// name and size (only a saved scan can hold such) keep the order of the last sort.
//
// Threads: runs on the caller and the pool's threads; nothing else may read or change the
// subtree meanwhile. The top node's place among its own siblings is the caller's affair.
namespace SizeSwap {

// Kind totals counted on the same walk, of the new sizes: the items below and including
// `scope` that the document's totals count (files; a package as one item while package
// contents are hidden; never a pseudo item).
struct KindCount {
    const FileNode* scope = nullptr;
    bool showPackageContents = false;
    std::vector<KindStat> totals; // indexed by kind identifier; grown as kinds are met
};

void swapSubtree(FileNode* top, KindCount* count = nullptr);

} // namespace SizeSwap
