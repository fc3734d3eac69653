// SPDX-License-Identifier: MIT
#pragma once

#include "model/KindRegistry.h"
#include "model/KindStat.h"
#include "model/RGB.h"
#include "model/SavedScanOrigin.h"
#include "model/TreeObserver.h"
#include "platform/SerialQueue.h"
#include "platform/VolumeFacts.h"
#include "scan/FileNode.h"
#include "scan/NodeArena.h"

#include <QString>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

struct SavedScan;
struct ScanMetadata;
class ScanSink;

// The model of one document window: the scanned location, its classified tree, the two
// pseudo items, the per-kind totals and colours of the focused subtree, and the display
// switches. Every change of an installed tree goes through the operations here.
//
// Threads: install() and installSaved() run on the scan thread before the main thread hears
// of the tree; afterwards the tree changes only on the main thread while renderQueue()
// is idle (the window's mutate), and the observer hears of each change. The document
// has no lock of its own.
class TallyfernDocument {
public:
    // `path` is the scanned folder's absolute path (bytes). `volumeFacts` defaults to the
    // platform's; `displayName` defaults to the platform's display name of the path.
    explicit TallyfernDocument(
        std::string path, VolumeFactsProvider volumeFacts = {}, QString displayName = {});
    ~TallyfernDocument();
    TallyfernDocument(const TallyfernDocument&) = delete;
    TallyfernDocument& operator=(const TallyfernDocument&) = delete;

    [[nodiscard]] const std::string& path() const { return m_path; }
    [[nodiscard]] const QString& displayName() const { return m_displayName; }
    [[nodiscard]] FileNode* root() const { return m_tree.root; }
    [[nodiscard]] KindRegistry& kinds() { return m_kinds; }
    [[nodiscard]] const KindRegistry& kinds() const { return m_kinds; }
    [[nodiscard]] SerialQueue& renderQueue() { return *m_renderQueue; }
    [[nodiscard]] FileNode* freeNode() const { return m_freeNode; }
    [[nodiscard]] FileNode* otherNode() const { return m_otherNode; }

    // Told of every change of the installed tree (not of install itself); null for none.
    void setObserver(TreeObserver* observer) { m_observer = observer; }

    // Installs a finished, not cancelled full scan: classify, pseudo items for a
    // whole-volume scan, kind totals. Replaces (and frees) any previous tree.
    void install(FileTree tree);
    // The same for a scan read from a file: the document takes the scanned folder's
    // path from it, and the volume's figures from its metadata instead of this system.
    void installSaved(SavedScan scan, SavedScanOrigin origin);
    // Streams the tree as it stands (pseudo items left out) to `sink`; the caller
    // commits. Reads the tree, so it runs where no change does.
    bool save(const ScanMetadata& metadata, ScanSink& sink) const;
    // Sets the kind of every node below `node` (the node keeps its own), iteratively.
    void classify(FileNode* node);
    void attachPseudoNodes();
    void detachPseudoNodes();
    // Adds the deltas to `from` and every ancestor, re-sorting each parent's children,
    // and raises their times to `newest` where older. Times are never lowered: a removal
    // leaves them, as it leaves the folders it touched modified on disk.
    void propagate(FileNode* from, std::int64_t size, std::int64_t logical, std::int64_t count,
        std::uint32_t newest = 0);
    // `node` takes over the children, totals and flags of a rescan of the same folder
    // (keeping its name, kind, place and package flag); the differences are propagated.
    // The document keeps the rescan's arena until releaseUnreachable() finds none of its
    // nodes in the tree. The old children get no parent. Nothing happens when `node` is
    // no longer in the tree.
    void replaceContents(FileNode* node, FileTree rescanned);
    // Frees the arena of every rescan none of whose nodes is in the tree any more (its
    // folder was rescanned again, trashed, or lies under one that was). Pointers to the
    // nodes taken out of the tree must be dropped before: the window calls this once its
    // views hold only nodes of the tree. Reads the tree, so it runs where no change does.
    // Returns the bytes freed.
    std::size_t releaseUnreachable();
    // Bytes and chunks of every arena the document keeps (tree, pseudo items, rescans).
    [[nodiscard]] std::size_t arenaBytes() const;
    [[nodiscard]] std::size_t arenaChunks() const;
    // Removes `node` from its parent's children and subtracts its totals from every
    // ancestor. Its parent link is cleared, so the node (and all below it) no longer
    // counts as part of the tree. Returns false when it has no parent or is not among
    // its children.
    bool removeNode(FileNode* node);
    // Whether every node's `size` holds its logical bytes (and `logicalSize` its allocated
    // ones) rather than the other way round. Views read `size` alone, so they follow.
    [[nodiscard]] bool showsApparentSizes() const { return m_apparent; }
    // Swaps the two sizes of every node (on the pool's threads) and re-sorts every folder;
    // without a tree, the next install takes the setting. The pseudo items leave the tree
    // while logical sizes show: a volume's free space is allocated space, which logical
    // sizes cannot be set beside. The kind totals of the focus are counted afresh. Callers
    // that add sizes to the tree (propagate) pass deltas of the fields as they stand.
    void setApparentSizes(bool on);
    // The node's allocated bytes, whichever size shows: what the disk gets back when it goes.
    [[nodiscard]] std::int64_t allocatedSize(const FileNode& node) const
    {
        return m_apparent ? node.logicalSize : node.size;
    }
    // Per-kind totals of the focus (or the root) and the colours by rank.
    void computeKindStats();
    // True when the kind totals describe `scope` as the tree is now: removeNode and
    // replaceContents keep them so by counting only what they change.
    [[nodiscard]] bool kindStatsCover(const FileNode* scope) const;
    // Root size minus the pseudo items among its children: what the scan found.
    [[nodiscard]] std::int64_t scannedBytes() const;

    std::vector<KindStat> kindStats; // largest first; equal sizes in kind order
    std::vector<RGB> colors; // indexed by kind identifier
    bool showPackageContents = false;
    bool showFreeSpace = true;
    double scanDuration = 0; // seconds, set by the window
    std::int64_t unreadableCount = 0; // set by the window
    FileNode* focus = nullptr; // subtree the kind totals describe; null = root
    // Present while the tree is one read from a saved scan; a full scan clears it.
    std::optional<SavedScanOrigin> savedOrigin;

    // True when `node` is the root or its parent chain reaches the root. Nodes that the
    // document takes out of the tree get their parent link cleared, so this is exact.
    [[nodiscard]] bool isInTree(const FileNode* node) const;

private:
    void installWith(FileTree tree, const std::optional<VolumeFacts>& facts);
    // classify(), also adding every leaf the kind totals count below `node` (with the
    // current package setting) to `totals`, when given.
    void classify(FileNode* node, std::vector<KindStat>* totals);
    // Whether each splice still has a node in the tree.
    void judge(std::vector<bool>& alive) const;
    // Moves `child` to its place in `parent`'s otherwise ordered children.
    void reposition(FileNode* parent, FileNode* child);
    [[nodiscard]] TreeObserver* observer() const { return m_installing ? nullptr : m_observer; }
    void removeChildAt(FileNode* parent, std::size_t index);
    // Adds (sign 1) or takes away (sign -1) what `node`'s subtree counts in the kind
    // totals of their scope; the totals go stale when that cannot be done exactly.
    void countKinds(const FileNode* node, std::int64_t sign);
    // kindStats and colors from the totals.
    void rankKinds();
    // Appends a pseudo item to the root, reusing the spare slots of the last array made
    // for that, so that toggling free space does not grow the arena each time.
    void appendToRoot(FileNode* node);

    std::string m_path;
    QString m_displayName;
    VolumeFactsProvider m_volumeFacts;
    KindRegistry m_kinds;
    FileTree m_tree;
    NodeArena m_extraArena; // pseudo items
    std::vector<KindStat> m_kindTotals; // by kind identifier, of m_kindScope
    const FileNode* m_kindScope = nullptr; // null: the totals are stale
    bool m_kindScopeShowsPackages = false; // showPackageContents when they were counted
    // A folder rescan's nodes, hung below `folder`; only the folder's children lead to
    // them, since every other node of the arena lies below one of those.
    struct Splice {
        FileNode* folder;
        NodeArena arena;
        std::vector<EntryNote> notes; // hard links and special files, for saving
    };
    std::vector<Splice> m_splices;
    FileNode* m_freeNode = nullptr;
    FileNode* m_otherNode = nullptr;
    FileNode** m_rootArray = nullptr; // last children array made by appendToRoot
    std::size_t m_rootArrayCapacity = 0;
    TreeObserver* m_observer = nullptr;
    // See showsApparentSizes(). Set on the main thread while no scan runs, so the scan
    // thread's install reads it safely.
    bool m_apparent = false;
    bool m_installing = false; // install() tells no observer: the tree is new to everyone
    std::unique_ptr<SerialQueue> m_renderQueue;
};
