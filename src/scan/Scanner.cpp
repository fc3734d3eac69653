// SPDX-License-Identifier: MIT
#include "scan/Scanner.h"

#include "platform/DescriptorLimit.h"
#include "platform/DirectoryReader.h"
#include "platform/LocalFileSystem.h"
#include "platform/Thread.h"
#include "scan/ExcludePatterns.h"
#include "scan/InodeKey.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <sched.h>
#include <thread>
#include <unordered_set>
#include <utility>
#include <vector>

namespace {

constexpr std::size_t kListingBufferBytes = 262144;
constexpr std::size_t kWorkerStackBytes = 1048576;

// An open folder whose subfolders are still waiting to be opened relative to it. The
// last subfolder to be opened (or dropped at cancellation) closes it, so descriptors
// stay bounded by the folders that still have pending subfolders.
struct OpenFolder {
    int fd;
    std::atomic<std::uint32_t> users;
};

// Folders held open for their pending subfolders, over every scan of the process (the
// descriptor limit is the process's). Past the cap a listed folder is closed at once and
// its subfolders are opened by path, so a tree that branches at every level for
// thousands of levels cannot run out of descriptors.
std::atomic<int> s_heldFolders { 0 };

void release(const DirectoryReader& reader, OpenFolder* folder)
{
    if (folder && folder->users.fetch_sub(1, std::memory_order_acq_rel) == 1) {
        reader.close(folder->fd);
        delete folder;
        s_heldFolders.fetch_sub(1, std::memory_order_relaxed);
    }
}

// A folder still to list. `parent`, when present, is its folder held open. `device` and
// `inode` are what its listing recorded: the folder opened must be that one. `device` is
// also the volume against which its entries are checked for mount points when the file
// system cannot say so itself.
struct Pending {
    FileNode* node;
    OpenFolder* parent;
    std::uint64_t device;
    std::uint64_t inode;
};

// Descriptors of one run: the root's, held for the whole run; per worker the folder it
// lists and one it passes through while a long path resolves; a couple for the rest of
// the process; half of what is left for folders held open for their subfolders.
constexpr long kPerWorker = 2;
constexpr long kSpare = 2;
constexpr long kHeldWanted = 4096;

struct DescriptorPlan {
    int workers;
    int heldCap;
};

// Raises the soft limit first where a full complement of workers and held folders would
// not fit; at a limit too low for even one worker, no worker.
DescriptorPlan planDescriptors(int wantedWorkers)
{
    const long inUse = DescriptorLimit::openCount();
    const long limit
        = DescriptorLimit::raiseTo(inUse + kSpare + 1 + kPerWorker * wantedWorkers + kHeldWanted);
    const long free = limit - inUse - kSpare - 1;
    const int workers = int(std::clamp<long>(free / kPerWorker, 0, wantedWorkers));
    return { workers, int(std::clamp<long>((free - kPerWorker * workers) / 2, 0, 1 << 16)) };
}

std::uint32_t timeOf(const DirectoryReader::EntryFacts& facts)
{
    return facts.mtimeKnown ? FileNode::clampTime(facts.mtime) : 0;
}

bool outOfDescriptors(int error)
{
    return error == -EMFILE || error == -ENFILE;
}

int availableProcessors()
{
    cpu_set_t set;
    if (::sched_getaffinity(0, sizeof set, &set) == 0)
        return CPU_COUNT(&set);
    return static_cast<int>(std::thread::hardware_concurrency());
}

// Everything the workers share. The lister sees it through this type because
// Scanner::State itself is private.
struct Shared {
    Shared(std::string path, const DirectoryReader& r)
        : rootPath(std::move(path))
        , reader(r)
    {
    }

    const std::string rootPath;
    const DirectoryReader& reader;
    // The root folder, open for the whole run: folders not opened relative to a held
    // parent are opened below it.
    int rootFd = -1;
    const ExcludePatterns* excludes = nullptr; // null or non-empty
    std::string excludeBase; // the root's own path below the folder the patterns belong to
    bool crossFileSystems = false;

    // `mutex` + `cond`: guard everything down to `finalPath`.
    mutable std::mutex mutex;
    std::condition_variable cond;
    std::vector<Pending> pending;
    int active = 0;
    int waiting = 0;
    bool cancelled = false;
    bool outOfMemory = false; // set with `cancelled`: the tree is incomplete
    Progress counters; // currentPath unused: derived from lastFinished when read
    const FileNode* lastFinished = nullptr;
    bool finished = false;
    std::string finalPath;
    Scanner::Failure failure = Scanner::Failure::None;

    // How many folders may be held open for their subfolders (see s_heldFolders).
    int heldCap = 1 << 16;

    // Never held together with `mutex`.
    std::mutex inodeLock;
    std::unordered_set<InodeKey, InodeKeyHash> seenInodes;

    // One per worker; merged into the returned tree when the workers are done.
    std::vector<NodeArena> arenas;
    std::vector<std::vector<EntryNote>> notes; // one list per worker, like the arenas

    // Set by the worker that completes the root: then every folder has its totals and
    // child order, and run() has nothing left to finalise.
    std::atomic<bool> rootComplete { false };
};

// What one worker keeps between folders: its arena, listing buffer and scratch lists.
class FolderLister {
public:
    FolderLister(Shared& state, NodeArena& arena, std::vector<EntryNote>& notes)
        : m_state(state)
        , m_reader(state.reader)
        , m_arena(arena)
        , m_notes(notes)
        , m_buffer(new char[kListingBufferBytes])
    {
    }

    void runLoop();

private:
    int open(Pending& item);
    int openBelowRoot(const FileNode* node);
    int openChild(const Pending& item);
    void list(const Pending& item, int fd);
    void pathBelowRoot(const FileNode* node, std::string& path);
    void complete(FileNode* folder);
    [[nodiscard]] bool firstLink(const DirectoryReader::EntryFacts& facts);
    [[nodiscard]] bool mayEnterMount(int folderFd, const char* name) const;

    Shared& m_state;
    const DirectoryReader& m_reader;
    NodeArena& m_arena;
    std::vector<EntryNote>& m_notes;
    std::unique_ptr<char[]> m_buffer;
    std::vector<FileNode*> m_children;
    std::string m_relativePath; // of the folder being listed, when patterns need paths
    std::vector<Pending> m_subfolders;
    std::vector<std::string_view> m_names;
    std::string m_relative;
    std::int64_t m_files = 0;
    std::int64_t m_bytes = 0;
};

void FolderLister::runLoop()
{
    std::unique_lock lock(m_state.mutex);
    for (;;) {
        while (m_state.pending.empty()) {
            if (m_state.active < 1 || m_state.cancelled) {
                m_state.cond.notify_all();
                return;
            }
            ++m_state.waiting;
            m_state.cond.wait(lock);
            --m_state.waiting;
        }
        if (m_state.cancelled) {
            m_state.cond.notify_all();
            return;
        }
        Pending item = m_state.pending.back();
        m_state.pending.pop_back();
        ++m_state.active;
        lock.unlock();

        m_files = 0;
        m_bytes = 0;
        m_subfolders.clear();
        // Memory that runs out stops the whole scan, never the process: the folder in
        // hand stays as far as it got, and the run reports itself incomplete.
        bool outOfMemory = false;
        bool exhausted = false;
        try {
            const int fd = open(item);
            // Out of descriptors is no fault of the folder: the run stops and says so.
            exhausted = outOfDescriptors(fd);
            if (fd >= 0)
                list(item, fd);
            else if (!exhausted)
                item.node->flags.insert(NodeFlags::Unreadable);
            // Until its subfolders are complete, a folder's fileCount counts the ones
            // still to come; it is set before they are published under the lock below.
            if (m_subfolders.empty())
                complete(item.node);
            else
                item.node->fileCount = FileNode::clampCount(std::int64_t(m_subfolders.size()));
        } catch (const std::bad_alloc&) {
            outOfMemory = true;
            release(m_reader, item.parent); // when open() failed before handing it back
        }

        lock.lock();
        if (!outOfMemory) {
            try {
                m_state.pending.insert(m_state.pending.end(), m_subfolders.begin(), m_subfolders.end());
            } catch (const std::bad_alloc&) {
                outOfMemory = true;
            }
        }
        if (outOfMemory) {
            for (const Pending& sub : m_subfolders)
                release(m_reader, sub.parent);
            m_subfolders.clear();
            m_state.outOfMemory = true;
            m_state.cancelled = true;
            m_state.cond.notify_all();
        }
        --m_state.active;
        if (exhausted) {
            m_state.failure = Scanner::Failure::TooFewDescriptors;
            m_state.cancelled = true;
            m_state.cond.notify_all();
            continue;
        }
        m_state.counters.files += m_files;
        m_state.counters.bytes = FileNode::addSizes(m_state.counters.bytes, m_bytes);
        m_state.counters.directories += 1;
        if (item.node->flags.contains(NodeFlags::Unreadable))
            m_state.counters.unreadable += 1;
        m_state.lastFinished = item.node;
        if (m_state.waiting > 0)
            m_state.cond.notify_all();
    }
}

int FolderLister::open(Pending& item)
{
    int fd;
    if (item.parent) {
        fd = openChild(item);
        release(m_reader, std::exchange(item.parent, nullptr));
        // Out of descriptors: the release above, or other workers since, may have freed one.
        if (outOfDescriptors(fd))
            fd = openBelowRoot(item.node);
    } else {
        fd = openBelowRoot(item.node);
    }
    if (fd < 0)
        return fd;
    // Whatever was swapped in since the listing (another folder, a mount) is not entered.
    DirectoryReader::EntryFacts facts;
    if (!m_reader.examineOpen(fd, facts) || facts.device != item.device || facts.inode != item.inode) {
        m_reader.close(fd);
        return -ESTALE;
    }
    return fd;
}

// Names gathered upwards, joined once: linear in the depth. Empty for the root.
void FolderLister::pathBelowRoot(const FileNode* node, std::string& path)
{
    m_names.clear();
    for (; node->parent; node = node->parent)
        m_names.push_back(node->name());
    path.clear();
    for (auto name = m_names.rbegin(); name != m_names.rend(); ++name) {
        if (!path.empty())
            path.push_back('/');
        path.append(*name);
    }
}

// Follows no link on the way: a folder replaced by a link, or a link anywhere up its path,
// fails the open.
int FolderLister::openBelowRoot(const FileNode* node)
{
    pathBelowRoot(node, m_relative);
    return m_reader.openBeneath(m_state.rootFd, m_relative.empty() ? "." : m_relative.c_str());
}

int FolderLister::openChild(const Pending& item)
{
    const std::string_view name = item.node->name();
    // Names come from getdents64 and so hold no NUL; the arena keeps them unterminated.
    char terminated[256];
    int fd;
    if (name.size() < sizeof terminated) {
        std::memcpy(terminated, name.data(), name.size());
        terminated[name.size()] = '\0';
        fd = m_reader.openChild(item.parent->fd, terminated);
    } else {
        fd = m_reader.openChild(item.parent->fd, std::string(name).c_str());
    }
    return fd;
}

bool FolderLister::firstLink(const DirectoryReader::EntryFacts& facts)
{
    std::lock_guard guard(m_state.inodeLock);
    return m_state.seenInodes.insert(InodeKey { facts.device, facts.inode }).second;
}

// Only a folder just opened and proven to be on a local disk file system is entered.
bool FolderLister::mayEnterMount(int folderFd, const char* name) const
{
    if (!m_state.crossFileSystems)
        return false;
    const int fd = m_reader.openChild(folderFd, name);
    if (fd < 0)
        return false;
    const bool local = LocalFileSystem::isLocalDisk(fd);
    m_reader.close(fd);
    return local;
}

void FolderLister::list(const Pending& item, int fd)
{
    FileNode* const folder = item.node;
    // Closes the folder unless it is handed on, also when memory runs out on the way.
    struct Closer {
        const DirectoryReader& reader;
        int fd;
        ~Closer()
        {
            if (fd >= 0)
                reader.close(fd);
        }
    } closer { m_reader, fd };
    m_children.clear();
    const ExcludePatterns* const excludes = m_state.excludes;
    if (excludes && excludes->needsPaths()) {
        pathBelowRoot(folder, m_relativePath);
        if (!m_state.excludeBase.empty())
            m_relativePath.insert(
                0, m_relativePath.empty() ? m_state.excludeBase : m_state.excludeBase + '/');
    }
    DirectoryReader::EntryFacts facts;
    for (;;) {
        const long n = m_reader.readBatch(fd, m_buffer.get(), kListingBufferBytes);
        if (n == 0)
            break;
        if (n < 0) {
            folder->flags.insert(NodeFlags::Unreadable);
            break;
        }
        DirectoryReader::forEachName(m_buffer.get(), n, [&](const char* name, std::size_t length) {
            // A vanished entry is passed over; any other failure (every entry of a folder that
            // can be listed but not entered) leaves the folder incomplete.
            if (const int error = m_reader.examine(fd, name, facts); error != 0) {
                if (error != -ENOENT)
                    folder->flags.insert(NodeFlags::Unreadable);
                return;
            }
            const std::string_view view(name, length);
            const bool isFolder = facts.type == DirectoryReader::EntryType::Directory;
            if (excludes && excludes->excludes(m_relativePath, view, isFolder)) {
                const NodeFlags flags
                    = isFolder ? NodeFlags::Directory | NodeFlags::Excluded : NodeFlags::Excluded;
                m_children.push_back(m_arena.make(view, folder, 0, 0, 0, 2, flags));
                return;
            }
            if (isFolder) {
                const bool mountPoint = facts.mountRootKnown ? facts.mountRoot : facts.device != item.device;
                if (mountPoint && !mayEnterMount(fd, name))
                    return;
                FileNode* child = m_arena.make(view, folder, 0, 0, 0, 2, NodeFlags::Directory);
                child->mtime = timeOf(facts);
                m_children.push_back(child);
                m_subfolders.push_back(Pending { child, nullptr, facts.device, facts.inode });
                return;
            }
            std::int64_t allocated = facts.allocatedSize;
            std::int64_t logical = facts.logicalSize;
            if (facts.linkCount >= 2 && !firstLink(facts))
                allocated = logical = 0;
            NodeFlags flags
                = facts.type == DirectoryReader::EntryType::Symlink ? NodeFlags::Symlink : NodeFlags();
            if (facts.executable)
                flags.insert(NodeFlags::Executable);
            FileNode* child = m_arena.make(view, folder, allocated, logical, 1, 2, flags);
            child->mtime = timeOf(facts);
            m_children.push_back(child);
            const bool special = facts.type == DirectoryReader::EntryType::Special;
            if (facts.linkCount >= 2 || special)
                m_notes.push_back(EntryNote { child, facts.device, facts.inode, facts.allocatedSize,
                    facts.logicalSize, facts.linkCount >= 2 ? facts.linkCount : 0, special });
            ++m_files;
            m_bytes = FileNode::addSizes(m_bytes, allocated);
        });
    }
    FileNode** array = m_arena.makeArray(m_children.size());
    if (!m_children.empty())
        std::memcpy(array, m_children.data(), m_children.size() * sizeof(FileNode*));
    folder->setChildren(array, m_children.size());

    if (m_subfolders.empty() || s_heldFolders.load(std::memory_order_relaxed) >= m_state.heldCap)
        return;
    auto* open = new OpenFolder { fd, static_cast<std::uint32_t>(m_subfolders.size()) };
    closer.fd = -1;
    s_heldFolders.fetch_add(1, std::memory_order_relaxed);
    for (Pending& sub : m_subfolders)
        sub.parent = open;
}

// Totals and child order of a folder whose subfolders are all complete, then of every
// ancestor that this makes complete. The release/acquire decrement orders each
// folder's totals before the parent's sums, whichever worker computes them.
void FolderLister::complete(FileNode* folder)
{
    for (FileNode* node = folder;;) {
        Scanner::sumChildren(node);
        FileNode* parent = node->parent;
        if (!parent) {
            m_state.rootComplete.store(true, std::memory_order_release);
            return;
        }
        if (std::atomic_ref<std::int32_t>(parent->fileCount).fetch_sub(1, std::memory_order_acq_rel) != 1)
            return;
        node = parent;
    }
}

} // namespace

struct Scanner::State : Shared {
    using Shared::Shared;
};

Scanner::Scanner(std::string rootPath)
    : Scanner(std::move(rootPath), DirectoryReader::system())
{
}

Scanner::Scanner(std::string rootPath, const DirectoryReader& reader)
    : m_state(std::make_unique<State>(std::move(rootPath), reader))
{
}

Scanner::~Scanner() = default;

void Scanner::setExcludes(const ExcludePatterns* patterns)
{
    m_state->excludes = patterns && !patterns->empty() ? patterns : nullptr;
}

void Scanner::setExcludeBase(std::string base)
{
    m_state->excludeBase = std::move(base);
}

void Scanner::setCrossFileSystems(bool cross)
{
    m_state->crossFileSystems = cross;
}

const std::string& Scanner::rootPath() const
{
    return m_state->rootPath;
}

int Scanner::workerCount(int processors)
{
    return std::clamp(2 * processors, 4, 16);
}

FileTree Scanner::run()
{
    State& s = *m_state;
    FileTree tree;
    // A root path no node can hold whole is refused: every path below it would be wrong.
    const bool tooLong = s.rootPath.size() > FileNode::kMaxNameLength;
    try {
        tree.root = tree.arena.make(
            tooLong ? std::string_view() : s.rootPath, nullptr, 0, 0, 0, 2, NodeFlags::Directory);
    } catch (const std::bad_alloc&) {
        noteOutOfMemory();
        return tree;
    }
    const DescriptorPlan plan = planDescriptors(workerCount(availableProcessors()));
    s.heldCap = plan.heldCap;
    Failure failure = tooLong ? Failure::PathTooLong
        : plan.workers < 1    ? Failure::TooFewDescriptors
                              : Failure::None;
    DirectoryReader::EntryFacts facts;
    if (failure == Failure::None) {
        s.rootFd = s.reader.openPath(s.rootPath.c_str());
        if (outOfDescriptors(s.rootFd)) {
            failure = Failure::TooFewDescriptors;
        } else if (s.rootFd >= 0 && !s.reader.examineOpen(s.rootFd, facts)) {
            s.reader.close(s.rootFd);
            s.rootFd = -EIO;
        }
    }
    {
        std::lock_guard lock(s.mutex);
        if (failure != Failure::None) {
            s.failure = failure;
            s.cancelled = true;
        } else if (s.rootFd < 0) {
            tree.root->flags.insert(NodeFlags::Unreadable);
            s.counters.directories = s.counters.unreadable = 1;
            s.lastFinished = tree.root;
        } else {
            tree.root->mtime = timeOf(facts);
            try {
                s.pending.push_back(Pending { tree.root, nullptr, facts.device, facts.inode });
            } catch (const std::bad_alloc&) {
                s.outOfMemory = s.cancelled = true;
            }
        }
    }

    const int count = s.pending.empty() ? 0 : plan.workers;
    std::vector<std::unique_ptr<FolderLister>> listers;
    std::vector<std::unique_ptr<Thread>> threads;
    bool anyStarted = false;
    try {
        s.arenas.resize(std::size_t(count));
        s.notes.resize(std::size_t(count));
        threads.reserve(std::size_t(count));
        // As many workers as memory allows; one is enough to finish.
        for (int i = 0; i < count; ++i)
            listers.push_back(
                std::make_unique<FolderLister>(s, s.arenas[std::size_t(i)], s.notes[std::size_t(i)]));
    } catch (const std::bad_alloc&) {
        if (listers.empty()) {
            noteOutOfMemory();
            tree.root->setChildren(nullptr, 0);
            return tree;
        }
    }
    for (const std::unique_ptr<FolderLister>& owned : listers) {
        FolderLister* lister = owned.get();
        try {
            threads.push_back(std::make_unique<Thread>(
                [lister] { lister->runLoop(); }, Thread::Options { .stackSize = kWorkerStackBytes }));
        } catch (const std::bad_alloc&) {
            break;
        }
        anyStarted = anyStarted || threads.back()->started();
    }
    // Without any thread (resource limits) the caller lists everything itself.
    if (!anyStarted && !listers.empty())
        listers.front()->runLoop();
    threads.clear();
    listers.clear();

    // After a cancellation the folders never listed still hold their parents open.
    {
        std::lock_guard lock(s.mutex);
        for (const Pending& item : s.pending)
            release(s.reader, item.parent);
        s.pending.clear();
        s.pending.shrink_to_fit();
    }
    if (s.rootFd >= 0)
        s.reader.close(s.rootFd);
    try {
        std::size_t chunks = tree.arena.chunkCount();
        for (const NodeArena& arena : s.arenas)
            chunks += arena.chunkCount();
        tree.arena.reserveChunks(chunks);
        for (NodeArena& arena : s.arenas)
            tree.arena.absorb(std::move(arena));
        for (std::vector<EntryNote>& notes : s.notes)
            tree.notes.insert(tree.notes.end(), notes.begin(), notes.end());
        s.notes.clear();
        // A cancelled run leaves folders that were never listed, and so ancestors that
        // were never completed.
        if (!s.rootComplete.load(std::memory_order_acquire))
            finalize(tree.root);
    } catch (const std::bad_alloc&) {
        noteOutOfMemory();
    }
    // Nodes of arenas that could not be handed over go with the scanner: an incomplete
    // tree keeps only its root.
    if (ranOutOfMemory()) {
        tree.root->setChildren(nullptr, 0);
        tree.root->size = tree.root->logicalSize = tree.root->fileCount = 0;
        tree.notes.clear();
    }

    // The tree now belongs to the caller, who may drop it before reading progress.
    std::lock_guard lock(s.mutex);
    try {
        s.finalPath = s.lastFinished ? s.lastFinished->path() : std::string();
    } catch (const std::bad_alloc&) {
        s.finalPath.clear();
    }
    s.lastFinished = nullptr;
    s.finished = true;
    return tree;
}

void Scanner::noteOutOfMemory()
{
    std::lock_guard lock(m_state->mutex);
    m_state->outOfMemory = true;
    m_state->cancelled = true;
    m_state->cond.notify_all();
}

Progress Scanner::progress() const
{
    std::lock_guard lock(m_state->mutex);
    Progress copy = m_state->counters;
    if (m_state->finished)
        copy.currentPath = m_state->finalPath;
    else if (m_state->lastFinished)
        copy.currentPath = m_state->lastFinished->path();
    return copy;
}

void Scanner::cancel()
{
    std::lock_guard lock(m_state->mutex);
    m_state->cancelled = true;
    m_state->cond.notify_all();
}

bool Scanner::isCancelled() const
{
    std::lock_guard lock(m_state->mutex);
    return m_state->cancelled;
}

Scanner::Failure Scanner::failure() const
{
    std::lock_guard lock(m_state->mutex);
    return m_state->outOfMemory ? Failure::OutOfMemory : m_state->failure;
}

const char* Scanner::describe(Failure failure)
{
    switch (failure) {
    case Failure::None:
        break;
    case Failure::TooFewDescriptors:
        return "too few file descriptors are left to scan (raise the limit with ulimit -n)";
    case Failure::PathTooLong:
        return "the folder's path is longer than 32,767 bytes";
    case Failure::OutOfMemory:
        return "out of memory: the scan stopped before it was complete";
    }
    return "";
}

void Scanner::finalize(FileNode* node)
{
    if (!node || !node->isDirectory())
        return;
    // Post-order with an explicit stack: trees may be far deeper than any thread stack.
    struct Frame {
        FileNode* folder;
        std::size_t next;
    };
    std::vector<Frame> stack;
    stack.push_back(Frame { node, 0 });
    while (!stack.empty()) {
        Frame& top = stack.back();
        FileNode* folder = top.folder;
        if (top.next < folder->childCount()) {
            FileNode* child = folder->child(top.next++);
            if (child->isDirectory())
                stack.push_back(Frame { child, 0 });
            continue;
        }
        sumChildren(folder);
        stack.pop_back();
    }
}

void Scanner::sumChildren(FileNode* folder)
{
    std::int64_t size = 0, logical = 0, files = 0;
    std::uint32_t newest = folder->mtime;
    for (const FileNode* child : folder->children()) {
        size = FileNode::addSizes(size, child->size);
        logical = FileNode::addSizes(logical, child->logicalSize);
        files += child->fileCount;
        newest = std::max(newest, child->mtime);
    }
    folder->size = size;
    folder->logicalSize = logical;
    folder->fileCount = FileNode::clampCount(files);
    folder->mtime = newest;
    folder->sortChildren();
}
