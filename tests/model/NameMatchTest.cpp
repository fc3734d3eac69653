// SPDX-License-Identifier: MIT
#include "model/NameSearch.h"
#include "scan/ExcludePatterns.h"
#include "support/TreeBuilder.h"

#include <QString>

#include <gtest/gtest.h>

#include <random>

namespace {

std::string folded(const std::string& text)
{
    return QString::fromUtf8(text.data(), qsizetype(text.size())).toCaseFolded().toStdString();
}

// Names and queries made of pieces on the edges of case folding ('@' and '`' differ in
// the bit that 'A' and 'a' do; U+212A KELVIN SIGN folds to 'k'; 0xff is not UTF-8), of
// every length around 8-byte words: a match is what folding both sides and searching
// (or globbing) gives.
TEST(NameMatchTest, AgreesWithFoldingBothSides)
{
    const std::vector<std::string> pieces = { "a", "A", "k", "K", "@", "`", "[", "{", "z", "Z", "-", "?",
        "\xe2\x84\xaa", "\xc3\xa9", "\xc3\x89", "\xff" };
    std::mt19937 random(15);
    auto text = [&](std::size_t most) {
        std::string made;
        for (std::size_t n = random() % most + 1; n > 0; --n)
            made += pieces[random() % pieces.size()];
        return made;
    };
    int globs = 0;
    for (int round = 0; round < 30000; ++round) {
        const std::string name = text(20);
        std::string query = random() % 2 ? name.substr(random() % name.size(), 1 + random() % 5) : text(3);
        if (round % 3 == 0)
            query = (random() % 2 ? "*" : "") + query + (random() % 2 ? "*" : "?*");
        std::string error;
        const auto search = NameSearch::compile(query, false, error);
        if (!search)
            continue; // an unbalanced '['
        const bool glob = query.find_first_of("*?[") != std::string::npos;
        globs += glob;
        const bool expected = glob ? ExcludePatterns::match(folded(query), folded(name))
                                   : folded(name).find(folded(query)) != std::string::npos;
        ASSERT_EQ(search->matches(name), expected) << '"' << query << "\" in \"" << name << '"';
    }
    EXPECT_GT(globs, 5000);
}

// A chain of 100,000 folders, a file in each: no walk recurses, a match inside a matching
// folder adds nothing to the total, and a list of equal sizes and names keeps an order.
TEST(NameMatchTest, HundredThousandLevels)
{
    TreeBuilder b("/deep");
    FileNode* folder = b.root();
    for (int i = 0; i < 100'000; ++i) {
        b.file(folder, "leaf", 1);
        folder = b.folder(folder, "Level.d");
    }
    const FileTree tree = b.finish();
    const std::atomic<bool> never { false };
    std::string error;
    for (const char* query : { "level", "EAF" }) {
        const auto found = NameSearch::compile(query, false, error)->run(tree.root, never);
        ASSERT_TRUE(found);
        EXPECT_EQ(found->items.size(), 100'000u) << query;
        EXPECT_EQ(
            found->size, query[0] == 'l' ? tree.root->child(0)->size : 100'000 * tree.root->child(1)->size);
    }
}

} // namespace
