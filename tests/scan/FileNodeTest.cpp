// SPDX-License-Identifier: MIT
#include "scan/FileNode.h"
#include "scan/NodeArena.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
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

TEST(FileNode, PathsNeverDoubleTheRootSlash)
{
    NodeArena arena;
    for (const auto& [rootName, expected] :
        std::vector<std::pair<std::string, std::string>> { { "/", "/x/y" }, { "/a/", "/a/x/y" },
            { "/Volumes/Data", "/Volumes/Data/x/y" }, { "rel", "rel/x/y" } }) {
        FileNode* root = folder(arena, rootName);
        FileNode* x = folder(arena, "x", root);
        FileNode* y = file(arena, "y", 1, x);
        EXPECT_EQ(root->path(), rootName);
        EXPECT_EQ(y->path(), expected);
    }
    // A detached pseudo item's path is its display name.
    EXPECT_EQ(arena.make("Free Space", nullptr, 5, 0, 0, 0, NodeFlags::Pseudo)->path(), "Free Space");
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
    EXPECT_EQ(first.chunkCount(), 1u) << "a chunk of its own";
    EXPECT_EQ(second.chunkCount(), 1u);

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
