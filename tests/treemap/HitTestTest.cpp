// SPDX-License-Identifier: MIT
#include "support/TestTree.h"
#include "treemap/Treemap.h"
#include "treemap/TreemapLayout.h"

#include <gtest/gtest.h>

namespace {

TEST(HitTest, EdgesAreHalfOpenAndASharedEdgeBelongsToTheRightOrLowerNeighbour)
{
    TestTree t;
    FileNode* left = t.file("a", 1);
    FileNode* right = t.file("b", 1);
    FileNode* wide = t.folder("w", {left, right});
    const TMRect in{0, 0, 20, 10};
    EXPECT_EQ(Treemap::rect(left, wide, in, false), (TMRect{0, 0, 10, 10}));
    EXPECT_EQ(Treemap::hitTest(wide, in, 10, 3, false), right);
    EXPECT_EQ(Treemap::hitTest(wide, in, 9.999, 3, false), left);
    EXPECT_EQ(Treemap::hitTest(wide, in, 0, 0, false), left);
    EXPECT_EQ(Treemap::hitTest(wide, in, 20, 3, false), nullptr);
    EXPECT_EQ(Treemap::hitTest(wide, in, 5, 10, false), nullptr);
    EXPECT_EQ(Treemap::hitTest(wide, in, -0.001, 3, false), nullptr);

    FileNode* top = t.file("a", 4);
    FileNode* bottom = t.file("b", 4);
    FileNode* square = t.folder("s", {top, bottom});
    EXPECT_EQ(Treemap::hitTest(square, {0, 0, 8, 8}, 2, 4, false), bottom);
    EXPECT_EQ(Treemap::hitTest(square, {0, 0, 8, 8}, 2, 3.999, false), top);
}

TEST(HitTest, ARootOfSizeZeroHasNoHitsAndItsDescendantsNoRectangles)
{
    TestTree t;
    FileNode* empty = t.file("e", 0);
    FileNode* root = t.folder("r", {t.folder("d", {empty})});
    EXPECT_EQ(root->size, 0);
    for (double x : {0.0, 3.5, 9.9})
        EXPECT_EQ(Treemap::hitTest(root, {0, 0, 10, 10}, x, x, false), nullptr);
    EXPECT_FALSE(Treemap::rect(empty, root, {0, 0, 10, 10}, false));
    EXPECT_EQ(Treemap::rect(root, root, {0, 0, 10, 10}, false), (TMRect{0, 0, 10, 10}));
    // The root's own rectangle comes back as given, even degenerate.
    EXPECT_EQ(Treemap::rect(root, root, {4, 4, 2, 2}, false), (TMRect{4, 4, 2, 2}));
}

TEST(HitTest, HiddenPackageContentsAreNeitherHitNorOutlined)
{
    TestTree t;
    FileNode* inner = t.file("bin", 60);
    FileNode* package = t.folder("Tool.app", {inner, t.file("res", 40)}, NodeFlags::Package, 6);
    FileNode* root = t.folder("r", {package, t.file("doc", 50)});
    const TMRect in{0, 0, 300, 200};
    const TMRect packageRect = *Treemap::rect(package, root, in, false);
    const TMRect innerShown = *Treemap::rect(inner, root, in, true);
    const double x = (innerShown.x0 + innerShown.x1) / 2;
    const double y = (innerShown.y0 + innerShown.y1) / 2;
    ASSERT_TRUE(packageRect.contains(x, y));

    EXPECT_EQ(Treemap::hitTest(root, in, x, y, false), package);
    EXPECT_FALSE(Treemap::rect(inner, root, in, false));
    EXPECT_EQ(Treemap::hitTest(root, in, x, y, true), inner);
}

TEST(HitTest, AFileTooSmallForAPixelIsStillHit)
{
    TestTree t;
    FileNode* tiny = t.file("tiny", 1);
    FileNode* root = t.folder("r", {t.file("huge", 1'000'000'000), tiny});
    const TMRect in{0, 0, 100, 100};
    const TMRect r = *Treemap::rect(tiny, root, in, false);
    EXPECT_LT(r.width() * r.height(), 1e-4);
    EXPECT_EQ(Treemap::hitTest(root, in, (r.x0 + r.x1) / 2, (r.y0 + r.y1) / 2, false), tiny);
}

TEST(HitTest, NodesOutsideTheRootOrUnderADeepChainAreHandledWithoutRecursion)
{
    TestTree t;
    FileNode* top = t.chain(100'000, 4096);
    FileNode* leaf = top;
    while (leaf->hasChildren())
        leaf = leaf->child(0);
    const TMRect in{0, 0, 640, 480};
    EXPECT_EQ(Treemap::hitTest(top, in, 1, 1, false), leaf);
    EXPECT_EQ(Treemap::rect(leaf, top, in, false), in);
    FileNode* stranger = t.file("x", 10);
    EXPECT_FALSE(Treemap::rect(stranger, top, in, false));
    EXPECT_FALSE(Treemap::rect(top, leaf, in, false)); // an ancestor is not below its descendant
}

// For every sampled point: the hit has a rectangle that contains the point, so do all
// its ancestors, and no child of a hit folder does (it was a sliver).
TEST(HitTest, AgreesWithRectangleLookupOnRandomTrees)
{
    std::mt19937_64 rng(3);
    for (int round = 0; round < 60; ++round) {
        TestTree t;
        FileNode* root = t.random(rng, 4, 10);
        const bool showPackages = round % 2 == 1;
        const TMRect in{0, 0, 257, 129 + double(round)};
        std::vector<std::pair<double, double>> points;
        std::uniform_real_distribution<double> ux(in.x0, in.x1), uy(in.y0, in.y1);
        for (int i = 0; i < 150; ++i)
            points.emplace_back(ux(rng), uy(rng));
        // Points on edges are where half-open containment matters.
        for (FileNode* node : allNodes(root))
            if (auto r = Treemap::rect(node, root, in, showPackages); r && !r->isDegenerate())
                points.emplace_back(r->x0, r->y0), points.emplace_back(r->x1, (r->y0 + r->y1) / 2);

        for (const auto& [x, y] : points) {
            FileNode* hit = Treemap::hitTest(root, in, x, y, showPackages);
            if (!in.contains(x, y) || root->size < 1) {
                EXPECT_EQ(hit, nullptr);
                continue;
            }
            ASSERT_NE(hit, nullptr);
            const auto r = Treemap::rect(hit, root, in, showPackages);
            ASSERT_TRUE(r) << "hit a node that has no rectangle";
            EXPECT_TRUE(r->contains(x, y));
            for (FileNode* up = hit->parent; up && up != root->parent; up = up->parent)
                EXPECT_TRUE(Treemap::rect(up, root, in, showPackages)->contains(x, y));
            if (Treemap::isSubdivided(*hit, *r, showPackages)) {
                for (FileNode* child : hit->children()) {
                    const auto cr = Treemap::rect(child, root, in, showPackages);
                    EXPECT_FALSE(cr && cr->contains(x, y)) << "a deeper node holds the point";
                }
            }
        }
    }
}

} // namespace
