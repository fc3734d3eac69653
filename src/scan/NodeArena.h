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

// A scanned tree together with the arena that owns its nodes. Movable, not copyable.
struct FileTree {
    NodeArena arena;
    FileNode* root = nullptr;
};
