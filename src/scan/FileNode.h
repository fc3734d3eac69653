// SPDX-License-Identifier: MIT
#pragma once

#include "scan/NodeFlags.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <span>
#include <string>
#include <string_view>
#include <vector>

class NodeArena;

// One file, folder or pseudo item of a scanned tree.
//
// The tree is the memory bill (millions of nodes), so a node is small: its name bytes
// live inline right after the fixed fields, and only a node made as a folder carries a
// children array (a pointer and a count placed just before the node, in the same arena
// block); every other node reads as having no children and ignores attempts to give it
// some. Both are allocated from the NodeArena that made the node. Nodes are never freed
// one by one; the arena releases them all at once, so no walk (recursive or not) is
// needed to destroy a tree, and a node taken out of the tree stays valid until its arena
// goes.
//
// Names are the bytes the file system gave (not necessarily UTF-8), so a path rebuilt
// from the tree names the real file. Decode them only for display.
//
// Threads: during a scan a folder's children and flags are written only by the worker
// that lists it; afterwards the tree is read and changed only as the document allows.
class FileNode {
public:
    FileNode(const FileNode&) = delete;
    FileNode& operator=(const FileNode&) = delete;

    [[nodiscard]] std::string_view name() const { return { nameBytes(), m_nameLength }; }
    // Asks for the fields and the start of the name ahead of use: nodes are reached
    // through pointers, and a walk that waits for each one is bound by memory. (A
    // folder's children link, just before the node, is read for few nodes.)
    void prefetch() const
    {
        const char* at = reinterpret_cast<const char*>(this);
        __builtin_prefetch(at);
        __builtin_prefetch(at + 48);
    }

    [[nodiscard]] std::span<FileNode* const> children() const
    {
        if (!m_hasLinks)
            return {};
        return { links()->array, links()->count };
    }
    [[nodiscard]] std::size_t childCount() const { return m_hasLinks ? links()->count : 0; }
    [[nodiscard]] FileNode* child(std::size_t i) const { return children()[i]; }
    [[nodiscard]] bool hasChildren() const { return childCount() != 0; }
    [[nodiscard]] bool isDirectory() const { return flags.contains(NodeFlags::Directory); }
    // True for a node made with the directory flag: only such a node can hold children,
    // whatever its flags say later.
    [[nodiscard]] bool canHoldChildren() const { return m_hasLinks; }

    // Index of `node` among the children (identity), or -1.
    [[nodiscard]] std::ptrdiff_t indexOfChild(const FileNode* node) const;

    // Replaces the children with `array` (owned by an arena that lives as long as this
    // node's) of `count` entries. Does not touch the children's parent links. Does
    // nothing on a node that cannot hold children.
    void setChildren(FileNode** array, std::size_t count);
    // Removes the child at `index`, keeping the order of the others. The removed node's
    // parent link is left as it is.
    void removeChildAt(std::size_t index);

    // Full path: the topmost ancestor's name, "/" unless it already ends with one,
    // then the names below it joined with "/". Built afresh on every call.
    [[nodiscard]] std::string path() const;
    // From the topmost ancestor down to the direct parent; empty for a parentless node.
    [[nodiscard]] std::vector<FileNode*> ancestors() const;
    // True when `ancestor` is met walking up from this node's parent (identity).
    [[nodiscard]] bool hasAncestor(const FileNode* ancestor) const;
    // Depth below the topmost ancestor (0 for a node without parent).
    [[nodiscard]] std::size_t depth() const;

    // Child order: size descending, then names by Unicode code point after NFC
    // normalisation (no locale, no case folding); a stable sort.
    void sortChildren();

    // True when a comes before b in child order.
    [[nodiscard]] static bool precedes(const FileNode& a, const FileNode& b);

    // Sizes added without wrapping: a sum past the largest value stays at it (sparse files
    // can claim exabytes each).
    [[nodiscard]] static std::int64_t addSizes(std::int64_t a, std::int64_t b)
    {
        std::int64_t sum;
        if (!__builtin_add_overflow(a, b, &sum))
            return sum;
        return b > 0 ? std::numeric_limits<std::int64_t>::max() : std::numeric_limits<std::int64_t>::min();
    }

    // A count past the 32-bit range stays at its top (a tree that large would not fit in
    // memory anyway); a negative one reads as 0.
    [[nodiscard]] static std::int32_t clampCount(std::int64_t count)
    {
        return std::int32_t(std::clamp<std::int64_t>(count, 0, std::numeric_limits<std::int32_t>::max()));
    }
    // Seconds since 1970 as a node keeps them: 0 is kept for "not known", so a time at or
    // before 1970 reads as 1 and one past 2106 as the last second that fits.
    [[nodiscard]] static std::uint32_t clampTime(std::int64_t seconds)
    {
        return std::uint32_t(std::clamp<std::int64_t>(seconds, 1, std::numeric_limits<std::uint32_t>::max()));
    }

    FileNode* parent = nullptr; // never owns
    std::int64_t size = 0; // allocated bytes (sum over children for a folder)
    std::int64_t logicalSize = 0; // logical bytes
    std::int32_t fileCount = 0; // non-folder items in the subtree (see clampCount)
    // Last modification, in seconds since 1970 (see clampTime), 0 when not known. A
    // finished folder holds the newest of its own time and its entries'.
    std::uint32_t mtime = 0;
    std::int32_t kind = 2; // kind identifier; the scanner gives every node "Folder"

private:
    std::uint16_t m_nameLength : 15 = 0;
    // Set once by the arena, never changed: the Links block precedes this node.
    std::uint16_t m_hasLinks : 1 = 0;

public:
    NodeFlags flags;

private:
    friend class NodeArena;

    // The children of a folder, stored immediately before the node.
    struct Links {
        FileNode** array = nullptr;
        std::uint32_t count = 0;
    };

    FileNode() = default;
    // The name starts here and runs past the end of the object as far as the arena
    // allocated; never index this member directly.
    char m_nameHead[1] = {};

    [[nodiscard]] const Links* links() const
    {
        return reinterpret_cast<const Links*>(reinterpret_cast<const char*>(this) - sizeof(Links));
    }
    [[nodiscard]] Links* links()
    {
        return reinterpret_cast<Links*>(reinterpret_cast<char*>(this) - sizeof(Links));
    }
    [[nodiscard]] const char* nameBytes() const { return reinterpret_cast<const char*>(this) + kNameOffset; }
    [[nodiscard]] char* nameBytes() { return reinterpret_cast<char*>(this) + kNameOffset; }

public:
    static const std::size_t kNameOffset;
    // Bytes a folder carries in front of its node for its children.
    static const std::size_t kLinksSize;
    // Longest name a node can hold (a root's name is a path, and paths the system
    // accepts are far shorter).
    static constexpr std::size_t kMaxNameLength = 32767;
};

// A file costs this plus its name beyond the first byte; a folder 16 bytes more.
static_assert(sizeof(FileNode) <= 40, "FileNode is the memory bill of a scan: grow it only on purpose");
