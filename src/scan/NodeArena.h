// SPDX-License-Identifier: MIT
#pragma once

#include "scan/FileNode.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

// Owns the memory of nodes and of their children arrays: a bump allocator over large
// chunks. Nothing is freed before the arena itself, which frees everything at once.
// Not thread-safe: each scanner worker fills its own arena, and the arenas are merged
// with absorb() once the workers are done.
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

    // Takes over every chunk of `other`, which is left empty.
    void absorb(NodeArena&& other);

    // Bytes requested from the system so far.
    [[nodiscard]] std::size_t reservedBytes() const { return m_reserved; }

private:
    void* allocate(std::size_t bytes);

    struct ChunkDeleter {
        void operator()(char* p) const;
    };
    std::vector<std::unique_ptr<char, ChunkDeleter>> m_chunks;
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
