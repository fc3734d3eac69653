// SPDX-License-Identifier: MIT
#include "model/TallyfernDocument.h"

#include "model/Palette.h"
#include "model/SizeSwap.h"
#include "platform/DisplayName.h"
#include "platform/MountTable.h"
#include "scan/ScanReader.h"
#include "scan/ScanWriter.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <new>

namespace {

// Renders run below the main thread, which paints the rest of the window after an edit
// while the new treemap is drawn.
constexpr int kRenderNiceIncrement = 5;

} // namespace

TallyfernDocument::TallyfernDocument(std::string path, VolumeFactsProvider volumeFacts, QString displayName)
    : m_path(std::move(path))
    , m_displayName(displayName.isEmpty() ? DisplayName::of(m_path) : std::move(displayName))
    , m_volumeFacts(volumeFacts ? std::move(volumeFacts) : VolumeFactsProvider(&VolumeFacts::of))
    , m_renderQueue(std::make_unique<SerialQueue>("Tallyfern.render", kRenderNiceIncrement))
{
}

// The render queue is the last member, so it is destroyed first: queued renders finish
// while the tree they read still exists.
TallyfernDocument::~TallyfernDocument() = default;

void TallyfernDocument::install(FileTree tree)
{
    if (!tree.root)
        return;
    savedOrigin.reset();
    installWith(std::move(tree), m_volumeFacts(m_path));
}

void TallyfernDocument::installSaved(SavedScan scan, SavedScanOrigin origin)
{
    if (!scan.tree.root)
        return;
    m_path = std::string(scan.tree.root->name());
    // The folder's own name: the system's display name would ask this machine about a
    // path that may be another's.
    std::string_view last = m_path;
    while (last.size() > 1 && last.back() == '/')
        last.remove_suffix(1);
    if (const std::size_t slash = last.find_last_of('/'); slash != std::string_view::npos && last.size() > 1)
        last.remove_prefix(slash + 1);
    m_displayName = DisplayName::decode(last);
    std::optional<VolumeFacts> facts;
    const ScanMetadata& metadata = scan.metadata;
    if (metadata.capacity && metadata.available)
        facts = VolumeFacts { metadata.volumePath, metadata.capacity, metadata.available, std::nullopt };
    savedOrigin = std::move(origin);
    installWith(std::move(scan.tree), facts);
}

bool TallyfernDocument::save(const ScanMetadata& metadata, ScanSink& sink) const
{
    std::vector<EntryNote> notes = m_tree.notes;
    for (const Splice& splice : m_splices)
        notes.insert(notes.end(), splice.notes.begin(), splice.notes.end());
    return ScanWriter::write(m_tree.root, notes, metadata, sink, m_apparent);
}

void TallyfernDocument::installWith(FileTree tree, const std::optional<VolumeFacts>& facts)
{
    m_installing = true;
    // A scan arrives with allocated sizes; swapped first, so that the kind totals counted
    // below are of the sizes shown.
    if (m_apparent)
        SizeSwap::swapSubtree(tree.root);
    // The kind totals of the whole tree are counted on the same walk: a second walk over
    // a million nodes that no cache holds costs a good part of the first.
    std::vector<KindStat> totals;
    classify(tree.root, &totals);
    m_tree = std::move(tree);
    m_extraArena = NodeArena();
    m_splices.clear();
    m_rootArray = nullptr;
    m_rootArrayCapacity = 0;
    focus = nullptr;
    m_freeNode = nullptr;
    m_otherNode = nullptr;

    if (facts && !facts->volumePath.empty() && facts->total
        && MountTable::standardize(facts->volumePath) == MountTable::standardize(m_path)) {
        const std::int64_t free
            = std::max<std::int64_t>(facts->important.value_or(facts->available.value_or(0)), 0);
        const std::int64_t total = *facts->total;
        const std::int64_t scanned = std::max<std::int64_t>(allocatedSize(*m_tree.root), 0);
        // Written so that no subtraction can overflow, whatever the figures.
        const std::int64_t unseen = total > scanned && total - scanned > free ? total - scanned - free : 0;
        m_freeNode = m_extraArena.make(
            "Free Space", nullptr, free, 0, 0, KindRegistry::kFreeSpace, NodeFlags::Pseudo);
        m_otherNode = m_extraArena.make(
            "Other Space", nullptr, unseen, 0, 0, KindRegistry::kOtherSpace, NodeFlags::Pseudo);
        if (showFreeSpace)
            attachPseudoNodes();
    }
    totals.resize(std::size_t(m_kinds.count()));
    for (std::size_t i = 0; i < totals.size(); ++i)
        totals[i].kind = std::int32_t(i);
    m_kindTotals = std::move(totals);
    m_kindScope = m_tree.root;
    m_kindScopeShowsPackages = showPackageContents;
    rankKinds();
    m_installing = false;
}

namespace {

// Children asked for ahead of the one being classified.
constexpr std::size_t kClassifyAhead = 8;

// What the kind totals count: files, and packages as one item while their contents are
// hidden. Pseudo items never.
bool countsAsLeaf(const FileNode* node, bool showPackageContents)
{
    return !node->flags.contains(NodeFlags::Directory)
        || (!showPackageContents && node->flags.contains(NodeFlags::Package));
}

} // namespace

void TallyfernDocument::classify(FileNode* node)
{
    classify(node, nullptr);
}

void TallyfernDocument::classify(FileNode* node, std::vector<KindStat>* totals)
{
    if (!node)
        return;
    // The leaves the kind totals count, as addLeaves() would (below a package shown as
    // one item, nothing more).
    const auto count = [totals](const FileNode* leaf) {
        if (leaf->kind < 0)
            return;
        if (std::size_t(leaf->kind) >= totals->size())
            totals->resize(std::size_t(leaf->kind) + 1);
        KindStat& stat = (*totals)[std::size_t(leaf->kind)];
        stat.size += leaf->size;
        stat.count += 1;
    };
    const bool counting = totals && !node->flags.contains(NodeFlags::Pseudo);
    if (counting && countsAsLeaf(node, showPackageContents)) {
        count(node);
        totals = nullptr;
    }
    // Pre-order, as a recursive walk would go, so kinds are registered in the same order;
    // an explicit stack because trees can be far deeper than any thread's stack allows.
    struct Frame {
        FileNode* folder;
        std::size_t next;
        bool counted; // its leaves go into the totals
    };
    std::vector<Frame> stack { { node, 0, counting && totals } };
    KindRegistry::FileKinds fileKinds(m_kinds);
    while (!stack.empty()) {
        Frame& top = stack.back();
        if (top.next == top.folder->childCount()) {
            stack.pop_back();
            continue;
        }
        if (top.next + kClassifyAhead < top.folder->childCount())
            top.folder->child(top.next + kClassifyAhead)->prefetch();
        FileNode* child = top.folder->child(top.next++);
        const bool counted = top.counted && !child->flags.contains(NodeFlags::Pseudo);
        if (child->flags.contains(NodeFlags::Directory)) {
            if (const std::optional<std::int32_t> package = m_kinds.packageForDirectory(child->name())) {
                child->flags.insert(NodeFlags::Package);
                child->kind = *package;
            } else {
                child->flags.remove(NodeFlags::Package);
                child->kind = KindRegistry::kFolder;
            }
            const bool leaf = countsAsLeaf(child, showPackageContents);
            if (counted && leaf)
                count(child);
            if (child->hasChildren())
                stack.push_back({ child, 0, counted && !leaf }); // `top` is not used after this
            continue;
        }
        if (child->flags.contains(NodeFlags::Symlink))
            child->kind = KindRegistry::kSymlink;
        else
            child->kind = fileKinds.kindFor(child->name(), child->flags.contains(NodeFlags::Executable));
        if (counted)
            count(child);
    }
}

void TallyfernDocument::appendToRoot(FileNode* node)
{
    FileNode* root = m_tree.root;
    const std::size_t count = root->childCount();
    auto* array = const_cast<FileNode**>(root->children().data());
    if (array != m_rootArray || count + 1 > m_rootArrayCapacity) {
        m_rootArrayCapacity = count + 2; // room for both pseudo items
        m_rootArray = m_extraArena.makeArray(m_rootArrayCapacity);
        if (count)
            std::memcpy(m_rootArray, array, count * sizeof(FileNode*));
        array = m_rootArray;
    }
    TreeObserver* watcher = observer();
    if (watcher)
        watcher->aboutToInsert(root, count, count);
    array[count] = node;
    node->parent = root;
    root->setChildren(array, count + 1);
    if (watcher)
        watcher->inserted();
}

void TallyfernDocument::removeChildAt(FileNode* parent, std::size_t index)
{
    TreeObserver* watcher = observer();
    if (watcher)
        watcher->aboutToRemove(parent, index, index);
    parent->removeChildAt(index);
    if (watcher)
        watcher->removed();
}

void TallyfernDocument::attachPseudoNodes()
{
    FileNode* root = m_tree.root;
    if (!root || m_apparent)
        return;
    bool added = false;
    for (FileNode* item : { m_freeNode, m_otherNode }) {
        if (item && item->size >= 1 && !item->parent) {
            appendToRoot(item);
            root->size += item->size;
            added = true;
        }
    }
    if (!added)
        return;
    TreeObserver* watcher = observer();
    if (watcher) {
        watcher->totalsChanged(root);
        watcher->aboutToReorder(root);
    }
    root->sortChildren();
    if (watcher)
        watcher->reordered(root);
}

void TallyfernDocument::detachPseudoNodes()
{
    FileNode* root = m_tree.root;
    if (!root)
        return;
    for (FileNode* item : { m_freeNode, m_otherNode }) {
        if (!item || item->parent != root)
            continue;
        const std::ptrdiff_t index = root->indexOfChild(item);
        if (index >= 0) {
            removeChildAt(root, std::size_t(index));
            root->size -= item->size;
            if (TreeObserver* watcher = observer())
                watcher->totalsChanged(root);
        }
        item->parent = nullptr;
    }
}

void TallyfernDocument::reposition(FileNode* parent, FileNode* child)
{
    const std::ptrdiff_t found = parent->indexOfChild(child);
    if (found < 0)
        return;
    auto* array = const_cast<FileNode**>(parent->children().data());
    const std::size_t count = parent->childCount();
    const auto from = std::size_t(found);
    // Only `child` changed, so moving it past the neighbours it now precedes (or that now
    // precede it) gives what a stable sort would, in linear rather than n log n time.
    std::size_t to = from;
    while (to > 0 && FileNode::precedes(*child, *array[to - 1]))
        --to;
    if (to == from)
        while (to + 1 < count && FileNode::precedes(*array[to + 1], *child))
            ++to;
    if (to == from)
        return;
    TreeObserver* watcher = observer();
    if (watcher)
        watcher->aboutToReorder(parent);
    if (to < from)
        std::rotate(array + to, array + from, array + from + 1);
    else
        std::rotate(array + from, array + from + 1, array + to + 1);
    if (watcher)
        watcher->reordered(parent);
}

void TallyfernDocument::propagate(
    FileNode* from, std::int64_t size, std::int64_t logical, std::int64_t count, std::uint32_t newest)
{
    for (FileNode* node = from; node; node = node->parent) {
        node->size = FileNode::addSizes(node->size, size);
        node->logicalSize = FileNode::addSizes(node->logicalSize, logical);
        node->fileCount = FileNode::clampCount(node->fileCount + count);
        node->mtime = std::max(node->mtime, newest);
        if (TreeObserver* watcher = observer())
            watcher->totalsChanged(node);
        if (node->parent)
            reposition(node->parent, node);
    }
}

void TallyfernDocument::replaceContents(FileNode* node, FileTree rescanned)
{
    FileNode* fresh = rescanned.root;
    FileNode* root = m_tree.root;
    // A node that left the tree meanwhile (trashed, or under a replaced folder) must
    // not push its new totals into the live tree.
    if (!node || !fresh || !root || !isInTree(node))
        return;
    m_splices.reserve(m_splices.size() + 1); // before any change, so that the record cannot fail after it
    // A rescan arrives with allocated sizes.
    if (m_apparent)
        SizeSwap::swapSubtree(fresh);
    const bool isRoot = node == root;
    const bool pseudoAttached = isRoot
        && ((m_freeNode && m_freeNode->parent == root) || (m_otherNode && m_otherNode->parent == root));
    if (pseudoAttached)
        detachPseudoNodes();

    const std::int64_t oldSize = node->size;
    const std::int64_t oldLogical = node->logicalSize;
    const std::int64_t oldCount = node->fileCount;

    // The kinds lose the old contents' leaves (or, inside a package shown as one item, the
    // old size) and gain the new ones' once they are in.
    countKinds(node, -1);
    TreeObserver* watcher = observer();
    // Views follow as the old rows go and the new ones come.
    if (const std::size_t old = node->childCount()) {
        if (watcher)
            watcher->aboutToRemove(node, 0, old - 1);
        for (FileNode* child : node->children())
            child->parent = nullptr;
        node->setChildren(nullptr, 0);
        if (watcher)
            watcher->removed();
    }
    node->size = fresh->size;
    node->logicalSize = fresh->logicalSize;
    node->fileCount = fresh->fileCount;
    node->mtime = fresh->mtime;
    node->flags = (fresh->flags - NodeFlags::Package) | (node->flags & NodeFlags::Package);
    if (const std::size_t count = node->canHoldChildren() ? fresh->childCount() : 0) {
        if (watcher)
            watcher->aboutToInsert(node, 0, count - 1);
        node->setChildren(const_cast<FileNode**>(fresh->children().data()), count);
        for (FileNode* child : node->children())
            child->parent = node;
        if (watcher)
            watcher->inserted();
    }
    if (watcher)
        watcher->totalsChanged(node);
    m_splices.push_back(Splice { node, std::move(rescanned.arena), std::move(rescanned.notes) });
    countKinds(node, 1);

    if (FileNode* parent = node->parent) {
        reposition(parent, node);
        propagate(parent, node->size - oldSize, node->logicalSize - oldLogical,
            std::int64_t(node->fileCount) - oldCount, node->mtime);
    }
    if (pseudoAttached)
        attachPseudoNodes();
    if (m_kindScope)
        rankKinds();
}

std::size_t TallyfernDocument::releaseUnreachable()
{
    // Every verdict first, then the freeing: a splice's folder may lie in another
    // splice's arena, which must still be readable while it is judged. A node never
    // returns to the tree once out of it, so a dead splice stays dead.
    std::vector<bool> alive;
    try {
        alive.assign(m_splices.size(), false);
        judge(alive);
    } catch (const std::bad_alloc&) {
        return 0; // nothing is freed this time; the next call judges again
    }
    std::size_t kept = 0;
    std::size_t freed = 0;
    for (std::size_t i = 0; i < m_splices.size(); ++i) {
        if (alive[i])
            m_splices[kept++] = std::move(m_splices[i]);
        else
            freed += m_splices[i].arena.reservedBytes();
    }
    m_splices.erase(m_splices.begin() + std::ptrdiff_t(kept), m_splices.end());
    return freed;
}

void TallyfernDocument::judge(std::vector<bool>& alive) const
{
    for (std::size_t i = 0; i < m_splices.size(); ++i) {
        const Splice& splice = m_splices[i];
        if (!isInTree(splice.folder))
            continue;
        const auto ranges = splice.arena.chunkRanges();
        const auto owned = [&ranges](const FileNode* node) {
            const char* p = reinterpret_cast<const char*>(node);
            auto it = std::upper_bound(ranges.begin(), ranges.end(), p,
                [](const char* q, const auto& range) { return q < range.first; });
            return it != ranges.begin() && p < std::prev(it)->second;
        };
        const auto children = splice.folder->children();
        alive[i] = std::any_of(children.begin(), children.end(), owned);
    }
}

std::size_t TallyfernDocument::arenaBytes() const
{
    std::size_t bytes = m_tree.arena.reservedBytes() + m_extraArena.reservedBytes();
    for (const Splice& splice : m_splices)
        bytes += splice.arena.reservedBytes();
    return bytes;
}

std::size_t TallyfernDocument::arenaChunks() const
{
    std::size_t chunks = m_tree.arena.chunkCount() + m_extraArena.chunkCount();
    for (const Splice& splice : m_splices)
        chunks += splice.arena.chunkCount();
    return chunks;
}

bool TallyfernDocument::removeNode(FileNode* node)
{
    if (!node || !node->parent)
        return false;
    FileNode* parent = node->parent;
    const std::ptrdiff_t index = parent->indexOfChild(node);
    if (index < 0)
        return false;
    countKinds(node, -1);
    removeChildAt(parent, std::size_t(index));
    node->parent = nullptr;
    propagate(parent, -node->size, -node->logicalSize, -std::int64_t(node->fileCount));
    if (m_kindScope)
        rankKinds();
    return true;
}

void TallyfernDocument::setApparentSizes(bool on)
{
    FileNode* root = m_tree.root;
    if (on == m_apparent || !root) {
        m_apparent = on;
        return;
    }
    // The kind totals are counted afresh on the same walk: a second one over a million
    // nodes would cost about as much again.
    SizeSwap::KindCount count { focus && isInTree(focus) ? focus : root, showPackageContents, {} };
    if (on)
        detachPseudoNodes();
    SizeSwap::swapSubtree(root, &count);
    m_apparent = on;
    if (!on && showFreeSpace)
        attachPseudoNodes();
    count.totals.resize(std::max(count.totals.size(), std::size_t(m_kinds.count())));
    for (std::size_t i = 0; i < count.totals.size(); ++i)
        count.totals[i].kind = std::int32_t(i);
    m_kindTotals = std::move(count.totals);
    m_kindScope = count.scope;
    m_kindScopeShowsPackages = showPackageContents;
    rankKinds();
}

bool TallyfernDocument::isInTree(const FileNode* node) const
{
    const FileNode* root = m_tree.root;
    if (!node || !root)
        return false;
    return node == root || node->hasAncestor(root);
}

namespace {

// Adds `sign` times every leaf of the subtree to `totals`, iteratively.
void addLeaves(
    std::vector<KindStat>& totals, const FileNode* top, bool showPackageContents, std::int64_t sign)
{
    const auto add = [&totals, sign](const FileNode* node) {
        if (node->kind >= 0 && std::size_t(node->kind) < totals.size()) {
            KindStat& stat = totals[std::size_t(node->kind)];
            stat.size += sign * node->size;
            stat.count += sign;
        }
    };
    if (top->flags.contains(NodeFlags::Pseudo))
        return;
    if (countsAsLeaf(top, showPackageContents)) {
        add(top);
        return;
    }
    std::vector<const FileNode*> stack { top };
    while (!stack.empty()) {
        const FileNode* folder = stack.back();
        stack.pop_back();
        for (const FileNode* child : folder->children()) {
            if (child->flags.contains(NodeFlags::Pseudo))
                continue;
            if (countsAsLeaf(child, showPackageContents))
                add(child);
            else if (child->hasChildren())
                stack.push_back(child);
        }
    }
}

} // namespace

void TallyfernDocument::computeKindStats()
{
    const FileNode* root = m_tree.root;
    m_kindScope = nullptr;
    m_kindTotals.clear();
    if (!root) {
        kindStats.clear();
        colors.clear();
        return;
    }
    const FileNode* scope = focus && isInTree(focus) ? focus : root;
    const std::int32_t n = m_kinds.count();
    m_kindTotals.assign(std::size_t(n), KindStat {});
    for (std::int32_t i = 0; i < n; ++i)
        m_kindTotals[std::size_t(i)].kind = i;
    addLeaves(m_kindTotals, scope, showPackageContents, 1);
    m_kindScope = scope;
    m_kindScopeShowsPackages = showPackageContents;
    rankKinds();
}

bool TallyfernDocument::kindStatsCover(const FileNode* scope) const
{
    return m_kindScope && m_kindScope == scope && m_kindScopeShowsPackages == showPackageContents
        && isInTree(scope);
}

void TallyfernDocument::countKinds(const FileNode* node, std::int64_t sign)
{
    if (!m_kindScope || !node)
        return;
    if (node == m_kindScope || m_kindScopeShowsPackages != showPackageContents) {
        m_kindScope = nullptr; // the scope itself changes: count afresh
        return;
    }
    if (!node->hasAncestor(m_kindScope))
        return;
    // Kinds a rescan registered since the totals were made.
    for (auto i = std::int32_t(m_kindTotals.size()); i < m_kinds.count(); ++i)
        m_kindTotals.push_back(KindStat { i, 0, 0 });
    // Inside a package shown as one item, the package takes the change of size.
    const FileNode* package = nullptr;
    if (!showPackageContents)
        for (const FileNode* up = node->parent; up; up = up->parent) {
            if (up->flags.contains(NodeFlags::Package))
                package = up;
            if (up == m_kindScope)
                break;
        }
    if (package) {
        if (package->kind >= 0 && std::size_t(package->kind) < m_kindTotals.size())
            m_kindTotals[std::size_t(package->kind)].size += sign * node->size;
        return;
    }
    addLeaves(m_kindTotals, node, showPackageContents, sign);
}

void TallyfernDocument::rankKinds()
{
    const auto n = std::int32_t(m_kindTotals.size());
    kindStats.clear();
    for (const KindStat& stat : m_kindTotals)
        if (stat.size >= 1)
            kindStats.push_back(stat);
    std::stable_sort(kindStats.begin(), kindStats.end(),
        [](const KindStat& a, const KindStat& b) { return a.size > b.size; });

    colors.assign(std::size_t(std::max(n, m_kinds.count())), Palette::kUnranked);
    const std::vector<RGB>& palette = Palette::colors();
    for (std::size_t rank = 0; rank < kindStats.size() && rank < palette.size(); ++rank)
        colors[std::size_t(kindStats[rank].kind)] = palette[rank];
    colors[KindRegistry::kFreeSpace] = Palette::kFreeSpace;
    colors[KindRegistry::kOtherSpace] = Palette::kOtherSpace;
}

std::int64_t TallyfernDocument::scannedBytes() const
{
    const FileNode* root = m_tree.root;
    if (!root)
        return 0;
    std::int64_t bytes = root->size;
    for (const FileNode* child : root->children())
        if (child->flags.contains(NodeFlags::Pseudo))
            bytes -= child->size;
    return bytes;
}
