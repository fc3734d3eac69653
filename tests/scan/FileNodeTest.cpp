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

std::vector<std::string> namesOf(const FileNode* node)
{
    std::vector<std::string> names;
    for (const FileNode* child : node->children())
        names.emplace_back(child->name());
    return names;
}

// Each name made as a folder holding a file of the same name, so that neighbours written
// later would overwrite earlier names; the root's slash is never doubled.
TEST(FileNode, NamesAndPathsSurviveOddBytesLengthsAndRoots)
{
    NodeArena arena;
    for (const std::string root : { "/", "/a/", "/Volumes/Data", "rel" }) {
        std::vector<std::pair<FileNode*, std::string>> made;
        FileNode* top = folder(arena, root);
        const std::string base = root.ends_with('/') ? root : root + "/";
        for (const std::string& name :
            { std::string(), std::string("x"), std::string("1234567"), std::string("12345678"),
                std::string("\xff\xfe not utf-8"), std::string("line\nbreak"), std::string(255, 'n') }) {
            made.emplace_back(folder(arena, name, top), base + name);
            made.emplace_back(file(arena, name, 5, made.back().first), base + name + "/" + name);
        }
        EXPECT_EQ(top->path(), root);
        for (const auto& [node, path] : made)
            EXPECT_EQ(node->path(), path);
    }
    // A detached pseudo item's path is its display name.
    EXPECT_EQ(arena.make("Free Space", nullptr, 5, 0, 0, 0, NodeFlags::Pseudo)->path(), "Free Space");
}

// Names of code points below U+0300 compare by their bytes; every other name goes
// through NFC. Both ways must give one order, by code point, without case folding;
// equal keys keep their listing order.
TEST(FileNode, PlainAndNormalisedNamesShareOneOrder)
{
    const std::string eAcute = "\xc3\xa9", eDecomposed = "e\xcc\x81", eGrave = "\xc3\xa8",
                      yDiaeresis = "\xc3\xbf", lastPlain = "\xcb\xbf", loneMark = "\xcc\x80", broken = "\xff",
                      truncated = "\xc3";
    const std::pair<std::vector<std::string>, std::vector<std::string>> cases[] = {
        { { yDiaeresis, lastPlain, eAcute, "z", eGrave, "a", "B" },
            { "B", "a", "z", eGrave, eAcute, yDiaeresis, lastPlain } },
        { { broken, loneMark, yDiaeresis, eDecomposed, lastPlain, eAcute, truncated, "z", eGrave },
            { "z", eGrave, eDecomposed, eAcute, yDiaeresis, lastPlain, loneMark, broken, truncated } },
        { { eAcute, eDecomposed }, { eAcute, eDecomposed } },
    };
    for (const auto& [names, expected] : cases) {
        NodeArena arena;
        FileNode* parent = folder(arena, "/p");
        std::vector<FileNode*> kids;
        for (const std::string& name : names)
            kids.push_back(file(arena, name, 3));
        arena.adoptChildren(parent, kids);
        parent->sortChildren();
        EXPECT_EQ(namesOf(parent), expected);
    }
}

// Giving children to a node made as a file must change nothing, least of all the
// neighbouring node in front of it, where a folder keeps its children.
TEST(FileNode, ChildOperationsOnAFileChangeNothing)
{
    NodeArena arena;
    FileNode* root = folder(arena, "/r");
    std::vector<FileNode*> files { file(arena, "before", 11, root), file(arena, "leaf", 22, root),
        file(arena, "after", 33, root) };
    arena.adoptChildren(root, files);
    FileNode* leaf = files[1];
    FileNode* stranger = file(arena, "stranger", 44);
    FileNode* array[2] = { stranger, stranger };
    leaf->setChildren(array, 2);
    arena.adoptChildren(leaf, std::vector<FileNode*> { stranger });
    arena.appendChild(leaf, stranger);
    leaf->removeChildAt(0);
    leaf->sortChildren();
    leaf->flags.insert(NodeFlags::Directory); // given after birth: still no room for children
    arena.appendChild(leaf, stranger);
    root->removeChildAt(7); // out of range: ignored
    EXPECT_EQ(leaf->indexOfChild(stranger), -1);
    EXPECT_EQ(stranger->parent, nullptr);
    EXPECT_EQ(namesOf(root), (std::vector<std::string> { "before", "leaf", "after" }));
    for (const FileNode* node : files)
        EXPECT_EQ(std::tuple(node->parent, node->childCount(), node->logicalSize),
            std::tuple(root, 0u, node->size));
    EXPECT_EQ(std::tuple(files[0]->size, leaf->size, files[2]->size), std::tuple(11, 22, 33));
}

// Allocating from a moved-from arena used to bump into memory now owned by the arena it
// moved to, overwriting the nodes that follow.
TEST(NodeArena, MovedFromArenaNoLongerWritesIntoTheChunksItGaveAway)
{
    FileTree tree;
    tree.root = folder(tree.arena, "/t");
    FileTree moved = std::move(tree);
    FileNode* fresh = file(tree.arena, "fresh", 9);
    FileNode* sibling = file(moved.arena, "sibling", 4, moved.root);
    EXPECT_EQ(std::tuple(fresh->name(), fresh->size, sibling->name(), sibling->size, moved.root->name()),
        std::tuple("fresh", 9, "sibling", 4, "/t"));
    EXPECT_EQ(std::pair(tree.arena.chunkCount(), moved.arena.chunkCount()),
        std::pair(std::size_t(1), std::size_t(1)));
}

} // namespace
