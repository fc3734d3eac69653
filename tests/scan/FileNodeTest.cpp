// SPDX-License-Identifier: MIT
#include "scan/FileNode.h"
#include "scan/NodeArena.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

FileNode* folder(NodeArena& arena, std::string_view name, FileNode* parent = nullptr)
{
    return arena.make(name, parent, 0, 0, 0, 2, NodeFlags::Directory);
}

FileNode* file(NodeArena& arena, std::string_view name, std::int64_t size, FileNode* parent = nullptr)
{
    return arena.make(name, parent, size, size, 1, 2, NodeFlags());
}

std::vector<std::string> namesOf(const FileNode* node)
{
    std::vector<std::string> names;
    for (const FileNode* child : node->children())
        names.emplace_back(child->name());
    return names;
}

TEST(FileNode, PathsNeverDoubleTheRootSlash)
{
    NodeArena arena;
    for (const auto& [rootName, expected] : std::vector<std::pair<std::string, std::string>> {
             {"/", "/x/y"}, {"/a/", "/a/x/y"}, {"/Volumes/Data", "/Volumes/Data/x/y"}, {"rel", "rel/x/y"}}) {
        FileNode* root = folder(arena, rootName);
        FileNode* x = folder(arena, "x", root);
        FileNode* y = file(arena, "y", 1, x);
        EXPECT_EQ(root->path(), rootName);
        EXPECT_EQ(y->path(), expected);
    }
    // A detached pseudo item's path is its display name.
    EXPECT_EQ(arena.make("Free Space", nullptr, 5, 0, 0, 0, NodeFlags::Pseudo)->path(), "Free Space");
}

TEST(FileNode, AncestorsRunFromTheTopDown)
{
    NodeArena arena;
    FileNode* root = folder(arena, "/");
    FileNode* a = folder(arena, "a", root);
    FileNode* b = folder(arena, "b", a);
    EXPECT_TRUE(root->ancestors().empty());
    EXPECT_EQ(a->ancestors(), std::vector<FileNode*>({root}));
    EXPECT_EQ(b->ancestors(), std::vector<FileNode*>({root, a}));
    EXPECT_TRUE(b->hasAncestor(root));
    EXPECT_FALSE(root->hasAncestor(b));
    EXPECT_EQ(b->depth(), 2u);
}

TEST(FileNode, NamesKeepTheirBytesIncludingInvalidUtf8)
{
    NodeArena arena;
    const std::string odd("\xff\xfe\nname\x80", 8);
    const std::string longest(255, 'n');
    FileNode* root = folder(arena, "/r");
    EXPECT_EQ(file(arena, odd, 1, root)->name(), odd);
    EXPECT_EQ(file(arena, longest, 1, root)->path(), "/r/" + longest);
    EXPECT_EQ(file(arena, "", 1, root)->name(), "");
}

TEST(FileNode, ChildOrderIsSizeThenCodePointsAfterNfc)
{
    NodeArena arena;
    FileNode* root = folder(arena, "/");
    std::vector<FileNode*> kids;
    // Equal sizes: "B" (0x42) before "a" (0x61); the decomposed "e\u0301" is U+00E9 after
    // NFC and so comes after "f", although its first byte is smaller.
    for (const char* name : {"b", "f", "e\xcc\x81", "B", "a", "\xc3\xa9"})
        kids.push_back(file(arena, name, 10));
    kids.push_back(file(arena, "zzz", 500));
    kids.push_back(folder(arena, "empty"));
    arena.adoptChildren(root, kids);
    root->sortChildren();
    // The two forms of é are equal after NFC: the stable sort keeps their listing order.
    EXPECT_EQ(namesOf(root), std::vector<std::string>({"zzz", "B", "a", "b", "f", "e\xcc\x81", "\xc3\xa9", "empty"}));
    EXPECT_TRUE(FileNode::precedes(*kids[3], *kids[4]));
    EXPECT_FALSE(FileNode::precedes(*kids[2], *kids[5]));
    EXPECT_FALSE(FileNode::precedes(*kids[5], *kids[2]));
}

TEST(FileNode, AsciiOrderMatchesTheGeneralOrder)
{
    // The ASCII fast path must agree with the normalising comparison.
    NodeArena arena;
    FileNode* root = folder(arena, "/");
    std::vector<FileNode*> kids;
    for (const char* name : {"a-b", "a.b", "a_b", "A", "~", "0", "ab", "a"})
        kids.push_back(file(arena, name, 7));
    kids.push_back(file(arena, "\xc3\xa0", 7)); // à forces the normalising path
    arena.adoptChildren(root, kids);
    root->sortChildren();
    EXPECT_EQ(namesOf(root), std::vector<std::string>({"0", "A", "a", "a-b", "a.b", "a_b", "ab", "~", "\xc3\xa0"}));
}

TEST(NodeFlags, SetOperations)
{
    NodeFlags flags {NodeFlags::Directory, NodeFlags::Package};
    EXPECT_EQ(flags.raw(), 0x03);
    flags.remove(NodeFlags::Package);
    EXPECT_EQ(flags.raw(), 0x01);
    EXPECT_TRUE((NodeFlags {NodeFlags::Directory, NodeFlags::Unreadable}).contains(NodeFlags::Unreadable));
    EXPECT_TRUE(NodeFlags(NodeFlags::Symlink).isDisjoint(NodeFlags::Directory));
    EXPECT_EQ((NodeFlags {NodeFlags::Symlink, NodeFlags::Pseudo} - NodeFlags::Pseudo).raw(), 0x04);
}

TEST(NodeArena, MovedFromArenaNoLongerWritesIntoTheChunksItGaveAway)
{
    NodeArena first;
    FileNode* kept = first.make("kept", nullptr, 1, 1, 1, 2, NodeFlags());
    NodeArena second(std::move(first));
    // Allocating from the moved-from arena used to bump into memory now owned by
    // `second`, overwriting nodes that follow.
    FileNode* fresh = first.make("fresh", nullptr, 2, 2, 1, 2, NodeFlags());
    FileNode* next = second.make("next", nullptr, 3, 3, 1, 2, NodeFlags());
    EXPECT_EQ(kept->name(), "kept");
    EXPECT_EQ(next->name(), "next");
    EXPECT_EQ(next->size, 3);
    EXPECT_EQ(fresh->name(), "fresh");
    EXPECT_GE(first.reservedBytes() + second.reservedBytes(), 2 * (std::size_t(1) << 20));

    FileTree tree;
    tree.root = tree.arena.make("/t", nullptr, 0, 0, 0, 2, NodeFlags::Directory);
    FileTree moved = std::move(tree);
    FileNode* other = tree.arena.make("other", nullptr, 9, 9, 1, 2, NodeFlags());
    FileNode* sibling = moved.arena.make("sibling", moved.root, 4, 4, 1, 2, NodeFlags());
    EXPECT_EQ(other->size, 9);
    EXPECT_EQ(sibling->name(), "sibling");
    EXPECT_EQ(moved.root->name(), "/t");
}

} // namespace
