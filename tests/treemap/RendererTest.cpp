// SPDX-License-Identifier: MIT
#include "model/Palette.h"
#include "platform/ParallelFor.h"
#include "support/ReferencePixel.h"
#include "support/TreeBuilder.h"
#include "treemap/Treemap.h"
#include "treemap/TreemapRenderer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <ctime>
#include <utility>

namespace {

constexpr std::uint32_t kGrey = 0xFF808080u;
// Kinds 5, 6 and 7 have colours; 8 and 9 fall outside the table.
const std::vector<RGB> kColors { { 0, 0, 0 }, { 0, 0, 0 }, { 0.5, 0.5, 0.5 }, { 0.4, 0.4, 0.4 },
    { 0.3, 0.3, 0.3 }, { 0.2, 0.45, 0.95 }, { 0.92, 0.22, 0.22 }, { 0.2, 0.75, 0.25 } };

std::uint32_t word(const QImage& image, int col, int row)
{
    return reinterpret_cast<const std::uint32_t*>(image.constScanLine(row))[col];
}

QImage render(const TreemapRenderer& renderer, const FileNode* root, int w, int h)
{
    const QImage image = renderer.render(root, w, h, CancelToken {});
    EXPECT_TRUE(image.isNull() || image.format() == QImage::Format_ARGB32_Premultiplied);
    return image;
}

// Every pixel against the formulas; reports the first mismatch only.
void expectMatchesReference(const QImage& image, const FileNode* root, const ReferencePixel& ref)
{
    ASSERT_FALSE(image.isNull());
    for (int row = 0; row < image.height(); ++row)
        for (int col = 0; col < image.width(); ++col)
            if (const std::uint32_t want = ref.at(root, image.width(), image.height(), col, row);
                word(image, col, row) != want) {
                ADD_FAILURE() << "pixel " << col << "," << row << std::hex << ": " << word(image, col, row)
                              << " instead of " << want;
                return;
            }
}

TEST(Renderer, SmallImagesEmptyTreesAndColoursOutsideTheRange)
{
    TreeBuilder t;
    FileNode* root
        = t.folder("r", { t.folder("d", { t.file("a", 40, 6), t.file("b", 30, 7) }), t.file("c", 50) });
    EXPECT_TRUE(render({ .colors = kColors }, root, 0, 10).isNull()
        && render({ .colors = kColors }, root, 10, -3).isNull());
    const QImage one = render({ .colors = kColors }, root, 1, 1); // the leaf under its centre
    EXPECT_NE(word(one, 0, 0), kGrey);
    EXPECT_EQ(word(one, 0, 0), ReferencePixel { .colors = kColors }.at(root, 1, 1, 0, 0));
    const QImage grey
        = render({ .colors = kColors }, t.folder("z", { t.folder("d", { t.file("e", 0) }) }), 6, 4);
    QImage allGrey(6, 4, QImage::Format_ARGB32_Premultiplied);
    allGrey.fill(kGrey);
    EXPECT_EQ(grey, allGrey);
    // Colours outside 0 … 1 stay inside their own channel.
    const QImage odd = render({ .colors = { { -0.5, 2.0, std::nan("") } } }, t.file("f", 10, 0), 3, 1);
    EXPECT_EQ(word(odd, 1, 0), 0xFF00FF00u);
}

// Also the same picture at twice the resolution: both sizes follow the formulas over a
// layout that scales exactly, by all cores or one.
TEST(Renderer, RandomTreesMatchTheFormulasPixelForPixelAtTwoSizes)
{
    std::mt19937_64 rng(5);
    for (int round = 0; round < 6; ++round) {
        TreeBuilder t;
        FileNode* root = t.random(rng, 4, 12);
        const bool show = round % 2 == 0;
        const std::optional<std::int32_t> highlight = round % 3 == 0 ? std::optional(7)
            : round % 3 == 1                                         ? std::optional(42)
                                                                     : std::nullopt;
        const TreemapRenderer renderer {
            .colors = kColors, .showPackageContents = show, .highlightKind = highlight
        };
        const ReferencePixel ref {
            .colors = kColors, .showPackageContents = show, .highlightKind = highlight
        };
        expectMatchesReference(render(renderer, root, 41 + round, 29), root, ref);
        expectMatchesReference(render(renderer, root, 2 * (41 + round), 58), root, ref);
        // The caller alone paints what all cores paint.
        EXPECT_TRUE(render(renderer, root, 300, 200) == renderer.render(root, 300, 200, CancelToken {}, 0));
    }
}

// A chain shares one rectangle on every level: its cushion is the sum of the ridges of
// all levels over that rectangle.
std::uint32_t chainPixel(const TMRect& r, std::size_t levels, int col, int row)
{
    double a = 0, b = 0, c = 0, d = 0, h = 0.38;
    for (std::size_t k = 0; k < levels; ++k) {
        h *= 0.91;
        const double kx = 4 * h / (r.x1 - r.x0), ky = 4 * h / (r.y1 - r.y0);
        a -= kx, c += (r.x0 + r.x1) * kx, b -= ky, d += (r.y0 + r.y1) * ky;
    }
    return ReferencePixel::shade(kColors[5], c + 2 * a * (col + 0.5), d + 2 * b * (row + 0.5));
}

TEST(Renderer, AHundredThousandLevelChainNeedsNoDeepStack)
{
    TreeBuilder t;
    constexpr std::size_t kDepth = 100'000;
    // Alone, the chain is opened pass by pass while the job list stays short.
    FileNode* chain = t.chain(kDepth, 1 << 20);
    // Its ridges pile up so steeply that the right edge faces away from the light: only
    // the ambient term is left there.
    const QImage alone = render({ .colors = kColors }, chain, 13, 9);
    for (const auto& [col, row] : { std::pair { 0, 0 }, { 11, 5 }, { 12, 5 } })
        EXPECT_EQ(word(alone, col, row), chainPixel({ 0, 0, 13, 9 }, kDepth, col, row)) << col;
    // Beside 300 files the job list overflows at once: one job draws the whole chain.
    std::vector<FileNode*> children(300, nullptr);
    for (FileNode*& child : children)
        child = t.file("f", 1 << 12, 6);
    children.push_back(chain);
    FileNode* root = t.folder("r", children);
    const TMRect cr = *Treemap::rect(chain, root, { 0, 0, 400, 300 }, false);
    const QImage image = render({ .colors = kColors }, root, 400, 300);
    const int col = int(std::ceil(cr.x0 - 0.5)) + 1, row = int(std::ceil(cr.y0 - 0.5)) + 1;
    EXPECT_EQ(word(image, col, row), chainPixel(cr, kDepth + 1, col, row));
}

TEST(Renderer, ACancelledTokenYieldsNoImageBeforeOrAfterTheJobsRun)
{
    TreeBuilder t;
    std::vector<FileNode*> folders, files; // 9 folders of 81 files: 729 jobs
    for (int i = 0; i < 9 * 81; ++i)
        if (files.push_back(t.file("f", 1000)); files.size() == 81)
            folders.push_back(t.folder("d", std::exchange(files, {})));
    FileNode* root = t.folder("r", folders);
    const TreemapRenderer renderer { .colors = kColors };
    CancelToken early;
    early.cancel();
    bool ran = false;
    EXPECT_TRUE(renderer.render(root, 50, 50, early, [&](std::size_t, const auto&) { ran = true; }).isNull());
    EXPECT_FALSE(ran); // stopped after the first expansion pass

    // Cancelled while the jobs run: nothing, even though every job finished.
    CancelToken late;
    std::atomic<std::size_t> finished = 0;
    const auto cancelMidway = [&](std::size_t count, const std::function<void(std::size_t)>& body) {
        Dispatch::parallelFor(count, [&](std::size_t i) {
            if (i == count / 2)
                late.cancel();
            body(i);
            ++finished;
        });
    };
    EXPECT_TRUE(renderer.render(root, 300, 300, late, cancelMidway).isNull());
    EXPECT_GT(finished.load(), 255u);
}

using Items = NodeSet;

QImage lit(const FileNode* root, std::shared_ptr<const Items> items, std::optional<std::int32_t> kind = {})
{
    return TreemapRenderer { .colors = kColors, .highlightKind = kind, .highlightItems = std::move(items) }
        .render(root, 60, 40, CancelToken {});
}

// Lighting found items among dimmed others: each leaf is lit by exactly one of two
// complementary sets.
TEST(Highlight, EveryLeafIsLitByExactlyOneOfTwoComplementarySets)
{
    TreeBuilder b;
    FileNode* a = b.folder(
        "a", { b.file("a1", 5 * kMB), b.folder("a2", { b.file("x", 3 * kMB), b.file("y", kMB) }) });
    FileNode* c = b.file("c", 4 * kMB);
    FileNode* d = b.folder("d", { b.file("d1", 2 * kMB), b.file("d2", 2 * kMB) });
    FileNode* root = b.folder("root", { a, c, d });
    const QImage plain = lit(root, nullptr);
    const QImage dim = lit(root, nullptr, 99); // a kind no leaf has: every leaf dimmed
    const QImage first = lit(root, std::make_shared<Items>(Items { a, c }));
    const QImage second = lit(root, std::make_shared<Items>(Items { d }));
    ASSERT_FALSE(plain.isNull());
    ASSERT_NE(plain, dim);
    for (int y = 0; y < plain.height(); ++y)
        for (int x = 0; x < plain.width(); ++x) {
            const QRgb p = plain.pixel(x, y), q = dim.pixel(x, y);
            const QRgb f = first.pixel(x, y), s = second.pixel(x, y);
            ASSERT_TRUE((f == p && s == q) || (f == q && s == p)) << x << "," << y;
        }
    // A zoom root inside a lit folder is lit all over; the empty set dims everything.
    EXPECT_EQ(lit(a->child(1), std::make_shared<Items>(Items { a })), lit(a->child(1), nullptr));
    EXPECT_EQ(lit(root, std::make_shared<Items>()), dim);
}

TEST(AgeScale, EndsFarPastAndFutureAndOneRuleForTreemapAndLegend)
{
    const std::int64_t now = std::time(nullptr);
    const std::int64_t year2100 = 4'102'444'800;
    const std::pair<double, double> ends[]
        = { { 0, 0 }, { double(now - year2100), 0 }, { std::nan(""), 0 }, // the future, unknown
              { Palette::kOldestAge, 1 }, { double(now), 1 }, { 1e300, 1 } }; // 1970, beyond
    for (const auto& [age, fraction] : ends)
        EXPECT_DOUBLE_EQ(Palette::ageFraction(age), fraction) << age;
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
    EXPECT_TRUE(Palette::ageColor(0) != Palette::ageColor(1) && Palette::ageColor(-3) == Palette::ageColor(0)
        && Palette::ageColor(7) == Palette::ageColor(1));

    // The renderer's leaf colours are the scale's, at its ends and for an unknown time.
    TreeBuilder b;
    FileNode *future = b.file("future", kMB), *old = b.file("old", kMB), *unknown = b.file("unknown", kMB);
    future->mtime = FileNode::clampTime(year2100);
    old->mtime = FileNode::clampTime(0);
    unknown->mtime = 0;
    const TreemapRenderer renderer { .colors = kColors, .ageReference = now };
    EXPECT_EQ(std::tuple(renderer.color(*future), renderer.color(*old), renderer.color(*unknown)),
        std::tuple(Palette::ageColor(0), Palette::ageColor(1), Palette::kUnranked));
}

} // namespace
