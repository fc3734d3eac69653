// SPDX-License-Identifier: MIT
#include "model/SizeSwap.h"

#include "platform/ParallelFor.h"
#include "scan/FileNode.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace {

// Enough pieces per thread that one large subtree does not leave the others idle.
constexpr std::size_t kPiecesPerThread = 8;
// Below this many entries a subtree is not worth splitting further.
constexpr std::int64_t kSmallestPiece = 4096;

// Swaps the children of `folder` and re-sorts them; the folders among them with children
// of their own go to `folders`. The folder's own fields are its parent's to swap.
void swapChildren(FileNode* folder, std::vector<FileNode*>& folders)
{
    for (FileNode* child : folder->children()) {
        std::swap(child->size, child->logicalSize);
        if (child->hasChildren())
            folders.push_back(child);
    }
    folder->sortChildren();
}

// Everything below `folder`, iteratively: trees can be far deeper than a stack allows.
void swapBelow(FileNode* folder)
{
    std::vector<FileNode*> pending { folder };
    while (!pending.empty()) {
        FileNode* next = pending.back();
        pending.pop_back();
        swapChildren(next, pending);
    }
}

} // namespace

void SizeSwap::swapSubtree(FileNode* top)
{
    if (!top)
        return;
    std::swap(top->size, top->logicalSize);
    if (!top->hasChildren())
        return;
    // The top of the tree is split here, always the largest piece next, until the pieces
    // are small enough to share out evenly among the threads.
    const std::size_t wanted = (Dispatch::poolSize() + 1) * kPiecesPerThread;
    const std::int64_t piece = std::max<std::int64_t>(top->fileCount / std::int64_t(wanted), kSmallestPiece);
    const auto smaller = [](const FileNode* a, const FileNode* b) { return a->fileCount < b->fileCount; };
    std::vector<FileNode*> pieces { top };
    std::vector<FileNode*> found;
    while (!pieces.empty() && pieces.front()->fileCount > piece && pieces.size() < 4 * wanted) {
        std::pop_heap(pieces.begin(), pieces.end(), smaller);
        FileNode* largest = pieces.back();
        pieces.pop_back();
        found.clear();
        swapChildren(largest, found);
        for (FileNode* folder : found) {
            pieces.push_back(folder);
            std::push_heap(pieces.begin(), pieces.end(), smaller);
        }
    }
    Dispatch::parallelFor(pieces.size(), [&pieces](std::size_t i) { swapBelow(pieces[i]); });
}
