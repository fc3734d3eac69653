// SPDX-License-Identifier: MIT
#include "model/TreeQueries.h"
#include "support/TreeBuilder.h"
#include "support/TreeChecks.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <unordered_set>

// On random trees with random choices (a pseudo item among them), against what a walk
// down from each chosen node finds: the outermost items are the real ones no other
// chosen node holds, in their given order; the unreadable folders are those of a walk in
// child order, cut at the limit but all counted.
TEST(TreeQueries, OutermostItemsAndUnreadableFoldersAgreeWithAWalkDown)
{
    std::mt19937_64 rng(13);
    for (int round = 0; round < 40; ++round) {
        TreeBuilder t;
        FileNode* root = t.random(rng, 5, 6);
        const std::vector<FileNode*> all = preOrder(root);
        std::vector<FileNode*> chosen { t.file("Free Space", 5) };
        chosen[0]->flags.insert(NodeFlags::Pseudo);
        std::vector<std::string> unreadable;
        for (FileNode* node : all) {
            if (rng() % 4 == 0)
                chosen.push_back(node);
            if (node->isDirectory() && rng() % 5 == 0) {
                node->flags.insert(NodeFlags::Unreadable);
                unreadable.push_back(node->path());
            }
        }
        std::shuffle(chosen.begin(), chosen.end(), rng);
        std::unordered_set<const FileNode*> inside;
        for (const FileNode* node : chosen) {
            const std::vector<FileNode*> below = preOrder(node);
            inside.insert(below.begin() + 1, below.end());
        }
        std::vector<FileNode*> expected;
        std::copy_if(chosen.begin(), chosen.end(), std::back_inserter(expected), [&](const FileNode* node) {
            return !inside.contains(node) && !node->flags.contains(NodeFlags::Pseudo);
        });
        EXPECT_EQ(TreeQueries::outermost(chosen), expected) << "round " << round;

        const TreeQueries::UnreadableFolders found = TreeQueries::unreadableFolders(root, 3);
        EXPECT_EQ(found.total, unreadable.size());
        unreadable.resize(std::min<std::size_t>(unreadable.size(), 3));
        EXPECT_EQ(found.paths, unreadable);
    }
}
