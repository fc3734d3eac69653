// SPDX-License-Identifier: MIT
#include "model/NameSearch.h"
#include "model/NodeSet.h"
#include "scan/ExcludePatterns.h"
#include "support/TreeBuilder.h"

#include <QString>

#include <gtest/gtest.h>

#include <random>
#include <set>

namespace {

// Pieces on the edges of folding ('@' and '`' differ in the bit 'A' and 'a' do, U+212A
// folds to 'k', 0xff is not UTF-8): a match is what folding both sides and searching gives.
TEST(NameMatchTest, AgreesWithFoldingBothSides)
{
    const std::vector<std::string> pieces = { "a", "A", "k", "K", "@", "`", "]", "{", "z", "Z", "-", "?",
        "\xe2\x84\xaa", "\xc3\xa9", "\xc3\x89", "\xff" };
    std::mt19937 random(15);
    auto folded = [](const std::string& t) { return QString::fromStdString(t).toCaseFolded().toStdString(); };
    auto text = [&](std::size_t most) {
        std::string made;
        for (std::size_t n = random() % most + 1; n > 0; --n)
            made += pieces[random() % pieces.size()];
        return made;
    };
    for (int round = 0; round < 30000; ++round) {
        const std::string name = text(20);
        std::string query = random() % 2 ? name.substr(random() % name.size(), 1 + random() % 5) : text(3);
        if (round % 3 == 0)
            query = (random() % 2 ? "*" : "") + query + (random() % 2 ? "*" : "?*");
        std::string error;
        const bool expected = query.find_first_of("*?[") != std::string::npos
            ? ExcludePatterns::match(folded(query), folded(name))
            : folded(name).find(folded(query)) != std::string::npos;
        ASSERT_EQ(NameSearch::compile(query, false, error).value().matches(name), expected)
            << '"' << query << "\" in \"" << name << '"';
    }
}

// No walk recurses; a match inside a matching folder adds nothing to the total.
TEST(NameMatchTest, HundredThousandLevels)
{
    TreeBuilder b("/deep");
    FileNode* folder = b.root();
    for (int i = 0; i < 100'000; ++i) {
        b.file(folder, "leaf", 1);
        folder = b.folder(folder, "Level.d");
    }
    const FileTree tree = b.finish();
    std::string error;
    const auto found = NameSearch::compile("level", false, error)->run(tree.root, std::atomic<bool>(false));
    EXPECT_EQ(std::pair(found->items.size(), found->size),
        std::pair(std::size_t(100'000), tree.root->child(0)->size));
}

// Addresses compared, never read: each listed one (null aside) is held, nothing else.
TEST(NameMatchTest, NodeSetHoldsWhatItWasGiven)
{
    std::mt19937 random(7);
    auto node = [](std::size_t i) { return reinterpret_cast<const FileNode*>(std::uintptr_t(64 + 48 * i)); };
    for (const std::size_t count : { 0, 1, 2, 5, 1000, 70'000 }) {
        std::vector<const FileNode*> listed = { nullptr };
        for (std::size_t i = 0; i < count; ++i)
            listed.push_back(node(random() % (2 * count)));
        const NodeSet set(listed);
        const std::set<const FileNode*> expected(listed.begin() + 1, listed.end());
        for (std::size_t i = 0; i < 2 * count + 2; ++i)
            ASSERT_EQ(set.contains(node(i)), expected.contains(node(i))) << count << ' ' << i;
        EXPECT_EQ(set.size(), expected.size());
    }
}

} // namespace
