// SPDX-License-Identifier: MIT
#pragma once

#include "scan/FileNode.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <utility>
#include <vector>

// Owns the memory of nodes and of their children arrays: a bump allocator over chunks
// that start small and double up to 1 MiB, so that a rescan of a small folder costs
// little. Nothing is freed before the arena itself, which frees everything at once.
// Not thread-safe: each scanner worker fills its own arena, and the arenas are merged
// with absorb() once the workers are done.
//
// A chunk that cannot be had throws std::bad_alloc and leaves the arena as it was.
class NodeArena {
public:
    NodeArena() = default;
    // A moved-from arena is empty: it must not keep bumping into chunks it gave away.
    NodeArena(NodeArena&& other) noexcept;
    NodeArena& operator=(NodeArena&& other) noexcept;
    NodeArena(const NodeArena&) = delete;
    NodeArena& operator=(const NodeArena&) = delete;
    ~NodeArena();

    // A new node with no children. Only a node made with the directory flag can ever hold
    // children. A name longer than FileNode::kMaxNameLength is cut.
    [[nodiscard]] FileNode* make(std::string_view name, FileNode* parent, std::int64_t size,
        std::int64_t logicalSize, std::int64_t fileCount, std::int32_t kind, NodeFlags flags);

    // An uninitialised array of `count` child pointers.
    [[nodiscard]] FileNode** makeArray(std::size_t count);

    // Sets `nodes` (copied) as the children of `parent` and makes `parent` their parent.
    // These two do nothing when `parent` cannot hold children.
    void adoptChildren(FileNode* parent, std::span<FileNode* const> nodes);
    // Appends `child` to `parent`'s children (a new array; the old one stays unused
    // in its arena) and makes `parent` its parent. Does not re-sort.
    void appendChild(FileNode* parent, FileNode* child);

    // Takes over every chunk of `other`, which is left empty. Throws std::bad_alloc
    // (and changes neither) only when room for the chunk list cannot be had; after
    // reserveChunks() for the total it cannot throw.
    void absorb(NodeArena&& other);
    void reserveChunks(std::size_t count) { m_chunks.reserve(count); }
    [[nodiscard]] std::size_t chunkCount() const { return m_chunks.size(); }

    // Bytes requested from the system so far.
    [[nodiscard]] std::size_t reservedBytes() const { return m_reserved; }

    // Address ranges [begin, end) of the chunks, sorted: which memory the arena owns.
    [[nodiscard]] std::vector<std::pair<const char*, const char*>> chunkRanges() const;

    // Where every arena of the process gets its chunks: std::malloc unless a test
    // installs a source that fails on purpose (null restores malloc). A source returns
    // null for memory it cannot give, and memory that std::free releases otherwise.
    using ChunkSource = void* (*)(std::size_t bytes);
    static void setChunkSource(ChunkSource source);

private:
    void* allocate(std::size_t bytes);

    struct ChunkDeleter {
        void operator()(char* p) const;
    };
    struct Chunk {
        std::unique_ptr<char, ChunkDeleter> memory;
        std::size_t bytes;
    };
    std::vector<Chunk> m_chunks;
    std::size_t m_nextChunkBytes = 0; // 0: the first chunk's size
    char* m_cursor = nullptr;
    char* m_end = nullptr;
    std::size_t m_reserved = 0;
};

// What a node does not hold but a saved scan must keep: the identity of a file with
// more than one link, and entries that are neither regular files, folders nor symbolic
// links. Few in any tree, so they live beside it rather than in every node.
struct EntryNote {
    // Why a saved scan left an entry out (as ncdu names it); the node is then empty.
    enum class Exclusion : std::uint8_t { None, Pattern, OtherFs, KernFs, FirmLink, Unknown };

    const FileNode* node = nullptr;
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    // A hard link's own sizes, which the node holds only for the link counted.
    std::int64_t allocated = 0;
    std::int64_t logical = 0;
    std::uint32_t linkCount = 0; // 0 when the node is not a hard link
    bool special = false;
    Exclusion excluded = Exclusion::None;
};

// A scanned tree together with the arena that owns its nodes. Movable, not copyable.
struct FileTree {
    NodeArena arena;
    FileNode* root = nullptr;
    // Unordered; a note may outlive its node's place in the tree (the node itself stays
    // valid as long as the arena).
    std::vector<EntryNote> notes;
};
