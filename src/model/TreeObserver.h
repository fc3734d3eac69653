// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>

class FileNode;

// Told by the document about each change of an installed tree, before and after it, so
// that a view can follow the change exactly instead of starting over. Every "about to"
// call is followed by its matching call before the next one; calls come on the thread
// that changes the tree (the main thread).
class TreeObserver {
public:
    virtual ~TreeObserver() = default;
    // The children `first` … `last` of `parent` leave (their subtrees with them).
    virtual void aboutToRemove(FileNode* parent, std::size_t first, std::size_t last) = 0;
    virtual void removed() = 0;
    // New children come in at `first` … `last` of `parent`.
    virtual void aboutToInsert(FileNode* parent, std::size_t first, std::size_t last) = 0;
    virtual void inserted() = 0;
    // The order of `parent`'s children changes; the set of them stays.
    virtual void aboutToReorder(FileNode* parent) = 0;
    virtual void reordered(FileNode* parent) = 0;
    // The totals of `node` (and so the shares of its children) changed.
    virtual void totalsChanged(FileNode* node) = 0;
};
