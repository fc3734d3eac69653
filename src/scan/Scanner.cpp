// SPDX-License-Identifier: MIT
#include "scan/Scanner.h"

#include "platform/DirectoryReader.h"
#include "platform/Thread.h"
#include "scan/InodeKey.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <sched.h>
#include <sys/resource.h>
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
std::atomic<int> s_heldFolders {0};

void release(const DirectoryReader& reader, OpenFolder* folder)
{
    if (folder && folder->users.fetch_sub(1, std::memory_order_acq_rel) == 1) {
        reader.close(folder->fd);
        delete folder;
        s_heldFolders.fetch_sub(1, std::memory_order_relaxed);
    }
}

// A folder still to list. `parent` is absent only for the root; `device` is the
// folder's own volume, against which its entries are checked for mount points when the
// file system cannot say so itself.
struct Pending {
    FileNode* node;
    OpenFolder* parent;
    std::uint64_t device;
};

void raiseDescriptorLimit()
{
    static std::once_flag once;
    std::call_once(once, [] {
        rlimit limit {};
        if (::getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
            limit.rlim_cur = limit.rlim_max;
            ::setrlimit(RLIMIT_NOFILE, &limit);
        }
    });
}

// Half the descriptor limit may be held by folders waiting on their subfolders; the rest
// serves the folders being listed and everything else the process opens.
int heldFolderCap()
{
    rlimit limit {};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY)
        return 1 << 16;
    return std::max(16, static_cast<int>(std::min<rlim_t>(limit.rlim_cur, 1u << 20) / 2));
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
    Shared(std::string path, const DirectoryReader& r) : rootPath(std::move(path)), reader(r) {}

    const std::string rootPath;
    const DirectoryReader& reader;

    // `mutex` + `cond`: guard everything down to `finalPath`.
    mutable std::mutex mutex;
    std::condition_variable cond;
    std::vector<Pending> pending;
    int active = 0;
    int waiting = 0;
    bool cancelled = false;
    Progress counters; // currentPath unused: derived from lastFinished when read
    const FileNode* lastFinished = nullptr;
    bool finished = false;
    std::string finalPath;

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
    std::atomic<bool> rootComplete {false};
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
    void list(const Pending& item, int fd);
    void complete(FileNode* folder);
    [[nodiscard]] bool firstLink(const DirectoryReader::EntryFacts& facts);

    Shared& m_state;
    const DirectoryReader& m_reader;
    NodeArena& m_arena;
    std::vector<EntryNote>& m_notes;
    std::unique_ptr<char[]> m_buffer;
    std::vector<FileNode*> m_children;
    std::vector<Pending> m_subfolders;
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
        const int fd = open(item);
        if (fd >= 0)
            list(item, fd);
        else
            item.node->flags.insert(NodeFlags::Unreadable);
        // Until its subfolders are complete, a folder's fileCount counts the ones still
        // to come; it is set before they are published under the lock below.
        if (m_subfolders.empty())
            complete(item.node);
        else
            item.node->fileCount = static_cast<std::int64_t>(m_subfolders.size());

        lock.lock();
        m_state.pending.insert(m_state.pending.end(), m_subfolders.begin(), m_subfolders.end());
        --m_state.active;
        m_state.counters.files += m_files;
        m_state.counters.bytes += m_bytes;
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
    if (!item.node->parent) {
        // The root's own volume, against which its entries are checked for mount points.
        const int fd = m_reader.openPath(m_state.rootPath.c_str());
        DirectoryReader::EntryFacts facts;
        if (fd >= 0 && m_reader.examineOpen(fd, facts))
            item.device = facts.device;
        return fd;
    }
    if (!item.parent) // its folder was not held open
        return m_reader.openPath(item.node->path().c_str());
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
    release(m_reader, item.parent);
    // Out of descriptors: other workers may have closed some since, and the full path
    // (of any length) needs no open parent.
    if (fd == -EMFILE || fd == -ENFILE)
        fd = m_reader.openPath(item.node->path().c_str());
    return fd;
}

bool FolderLister::firstLink(const DirectoryReader::EntryFacts& facts)
{
    std::lock_guard guard(m_state.inodeLock);
    return m_state.seenInodes.insert(InodeKey { facts.device, facts.inode }).second;
}

void FolderLister::list(const Pending& item, int fd)
{
    FileNode* const folder = item.node;
    m_children.clear();
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
            if (!m_reader.examine(fd, name, facts))
                return;
            const std::string_view view(name, length);
            if (facts.type == DirectoryReader::EntryType::Directory) {
                const bool mountPoint = facts.mountRootKnown ? facts.mountRoot : facts.device != item.device;
                if (mountPoint)
                    return;
                FileNode* child = m_arena.make(view, folder, 0, 0, 0, 2, NodeFlags::Directory);
                m_children.push_back(child);
                m_subfolders.push_back(Pending { child, nullptr, facts.device });
                return;
            }
            std::int64_t allocated = facts.allocatedSize;
            std::int64_t logical = facts.logicalSize;
            if (facts.linkCount >= 2 && !firstLink(facts))
                allocated = logical = 0;
            NodeFlags flags = facts.type == DirectoryReader::EntryType::Symlink ? NodeFlags::Symlink : NodeFlags();
            if (facts.executable)
                flags.insert(NodeFlags::Executable);
            FileNode* child = m_arena.make(view, folder, allocated, logical, 1, 2, flags);
            m_children.push_back(child);
            const bool special = facts.type == DirectoryReader::EntryType::Special;
            if (facts.linkCount >= 2 || special)
                m_notes.push_back(EntryNote { child, facts.device, facts.inode, facts.allocatedSize,
                    facts.logicalSize, facts.linkCount >= 2 ? facts.linkCount : 0, special });
            ++m_files;
            m_bytes += allocated;
        });
    }
    FileNode** array = m_arena.makeArray(m_children.size());
    if (!m_children.empty())
        std::memcpy(array, m_children.data(), m_children.size() * sizeof(FileNode*));
    folder->setChildren(array, m_children.size());

    if (m_subfolders.empty() || s_heldFolders.load(std::memory_order_relaxed) >= m_state.heldCap) {
        m_reader.close(fd);
        return;
    }
    s_heldFolders.fetch_add(1, std::memory_order_relaxed);
    auto* open = new OpenFolder { fd, static_cast<std::uint32_t>(m_subfolders.size()) };
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
        if (std::atomic_ref<std::int64_t>(parent->fileCount).fetch_sub(1, std::memory_order_acq_rel) != 1)
            return;
        node = parent;
    }
}

} // namespace

struct Scanner::State : Shared {
    using Shared::Shared;
};

Scanner::Scanner(std::string rootPath) : Scanner(std::move(rootPath), DirectoryReader::system()) {}

Scanner::Scanner(std::string rootPath, const DirectoryReader& reader)
    : m_state(std::make_unique<State>(std::move(rootPath), reader))
{
}

Scanner::~Scanner() = default;

const std::string& Scanner::rootPath() const { return m_state->rootPath; }

int Scanner::workerCount(int processors) { return std::clamp(2 * processors, 4, 16); }

FileTree Scanner::run()
{
    raiseDescriptorLimit();
    State& s = *m_state;
    s.heldCap = heldFolderCap();
    FileTree tree;
    tree.root = tree.arena.make(s.rootPath, nullptr, 0, 0, 0, 2, NodeFlags::Directory);

    {
        std::lock_guard lock(s.mutex);
        s.pending.push_back(Pending { tree.root, nullptr, 0 });
    }

    const int count = workerCount(availableProcessors());
    s.arenas.resize(std::size_t(count));
    s.notes.resize(std::size_t(count));
    std::vector<std::unique_ptr<FolderLister>> listers;
    std::vector<std::unique_ptr<Thread>> threads;
    bool anyStarted = false;
    for (int i = 0; i < count; ++i) {
        listers.push_back(std::make_unique<FolderLister>(s, s.arenas[std::size_t(i)], s.notes[std::size_t(i)]));
        FolderLister* lister = listers.back().get();
        threads.push_back(std::make_unique<Thread>(
            [lister] { lister->runLoop(); }, Thread::Options { .stackSize = kWorkerStackBytes }));
        anyStarted = anyStarted || threads.back()->started();
    }
    // Without any thread (resource limits) the caller lists everything itself.
    if (!anyStarted)
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
    for (NodeArena& arena : s.arenas)
        tree.arena.absorb(std::move(arena));
    for (std::vector<EntryNote>& notes : s.notes)
        tree.notes.insert(tree.notes.end(), notes.begin(), notes.end());
    s.notes.clear();

    // A cancelled run leaves folders that were never listed, and so ancestors that were
    // never completed.
    if (!s.rootComplete.load(std::memory_order_acquire))
        finalize(tree.root);

    // The tree now belongs to the caller, who may drop it before reading progress.
    std::lock_guard lock(s.mutex);
    s.finalPath = s.lastFinished ? s.lastFinished->path() : std::string();
    s.lastFinished = nullptr;
    s.finished = true;
    return tree;
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
    for (const FileNode* child : folder->children()) {
        size += child->size;
        logical += child->logicalSize;
        files += child->fileCount;
    }
    folder->size = size;
    folder->logicalSize = logical;
    folder->fileCount = files;
    folder->sortChildren();
}
