// SPDX-License-Identifier: MIT
#include "support/TestTree.h"
#include "treemap/Treemap.h"
#include "treemap/TreemapLayout.h"

#include <gtest/gtest.h>

#include <cmath>
#include <utility>

namespace {

using Placed = std::vector<std::pair<FileNode*, TMRect>>;

Placed layout(const FileNode& parent, TMRect r)
{
    Placed out;
    Treemap::layoutChildren(parent, r, [&](FileNode* child, const TMRect& cr) { out.emplace_back(child, cr); });
    return out;
}

TEST(Layout, EqualPairInASquareSplitsItIntoTopAndBottomHalves)
{
    // Worst ratio 2 before and after adding the second child: the tie joins the row, and
    // a square free rectangle takes a vertical strip, here the whole width.
    TestTree t;
    FileNode* a = t.file("a", 7);
    FileNode* b = t.file("b", 7);
    FileNode* root = t.folder("r", {a, b});
    const Placed placed = layout(*root, {0, 0, 10, 10});
    ASSERT_EQ(placed.size(), 2u);
    EXPECT_EQ(placed[0].first, a);
    EXPECT_EQ(placed[0].second, (TMRect{0, 0, 10, 5}));
    EXPECT_EQ(placed[1].second, (TMRect{0, 5, 10, 10}));
}

TEST(Layout, RowsFollowTheAspectRuleAndTheLastItemOfARowEndsAtTheEdge)
{
    TestTree t;
    FileNode* root = t.folder("r", {t.file("a", 6), t.file("b", 6), t.file("c", 4), t.file("d", 3),
                                    t.file("e", 2), t.file("f", 2), t.file("g", 1)});
    const Placed p = layout(*root, {0, 0, 6, 4});
    ASSERT_EQ(p.size(), 7u);
    // First row: the two 6s, a vertical strip of half the width.
    EXPECT_EQ(p[0].second, (TMRect{0, 0, 3, 2}));
    EXPECT_EQ(p[1].second, (TMRect{0, 2, 3, 4}));
    // Second row in the taller free part: a horizontal strip of 4 and 3 along the top.
    const double bottom = 4 * (7.0 / 12.0);
    EXPECT_EQ(p[2].second, (TMRect{3, 0, 3 + 3 * (4.0 / 7.0), bottom}));
    EXPECT_EQ(p[3].second, (TMRect{3 + 3 * (4.0 / 7.0), 0, 6, bottom}));
    // The last item reaches the parent's corner exactly.
    EXPECT_EQ(p[6].second.x1, 6);
    EXPECT_EQ(p[6].second.y1, 4);
}

TEST(Layout, ZeroSizedChildrenGetNothingAndTheLastPositiveRowFillsTheRest)
{
    TestTree t;
    FileNode* zero1 = t.file("y", 0);
    FileNode* zero2 = t.file("z", 0);
    FileNode* root = t.folder("r", {t.file("a", 5), t.file("b", 3), zero1, zero2});
    const Placed p = layout(*root, {0, 0, 40, 10});
    ASSERT_EQ(p.size(), 2u);
    EXPECT_EQ(p.back().second.x1, 40);
    EXPECT_EQ(p.back().second.y1, 10);
    EXPECT_FALSE(Treemap::rect(zero1, root, {0, 0, 40, 10}, false));
    EXPECT_FALSE(Treemap::rect(zero2, root, {0, 0, 40, 10}, false));
}

TEST(Layout, InconsistentFolderGivesItsRemainderToTheFinalRow)
{
    // The folder claims 160 bytes but its children hold 80: rows are sized against 160,
    // so the first row is thinner than its share and the final row takes what is left.
    TestTree t;
    FileNode* root = t.folder("r", {t.file("a", 50), t.file("b", 10), t.file("c", 10), t.file("d", 10)});
    root->size = 160;
    const Placed p = layout(*root, {0, 0, 100, 100});
    ASSERT_EQ(p.size(), 4u);
    EXPECT_EQ(p[0].second, (TMRect{0, 0, 37.5, 100 * (50.0 / 60.0)}));
    EXPECT_EQ(p[1].second, (TMRect{0, 100 * (50.0 / 60.0), 37.5, 100}));
    EXPECT_EQ(p[2].second, (TMRect{37.5, 0, 68.75, 100}));
    EXPECT_EQ(p[3].second, (TMRect{68.75, 0, 100, 100}));
}

TEST(Layout, NothingIsLaidOutIntoADegenerateRectangleOrForAnEmptyTotal)
{
    TestTree t;
    FileNode* root = t.folder("r", {t.file("a", 5), t.file("b", 3)});
    EXPECT_TRUE(layout(*root, {0, 0, 0, 10}).empty());
    EXPECT_TRUE(layout(*root, {5, 5, 5, 4}).empty());
    root->size = 0;
    EXPECT_TRUE(layout(*root, {0, 0, 10, 10}).empty());
    EXPECT_FALSE(Treemap::isSubdivided(*root, {0, 0, 10, 10}, false));
}

TEST(Layout, RandomFoldersAreTiledInProportionToSize)
{
    std::mt19937_64 rng(7);
    for (int round = 0; round < 40; ++round) {
        TestTree t;
        FileNode* root = t.random(rng, 3, 12);
        const TMRect in{3, 2, 3 + 700, 2 + 300};
        for (FileNode* node : allNodes(root)) {
            const auto r = Treemap::rect(node, root, in, true);
            if (!r || !Treemap::isSubdivided(*node, *r, true))
                continue;
            double covered = 0;
            TMRect previous{};
            for (const auto& [child, cr] : layout(*node, *r)) {
                EXPECT_GE(cr.x0, r->x0);
                EXPECT_GE(cr.y0, r->y0);
                EXPECT_LE(cr.x1, r->x1);
                EXPECT_LE(cr.y1, r->y1);
                const double share = double(child->size) / double(node->size);
                EXPECT_NEAR(cr.width() * cr.height() / (r->width() * r->height()), share, 1e-9);
                // Each item starts where the previous one ended, or on a strip's edge.
                EXPECT_TRUE(cr.x0 == previous.x1 || cr.y0 == previous.y1 || cr.x0 == r->x0 || cr.y0 == r->y0);
                covered += cr.width() * cr.height();
                previous = cr;
            }
            EXPECT_NEAR(covered, r->width() * r->height(), 1e-6 * r->width() * r->height());
        }
    }
}

TEST(Layout, ScalingTheOuterRectangleScalesEveryRectangleExactly)
{
    std::mt19937_64 rng(11);
    for (int round = 0; round < 20; ++round) {
        TestTree t;
        FileNode* root = t.random(rng, 4, 9);
        for (FileNode* node : allNodes(root)) {
            const auto small = Treemap::rect(node, root, {0, 0, 300, 170}, false);
            const auto large = Treemap::rect(node, root, {0, 0, 600, 340}, false);
            ASSERT_EQ(small.has_value(), large.has_value());
            if (small) {
                EXPECT_EQ(*large, (TMRect{2 * small->x0, 2 * small->y0, 2 * small->x1, 2 * small->y1}));
            }
        }
    }
}

} // namespace
