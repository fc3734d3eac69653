// SPDX-License-Identifier: MIT
#include "model/SizeSwap.h"

#include "platform/ParallelFor.h"
#include "scan/FileNode.h"

#include <algorithm>
#include <utility>

namespace {

// Enough pieces per thread that one large subtree does not leave the others idle.
constexpr std::size_t kPiecesPerThread = 8;
// Below this many entries a subtree is not worth splitting further.
constexpr std::int64_t kSmallestPiece = 4096;
// Folders up to this many children are sorted in place, without the buffer a stable sort
// allocates; most folders are this small.
constexpr std::size_t kInsertionSortLimit = 32;

// Where a folder stands towards the kind totals.
enum class Counting : unsigned char { Outside, Inside, Done };

struct Folder {
    FileNode* node;
    Counting counting;
};

class Walk {
public:
    explicit Walk(const SizeSwap::KindCount* count)
        : m_count(count)
    {
    }

    // How a node found in a folder that stands so is counted, and how it stands itself.
    Counting enter(const FileNode* node, Counting parent)
    {
        if (!m_count || parent == Counting::Done || (parent == Counting::Outside && node != m_count->scope))
            return parent == Counting::Done ? Counting::Done : Counting::Outside;
        if (node->flags.contains(NodeFlags::Pseudo))
            return Counting::Done;
        const bool leaf = !node->isDirectory()
            || (!m_count->showPackageContents && node->flags.contains(NodeFlags::Package));
        if (!leaf)
            return Counting::Inside;
        if (node->kind >= 0) {
            if (std::size_t(node->kind) >= m_totals.size())
                m_totals.resize(std::size_t(node->kind) + 1);
            m_totals[std::size_t(node->kind)].size += node->size;
            m_totals[std::size_t(node->kind)].count += 1;
        }
        return Counting::Done;
    }

    // Swaps the children of `folder` and re-sorts them; the folders among them with
    // children of their own go to `folders`. The folder's own fields are its parent's.
    void swapChildren(Folder folder, std::vector<Folder>& folders)
    {
        const auto children = folder.node->children();
        for (FileNode* child : children) {
            std::swap(child->size, child->logicalSize);
            const Counting counting = enter(child, folder.counting);
            if (child->hasChildren())
                folders.push_back({ child, counting });
        }
        if (children.size() > kInsertionSortLimit) {
            folder.node->sortChildren();
            return;
        }
        // Stable, as sortChildren() is, and in the same order.
        auto** array = const_cast<FileNode**>(children.data());
        for (std::size_t i = 1; i < children.size(); ++i) {
            FileNode* moving = array[i];
            std::size_t j = i;
            for (; j > 0 && FileNode::precedes(*moving, *array[j - 1]); --j)
                array[j] = array[j - 1];
            array[j] = moving;
        }
    }

    // Everything below `folder`, iteratively: trees can be far deeper than a stack allows.
    void swapBelow(Folder folder)
    {
        std::vector<Folder> pending { folder };
        while (!pending.empty()) {
            const Folder next = pending.back();
            pending.pop_back();
            swapChildren(next, pending);
        }
    }

    // Adds this walk's totals to `into`.
    void addTo(std::vector<KindStat>& into) const
    {
        if (into.size() < m_totals.size())
            into.resize(m_totals.size());
        for (std::size_t kind = 0; kind < m_totals.size(); ++kind) {
            into[kind].kind = std::int32_t(kind);
            into[kind].size = FileNode::addSizes(into[kind].size, m_totals[kind].size);
            into[kind].count += m_totals[kind].count;
        }
    }

private:
    const SizeSwap::KindCount* m_count;
    std::vector<KindStat> m_totals;
};

} // namespace

void SizeSwap::swapSubtree(FileNode* top, KindCount* count)
{
    if (!top)
        return;
    Walk walk(count);
    std::swap(top->size, top->logicalSize);
    const Folder whole { top, walk.enter(top, Counting::Outside) };
    // The top of the tree is split here, always the largest piece next, until the pieces
    // are small enough to share out evenly among the threads.
    const std::size_t wanted = (Dispatch::poolSize() + 1) * kPiecesPerThread;
    const std::int64_t piece = std::max<std::int64_t>(top->fileCount / std::int64_t(wanted), kSmallestPiece);
    const auto smaller
        = [](const Folder& a, const Folder& b) { return a.node->fileCount < b.node->fileCount; };
    std::vector<Folder> pieces;
    if (top->hasChildren())
        pieces.push_back(whole);
    std::vector<Folder> found;
    while (!pieces.empty() && pieces.front().node->fileCount > piece && pieces.size() < 4 * wanted) {
        std::pop_heap(pieces.begin(), pieces.end(), smaller);
        const Folder largest = pieces.back();
        pieces.pop_back();
        found.clear();
        walk.swapChildren(largest, found);
        for (const Folder& folder : found) {
            pieces.push_back(folder);
            std::push_heap(pieces.begin(), pieces.end(), smaller);
        }
    }
    std::vector<Walk> walks(pieces.size(), Walk(count));
    Dispatch::parallelFor(pieces.size(), [&](std::size_t i) { walks[i].swapBelow(pieces[i]); });
    if (!count)
        return;
    walk.addTo(count->totals);
    for (const Walk& each : walks)
        each.addTo(count->totals);
}
