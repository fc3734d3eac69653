// SPDX-License-Identifier: MIT
// Lighting found items among dimmed others, and colouring by age: the scale's ends, the
// far past and future, and that the treemap and the legend read one rule.
#include "model/Palette.h"
#include "support/TreeBuilder.h"
#include "treemap/TreemapRenderer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <ctime>

namespace {

const std::vector<RGB> kColors { { 0, 0, 0 }, { 0, 0, 0 }, { 0.5, 0.5, 0.5 }, { 0.4, 0.4, 0.4 },
    { 0.3, 0.3, 0.3 }, { 0.2, 0.45, 0.95 } };

using Items = std::unordered_set<const FileNode*>;

QImage render(const FileNode* root, std::shared_ptr<const Items> items, std::optional<std::int32_t> kind = {})
{
    const TreemapRenderer renderer {
        .colors = kColors, .highlightKind = kind, .highlightItems = std::move(items)
    };
    return renderer.render(root, 60, 40, CancelToken {});
}

} // namespace

TEST(Highlight, EveryLeafIsLitByExactlyOneOfTwoComplementarySets)
{
    TreeBuilder b;
    FileNode* a = b.folder(
        "a", { b.file("a1", 5 * kMB), b.folder("a2", { b.file("x", 3 * kMB), b.file("y", kMB) }) });
    FileNode* c = b.file("c", 4 * kMB);
    FileNode* d = b.folder("d", { b.file("d1", 2 * kMB), b.file("d2", 2 * kMB) });
    FileNode* root = b.folder("root", { a, c, d });
    const QImage plain = render(root, nullptr);
    const QImage dim = render(root, nullptr, 99); // a kind no leaf has: every leaf dimmed
    const QImage first = render(root, std::make_shared<Items>(Items { a, c }));
    const QImage second = render(root, std::make_shared<Items>(Items { d }));
    ASSERT_FALSE(plain.isNull());
    ASSERT_NE(plain, dim);
    for (int y = 0; y < plain.height(); ++y)
        for (int x = 0; x < plain.width(); ++x) {
            const QRgb p = plain.pixel(x, y), q = dim.pixel(x, y);
            const QRgb f = first.pixel(x, y), s = second.pixel(x, y);
            ASSERT_TRUE((f == p && s == q) || (f == q && s == p)) << x << "," << y;
        }
    // A zoom root inside a lit folder is lit all over; the empty set dims everything.
    EXPECT_EQ(render(a->child(1), std::make_shared<Items>(Items { a })), render(a->child(1), nullptr));
    EXPECT_EQ(render(root, std::make_shared<Items>()), dim);
}

TEST(AgeScale, EndsFarPastAndFutureAndOneRuleForTreemapAndLegend)
{
    const std::int64_t now = std::time(nullptr);
    const std::int64_t year2100 = 4'102'444'800;
    struct Case {
        double age;
        double fraction;
    };
    const Case ends[] = {
        { 0, 0 },
        { double(now - year2100), 0 }, // in the future
        { std::nan(""), 0 },
        { Palette::kOldestAge, 1 },
        { double(now), 1 }, // 1970
        { 1e300, 1 },
    };
    for (const Case& c : ends)
        EXPECT_DOUBLE_EQ(Palette::ageFraction(c.age), c.fraction) << c.age;
    // Older is never nearer the recent end, and the colours change by small steps.
    double previous = 0;
    RGB before = Palette::ageColor(0);
    for (int i = 1; i <= 2000; ++i) {
        const double f = Palette::ageFraction(Palette::kOldestAge * i / 1900);
        EXPECT_GE(f, previous);
        previous = f;
        const RGB c = Palette::ageColor(i / 2000.0);
        EXPECT_LT(std::abs(c.r - before.r) + std::abs(c.g - before.g) + std::abs(c.b - before.b), 0.01);
        before = c;
    }
    EXPECT_NE(Palette::ageColor(0), Palette::ageColor(1));
    EXPECT_EQ(Palette::ageColor(-3), Palette::ageColor(0));
    EXPECT_EQ(Palette::ageColor(7), Palette::ageColor(1));

    // The renderer's leaf colours are the scale's, at its ends and for an unknown time.
    TreeBuilder b;
    FileNode* future = b.file("future", kMB);
    FileNode* old = b.file("old", kMB);
    FileNode* unknown = b.file("unknown", kMB);
    future->mtime = FileNode::clampTime(year2100);
    old->mtime = FileNode::clampTime(0);
    unknown->mtime = 0;
    const TreemapRenderer renderer { .colors = kColors, .ageReference = now };
    EXPECT_EQ(renderer.color(*future), Palette::ageColor(0));
    EXPECT_EQ(renderer.color(*old), Palette::ageColor(1));
    EXPECT_EQ(renderer.color(*unknown), Palette::kUnranked);
}
