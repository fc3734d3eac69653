// SPDX-License-Identifier: MIT
#include "scan/FileNode.h"
#include "scan/NodeArena.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <tuple>
#include <vector>

namespace {

FileNode* makeFolder(NodeArena& arena, std::string_view name, FileNode* parent = nullptr)
{
    return arena.make(name, parent, 0, 0, 0, 2, NodeFlags::Directory);
}

FileNode* makeFile(NodeArena& arena, std::string_view name, std::int64_t size, FileNode* parent = nullptr)
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

} // namespace

// Giving children to a node made as a file must change nothing, least of all the
// neighbouring node in front of it, where a folder keeps its children.
TEST(NodeLayout, ChildOperationsOnAFileChangeNothing)
{
    NodeArena arena;
    FileNode* root = makeFolder(arena, "/r");
    FileNode* before = makeFile(arena, "before", 11, root);
    FileNode* leaf = makeFile(arena, "leaf", 22, root);
    FileNode* after = makeFile(arena, "after", 33, root);
    arena.adoptChildren(root, std::vector<FileNode*> { before, leaf, after });
    FileNode* stranger = makeFile(arena, "stranger", 44);
    FileNode* array[2] = { stranger, stranger };

    leaf->setChildren(array, 2);
    arena.adoptChildren(leaf, std::vector<FileNode*> { stranger });
    arena.appendChild(leaf, stranger);
    leaf->removeChildAt(0);
    leaf->sortChildren();
    // The directory flag given after birth does not make room for children either.
    leaf->flags.insert(NodeFlags::Directory);
    arena.appendChild(leaf, stranger);
    root->removeChildAt(7); // out of range: ignored

    EXPECT_EQ(leaf->indexOfChild(stranger), -1);
    EXPECT_EQ(stranger->parent, nullptr);
    const std::tuple<FileNode*, const char*, std::int64_t> expected[]
        = { { before, "before", 11 }, { leaf, "leaf", 22 }, { after, "after", 33 } };
    for (const auto& [node, name, size] : expected) {
        EXPECT_EQ(node->parent, root);
        EXPECT_EQ(node->childCount(), 0u);
        EXPECT_EQ(node->name(), name);
        EXPECT_EQ(node->size, size);
        EXPECT_EQ(node->logicalSize, size);
    }
    EXPECT_EQ(namesOf(root), (std::vector<std::string> { "before", "leaf", "after" }));
}

TEST(NodeLayout, NamesAndPathsOfFilesAndFoldersSurviveOddBytesAndLengths)
{
    NodeArena arena;
    const std::string longest(255, 'n');
    const std::vector<std::string> names {
        "",
        "x",
        "1234567",
        "12345678",
        "\xff\xfe not utf-8",
        "line\nbreak",
        "tab\there",
        longest,
    };
    FileNode* root = makeFolder(arena, "/base/");
    std::vector<FileNode*> made;
    for (const std::string& name : names) {
        made.push_back(makeFolder(arena, name, root));
        made.push_back(makeFile(arena, name, 5, made.back()));
    }
    // Neighbours written later must not overwrite earlier names.
    for (std::size_t i = 0; i < names.size(); ++i) {
        const FileNode* folder = made[2 * i];
        const FileNode* file = made[2 * i + 1];
        EXPECT_EQ(folder->name(), names[i]);
        EXPECT_EQ(file->name(), names[i]);
        EXPECT_EQ(folder->path(), "/base/" + names[i]);
        EXPECT_EQ(file->path(), "/base/" + names[i] + "/" + names[i]);
    }
}

// Names of code points below U+0300 compare by their bytes; every other name goes
// through NFC. Both ways must give one order, whichever mix a folder holds.
TEST(NodeLayout, PlainAndNormalisedNamesShareOneOrder)
{
    const std::string eAcute = "\xc3\xa9"; // é, U+00E9
    const std::string eDecomposed = "e\xcc\x81"; // e + U+0301: é after NFC
    const std::string eGrave = "\xc3\xa8"; // è, U+00E8
    const std::string yDiaeresis = "\xc3\xbf"; // ÿ, U+00FF
    const std::string lastPlain = "\xcb\xbf"; // U+02FF
    const std::string loneMark = "\xcc\x80"; // U+0300, nothing to combine with
    const std::string broken = "\xff"; // U+FFFD once decoded
    const std::string truncated = "\xc3"; // U+FFFD too

    NodeArena arena;
    FileNode* plainOnly = makeFolder(arena, "/p");
    std::vector<FileNode*> plainKids;
    for (const std::string& name :
        { yDiaeresis, lastPlain, eAcute, std::string("z"), eGrave, std::string("a"), std::string("B") })
        plainKids.push_back(makeFile(arena, name, 3));
    arena.adoptChildren(plainOnly, plainKids);
    plainOnly->sortChildren();
    // By code point: no case folding.
    EXPECT_EQ(namesOf(plainOnly),
        (std::vector<std::string> { "B", "a", "z", eGrave, eAcute, yDiaeresis, lastPlain }));

    FileNode* mixed = makeFolder(arena, "/m");
    std::vector<FileNode*> mixedKids;
    for (const std::string& name :
        { broken, loneMark, yDiaeresis, eDecomposed, lastPlain, eAcute, truncated, std::string("z"), eGrave })
        mixedKids.push_back(makeFile(arena, name, 3));
    arena.adoptChildren(mixed, mixedKids);
    mixed->sortChildren();
    // Equal keys keep their listing order: the decomposed é before the precomposed one,
    // the invalid byte before the truncated sequence.
    EXPECT_EQ(namesOf(mixed),
        (std::vector<std::string> {
            "z", eGrave, eDecomposed, eAcute, yDiaeresis, lastPlain, loneMark, broken, truncated }));
    for (std::size_t i = 0; i + 1 < mixed->childCount(); ++i)
        EXPECT_FALSE(FileNode::precedes(*mixed->child(i + 1), *mixed->child(i))) << i;
    EXPECT_TRUE(FileNode::precedes(*plainKids[2], *mixedKids[0])); // é before U+FFFD
    EXPECT_FALSE(FileNode::precedes(*mixedKids[3], *mixedKids[5])); // the two é are equal
    EXPECT_FALSE(FileNode::precedes(*mixedKids[5], *mixedKids[3]));
}
