// SPDX-License-Identifier: MIT
#include "scan/NodeArena.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <new>
#include <utility>

namespace {
constexpr std::size_t kFirstChunkBytes = std::size_t(4) << 10;
constexpr std::size_t kChunkBytes = std::size_t(1) << 20;
constexpr std::size_t kAlign = alignof(FileNode);

std::atomic<NodeArena::ChunkSource> s_chunkSource { nullptr };

std::size_t roundUp(std::size_t n)
{
    return (n + kAlign - 1) & ~(kAlign - 1);
}
} // namespace

void NodeArena::ChunkDeleter::operator()(char* p) const
{
    std::free(p);
}

void NodeArena::setChunkSource(ChunkSource source)
{
    s_chunkSource.store(source);
}

NodeArena::~NodeArena() = default;

NodeArena::NodeArena(NodeArena&& other) noexcept
    : m_chunks(std::move(other.m_chunks))
    , m_nextChunkBytes(std::exchange(other.m_nextChunkBytes, 0))
    , m_cursor(std::exchange(other.m_cursor, nullptr))
    , m_end(std::exchange(other.m_end, nullptr))
    , m_reserved(std::exchange(other.m_reserved, 0))
{
    other.m_chunks.clear();
}

NodeArena& NodeArena::operator=(NodeArena&& other) noexcept
{
    if (&other != this) {
        m_chunks = std::move(other.m_chunks);
        other.m_chunks.clear();
        m_nextChunkBytes = std::exchange(other.m_nextChunkBytes, 0);
        m_cursor = std::exchange(other.m_cursor, nullptr);
        m_end = std::exchange(other.m_end, nullptr);
        m_reserved = std::exchange(other.m_reserved, 0);
    }
    return *this;
}

void* NodeArena::allocate(std::size_t bytes)
{
    bytes = roundUp(bytes);
    if (std::size_t(m_end - m_cursor) >= bytes) {
        void* result = m_cursor;
        m_cursor += bytes;
        return result;
    }
    // A large request gets a chunk of its own so that the current chunk keeps serving.
    // Chunks double from a few KiB, so a small rescan reserves little per worker.
    const std::size_t regular = std::max({ m_nextChunkBytes, kFirstChunkBytes, bytes });
    const bool ownChunk = bytes > kChunkBytes / 4;
    const std::size_t chunkBytes = ownChunk ? bytes : regular;
    if (m_chunks.size() == m_chunks.capacity()) // may throw: before anything is allocated
        m_chunks.reserve(std::max<std::size_t>(8, 2 * m_chunks.size()));
    const ChunkSource source = s_chunkSource.load(std::memory_order_relaxed);
    char* chunk = static_cast<char*>(source ? source(chunkBytes) : std::malloc(chunkBytes));
    if (!chunk)
        throw std::bad_alloc();
    m_reserved += chunkBytes;
    m_chunks.push_back(Chunk { std::unique_ptr<char, ChunkDeleter>(chunk), chunkBytes });
    if (ownChunk)
        return chunk;
    m_nextChunkBytes = std::min(regular * 2, kChunkBytes);
    m_cursor = chunk + bytes;
    m_end = chunk + chunkBytes;
    return chunk;
}

FileNode* NodeArena::make(std::string_view name, FileNode* parent, std::int64_t size,
    std::int64_t logicalSize, std::int64_t fileCount, std::int32_t kind, NodeFlags flags)
{
    if (name.size() > FileNode::kMaxNameLength)
        name = name.substr(0, FileNode::kMaxNameLength);
    // Only a folder pays for a children array; the flag at birth decides it for good.
    const bool folder = flags.contains(NodeFlags::Directory);
    const std::size_t links = folder ? FileNode::kLinksSize : 0;
    const std::size_t bytes = std::max(sizeof(FileNode), FileNode::kNameOffset + name.size());
    char* memory = static_cast<char*>(allocate(links + bytes));
    if (folder)
        new (memory) FileNode::Links();
    FileNode* node = new (memory + links) FileNode();
    node->m_hasLinks = folder;
    node->parent = parent;
    node->size = size;
    node->logicalSize = logicalSize;
    node->fileCount = FileNode::clampCount(fileCount);
    node->kind = kind;
    node->flags = flags;
    node->m_nameLength = static_cast<std::uint16_t>(name.size());
    if (!name.empty())
        std::memcpy(node->nameBytes(), name.data(), name.size());
    return node;
}

FileNode** NodeArena::makeArray(std::size_t count)
{
    if (count == 0)
        return nullptr;
    return static_cast<FileNode**>(allocate(count * sizeof(FileNode*)));
}

void NodeArena::adoptChildren(FileNode* parent, std::span<FileNode* const> nodes)
{
    // A node made without children stays so; its would-be children keep their parent.
    if (!parent->canHoldChildren())
        return;
    FileNode** array = makeArray(nodes.size());
    if (!nodes.empty())
        std::memcpy(array, nodes.data(), nodes.size() * sizeof(FileNode*));
    for (FileNode* child : nodes)
        child->parent = parent;
    parent->setChildren(array, nodes.size());
}

void NodeArena::appendChild(FileNode* parent, FileNode* child)
{
    if (!parent->canHoldChildren())
        return;
    const std::size_t count = parent->childCount();
    FileNode** array = makeArray(count + 1);
    if (count)
        std::memcpy(array, parent->children().data(), count * sizeof(FileNode*));
    array[count] = child;
    child->parent = parent;
    parent->setChildren(array, count + 1);
}

void NodeArena::absorb(NodeArena&& other)
{
    if (&other == this)
        return;
    if (m_chunks.capacity() - m_chunks.size() < other.m_chunks.size())
        m_chunks.reserve(std::max(2 * m_chunks.size(), m_chunks.size() + other.m_chunks.size()));
    m_chunks.insert(m_chunks.end(), std::make_move_iterator(other.m_chunks.begin()),
        std::make_move_iterator(other.m_chunks.end()));
    m_reserved += other.m_reserved;
    other.m_chunks.clear();
    other.m_cursor = other.m_end = nullptr;
    other.m_reserved = 0;
    other.m_nextChunkBytes = 0;
}

std::vector<std::pair<const char*, const char*>> NodeArena::chunkRanges() const
{
    std::vector<std::pair<const char*, const char*>> ranges;
    ranges.reserve(m_chunks.size());
    for (const Chunk& chunk : m_chunks)
        ranges.emplace_back(chunk.memory.get(), chunk.memory.get() + chunk.bytes);
    std::sort(ranges.begin(), ranges.end());
    return ranges;
}
