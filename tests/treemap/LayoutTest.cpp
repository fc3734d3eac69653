// SPDX-License-Identifier: MIT
#include "support/TreeBuilder.h"
#include "support/TreeChecks.h"
#include "treemap/Treemap.h"
#include "treemap/TreemapLayout.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <utility>

namespace {

using Placed = std::vector<std::pair<FileNode*, TMRect>>;

Placed layout(const FileNode& parent, TMRect r)
{
    Placed out;
    Treemap::layoutChildren(
        parent, r, [&](FileNode* child, const TMRect& cr) { out.emplace_back(child, cr); });
    return out;
}

TEST(Layout, EqualPairSplitsASquareIntoHalves)
{
    // Worst ratio 2 before and after adding the second child: the tie joins the row, and
    // a square takes a vertical strip, here the whole width.
    TreeBuilder t;
    FileNode* top = t.file("a", 7);
    FileNode* bottom = t.file("b", 7);
    FileNode* root = t.folder("r", { top, bottom });
    const TMRect in { 0, 0, 10, 10 };
    EXPECT_EQ(layout(*root, in), (Placed { { top, { 0, 0, 10, 5 } }, { bottom, { 0, 5, 10, 10 } } }));

    // Wider than high: a vertical strip on the left.
    FileNode* wide = t.folder("w", { t.file("a", 1), t.file("b", 1) });
    EXPECT_EQ(Treemap::rect(wide->child(0), wide, { 0, 0, 20, 10 }, false), (TMRect { 0, 0, 10, 10 }));
}

TEST(Layout, ZeroSizesGetNoRectangleTinyOnesAreHitAndDeepChainsNeedNoRecursion)
{
    TreeBuilder t;
    FileNode* zero = t.file("z", 0);
    FileNode* root = t.folder("r", { t.file("a", 5), t.file("b", 3), zero, t.file("y", 0) });
    const Placed p = layout(*root, { 0, 0, 40, 10 });
    ASSERT_EQ(p.size(), 2u);
    EXPECT_TRUE(p.back().second.x1 == 40 && p.back().second.y1 == 10); // the last positive row fills the rest
    EXPECT_FALSE(Treemap::rect(zero, root, { 0, 0, 40, 10 }, false));

    FileNode* empty = t.folder("e", { t.folder("d", { t.file("e", 0) }) });
    EXPECT_EQ(Treemap::hitTest(empty, { 0, 0, 10, 10 }, 5, 5, false), nullptr);
    // Hidden package contents get none either.
    FileNode* package = t.folder("Tool.app", { t.file("bin", 60) }, NodeFlags::Package, 6);
    FileNode* withPackage = t.folder("r", { package, t.file("doc", 50) });
    EXPECT_TRUE(Treemap::rect(package->child(0), withPackage, { 0, 0, 30, 20 }, true));
    EXPECT_FALSE(Treemap::rect(package->child(0), withPackage, { 0, 0, 30, 20 }, false));
    // The root's own rectangle comes back as given, even degenerate.
    EXPECT_EQ(Treemap::rect(empty, empty, { 4, 4, 2, 2 }, false), (TMRect { 4, 4, 2, 2 }));
    // A tiny file beside a huge one is still hit; a deep chain needs no recursion.
    FileNode* tiny = t.file("tiny", 1);
    FileNode* pair = t.folder("r", { t.file("huge", 1'000'000'000), tiny });
    const TMRect r = *Treemap::rect(tiny, pair, { 0, 0, 100, 100 }, false);
    EXPECT_LT(r.width() * r.height(), 1e-4); // far below one pixel
    EXPECT_EQ(Treemap::hitTest(pair, { 0, 0, 100, 100 }, (r.x0 + r.x1) / 2, (r.y0 + r.y1) / 2, false), tiny);

    FileNode* top = t.chain(100'000, 4096);
    FileNode* leaf = preOrder(top).back();
    EXPECT_EQ(Treemap::hitTest(top, { 0, 0, 640, 480 }, 1, 1, false), leaf);
    EXPECT_EQ(Treemap::rect(leaf, top, { 0, 0, 640, 480 }, false), (TMRect { 0, 0, 640, 480 }));
    EXPECT_FALSE(Treemap::rect(top, leaf, { 0, 0, 640, 480 }, false)); // not below its descendant
}

TEST(Layout, RandomFoldersAreTiledInProportionAndScaleExactly)
{
    std::mt19937_64 rng(7);
    for (int round = 0; round < 30; ++round) {
        TreeBuilder t;
        FileNode* root = t.random(rng, 4, 12);
        const TMRect in { 0, 0, 700, 300 };
        for (FileNode* node : preOrder(root)) {
            const auto r = Treemap::rect(node, root, in, true);
            const auto twice = Treemap::rect(node, root, { 0, 0, 1400, 600 }, true);
            ASSERT_EQ(r.has_value(), twice.has_value());
            if (!r)
                continue;
            EXPECT_EQ(*twice, (TMRect { 2 * r->x0, 2 * r->y0, 2 * r->x1, 2 * r->y1 }));
            if (!Treemap::isSubdivided(*node, *r, true))
                continue;
            double covered = 0;
            for (const auto& [child, cr] : layout(*node, *r)) {
                EXPECT_TRUE(cr.x0 >= r->x0 && cr.y0 >= r->y0 && cr.x1 <= r->x1 && cr.y1 <= r->y1);
                const double share = double(child->size) / double(node->size);
                EXPECT_NEAR(cr.width() * cr.height() / (r->width() * r->height()), share, 1e-9);
                covered += cr.width() * cr.height();
            }
            EXPECT_NEAR(covered, r->width() * r->height(), 1e-6 * r->width() * r->height());
        }
    }
}

// For every sampled point: the hit has a rectangle containing the point, so do all its
// ancestors, and no child of a hit folder does (the point was in a sliver).
TEST(Layout, HitTestAgreesWithRectangleLookupOnRandomTrees)
{
    std::mt19937_64 rng(3);
    for (int round = 0; round < 60; ++round) {
        TreeBuilder t;
        FileNode* root = t.random(rng, 4, 10);
        const bool show = round % 2 == 1;
        const TMRect in { 0, 0, 257, 129 + double(round) };
        std::vector<std::pair<double, double>> points;
        std::uniform_real_distribution<double> ux(-1, in.x1 + 1), uy(-1, in.y1 + 1);
        for (int i = 0; i < 150; ++i)
            points.emplace_back(ux(rng), uy(rng));
        for (FileNode* node : preOrder(root)) // edges are where half-open containment matters
            if (auto r = Treemap::rect(node, root, in, show); r && !r->isDegenerate())
                points.emplace_back(r->x0, r->y0), points.emplace_back(r->x1, r->y1);

        for (const auto& [x, y] : points) {
            FileNode* hit = Treemap::hitTest(root, in, x, y, show);
            ASSERT_EQ(hit != nullptr, in.contains(x, y) && root->size >= 1);
            if (!hit)
                continue;
            const auto r = Treemap::rect(hit, root, in, show);
            ASSERT_TRUE(r && r->contains(x, y)) << "hit a node whose rectangle misses the point";
            for (FileNode* up = hit->parent; up; up = up->parent)
                EXPECT_TRUE(Treemap::rect(up, root, in, show)->contains(x, y));
            if (Treemap::isSubdivided(*hit, *r, show))
                for (FileNode* child : hit->children()) {
                    const auto cr = Treemap::rect(child, root, in, show);
                    EXPECT_FALSE(cr && cr->contains(x, y)) << "a deeper node holds the point";
                }
        }
    }
}

// Kept layouts answer exactly as a layout from scratch, on wide folders of random sizes
// (runs of equal sizes, zeros at the end, an inconsistent total), in random rectangles,
// at random points and on the edges of the children, one tester serving every round.
TEST(Layout, KeptLayoutsHitWhatALayoutFromScratchHits)
{
    std::mt19937_64 rng(11);
    Treemap::HitTester tester;
    for (int round = 0; round < 24; ++round) {
        TreeBuilder t;
        std::vector<FileNode*> files;
        const std::size_t n = Treemap::HitTester::kKeptFrom + rng() % 3000;
        std::uniform_real_distribution<double> magnitude(0, 7);
        std::int64_t size = 1;
        for (std::size_t i = 0; i < n; ++i) {
            if (rng() % 4 != 0)
                size = std::int64_t(std::pow(10.0, magnitude(rng)));
            files.push_back(t.file("f", i + 20 > n && round % 3 == 0 ? 0 : size));
        }
        std::sort(files.begin(), files.end(), [](FileNode* a, FileNode* b) { return a->size > b->size; });
        FileNode* flat = t.folder("flat", files);
        if (round % 5 == 4)
            flat->size += flat->size / 3;
        FileNode* root = round % 2 ? t.folder("r", { flat, t.file("g", flat->size / 2) }) : flat;
        std::uniform_real_distribution<double> extent(1, 3000);
        const TMRect in { 0, 0, extent(rng), round % 4 == 1 ? 3.0 : extent(rng) };

        std::vector<std::pair<double, double>> points;
        std::uniform_real_distribution<double> ux(-1, in.x1 + 1), uy(-1, in.y1 + 1);
        for (int i = 0; i < 400; ++i)
            points.emplace_back(ux(rng), uy(rng));
        std::size_t k = 0;
        Treemap::layoutChildren(
            *flat, *Treemap::rect(flat, root, in, false), [&](FileNode*, const TMRect& r) {
                if (k++ % 16 == 0)
                    points.emplace_back(r.x0, r.y0), points.emplace_back(r.x1, r.y1);
            });
        for (const auto& [x, y] : points)
            ASSERT_EQ(tester.hit(root, in, x, y, false), Treemap::hitTest(root, in, x, y, false))
                << "round " << round << " at " << x << ", " << y;
        tester.forget(); // the next round's nodes may reuse these addresses
    }
}

} // namespace
