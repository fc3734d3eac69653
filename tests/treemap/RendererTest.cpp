// SPDX-License-Identifier: MIT
#include "support/ReferencePixel.h"
#include "support/TestTree.h"
#include "treemap/Treemap.h"
#include "treemap/TreemapRenderer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

namespace {

constexpr std::uint32_t kGrey = 0xFF808080u;

// Kinds 5, 6 and 7 have colours; 8 and 9 fall outside the table.
const std::vector<RGB> kColors{{0, 0, 0}, {0, 0, 0}, {0.5, 0.5, 0.5}, {0.4, 0.4, 0.4}, {0.3, 0.3, 0.3},
                               {0.2, 0.45, 0.95}, {0.92, 0.22, 0.22}, {0.2, 0.75, 0.25}};

std::uint32_t word(const QImage& image, int col, int row)
{
    return reinterpret_cast<const std::uint32_t*>(image.constScanLine(row))[col];
}

QImage render(const TreemapRenderer& renderer, const FileNode* root, int w, int h)
{
    CancelToken token;
    return renderer.render(root, w, h, token);
}

// Every pixel against the formulas; reports the first mismatch only.
void expectMatchesReference(const QImage& image, const FileNode* root, const ReferencePixel& ref)
{
    ASSERT_FALSE(image.isNull());
    for (int row = 0; row < image.height(); ++row)
        for (int col = 0; col < image.width(); ++col) {
            const std::uint32_t want = ref.at(root, image.width(), image.height(), col, row);
            if (word(image, col, row) != want) {
                ADD_FAILURE() << std::hex << "pixel " << std::dec << col << "," << row << ": got " << std::hex
                              << word(image, col, row) << " want " << want;
                return;
            }
        }
}

TEST(Renderer, ASingleFileFillsTheImageWithAFlatCushion)
{
    TestTree t;
    FileNode* file = t.file("f", 1234, 5);
    const QImage image = render({.colors = kColors}, file, 7, 5);
    ASSERT_EQ(image.size(), QSize(7, 5));
    EXPECT_EQ(image.format(), QImage::Format_ARGB32_Premultiplied);
    const double intensity = 0.13 + 0.87 * 0.9901475429766744;
    const auto level = [&](double c) {
        return std::uint32_t(std::trunc(std::min(c * 255 * 1.4666666666666668 * intensity, 255.0)));
    };
    const std::uint32_t want = 0xFF000000u | level(0.2) << 16 | level(0.45) << 8 | level(0.95);
    for (int row = 0; row < 5; ++row)
        for (int col = 0; col < 7; ++col)
            ASSERT_EQ(word(image, col, row), want) << col << "," << row;
    // B, G, R, A in memory.
    const uchar* bytes = image.constScanLine(0);
    EXPECT_EQ(bytes[0], level(0.95));
    EXPECT_EQ(bytes[2], level(0.2));
    EXPECT_EQ(bytes[3], 255);
}

TEST(Renderer, ABrightChannelSaturatesAt255)
{
    TestTree t;
    FileNode* file = t.file("f", 10, 0);
    const QImage image = render({.colors = {{0.8, 0.1, 0.5}}}, file, 3, 3);
    ASSERT_GT(0.8 * 255 * 1.4666666666666668 * (0.13 + 0.87 * 0.9901475429766744), 255.0);
    EXPECT_EQ(word(image, 1, 1), ReferencePixel::flat({0.8, 0.1, 0.5}));
    EXPECT_EQ(word(image, 1, 1) >> 16 & 0xFF, 255u);
    EXPECT_LT(word(image, 1, 1) & 0xFF, 255u);

    // Colours outside 0 … 1 stay inside their own channel.
    const QImage odd = render({.colors = {{-0.5, 2.0, std::nan("")}}}, file, 3, 1);
    for (int col = 0; col < 3; ++col)
        EXPECT_EQ(word(odd, col, 0), 0xFF00FF00u);
}

TEST(Renderer, EmptySizesAndEmptyTreesGiveNothingOrGrey)
{
    TestTree t;
    FileNode* root = t.folder("r", {t.file("a", 10)});
    EXPECT_TRUE(render({.colors = kColors}, root, 0, 10).isNull());
    EXPECT_TRUE(render({.colors = kColors}, root, 10, -3).isNull());

    FileNode* zero = t.folder("z", {t.folder("d", {t.file("e", 0)})});
    const QImage grey = render({.colors = kColors}, zero, 6, 4);
    ASSERT_EQ(grey.size(), QSize(6, 4));
    for (int row = 0; row < 4; ++row)
        for (int col = 0; col < 6; ++col)
            EXPECT_EQ(word(grey, col, row), kGrey);
}

TEST(Renderer, AOnePixelImageShowsTheLeafUnderItsCentre)
{
    TestTree t;
    FileNode* root = t.folder("r", {t.folder("d", {t.file("a", 40, 6), t.file("b", 30, 7)}), t.file("c", 50, 5)});
    const ReferencePixel ref{.colors = kColors};
    const QImage image = render({.colors = kColors}, root, 1, 1);
    ASSERT_EQ(image.size(), QSize(1, 1));
    EXPECT_NE(word(image, 0, 0), kGrey);
    EXPECT_EQ(word(image, 0, 0), ref.at(root, 1, 1, 0, 0));
}

TEST(Renderer, RandomTreesMatchTheShadingFormulasPixelForPixel)
{
    std::mt19937_64 rng(5);
    for (int round = 0; round < 6; ++round) {
        TestTree t;
        FileNode* root = t.random(rng, 4, 12);
        const bool show = round % 2 == 0;
        const TreemapRenderer renderer{.colors = kColors, .showPackageContents = show};
        expectMatchesReference(render(renderer, root, 83 + round, 47), root, ReferencePixel{.colors = kColors, .showPackageContents = show});
    }
}

TEST(Renderer, TwiceTheSizeIsTheSamePictureAtTwiceTheResolution)
{
    std::mt19937_64 rng(9);
    TestTree t;
    FileNode* root = t.random(rng, 3, 8);
    const ReferencePixel ref{.colors = kColors};
    const QImage small = render({.colors = kColors}, root, 60, 40);
    const QImage large = render({.colors = kColors}, root, 120, 80);
    expectMatchesReference(small, root, ref);
    expectMatchesReference(large, root, ref);
    // A 2 × 2 block lying in the small pixel's leaf averages to nearly the same colour:
    // the layout scales exactly and the cushion's slope at matching points is the same.
    int compared = 0;
    double totalError = 0;
    for (int row = 0; row < 40; ++row)
        for (int col = 0; col < 60; ++col) {
            const FileNode* leaf = Treemap::hitTest(root, {0, 0, 60, 40}, col + 0.5, row + 0.5, false);
            bool sameLeaf = true;
            int sum[3] = {};
            for (int dy = 0; dy < 2; ++dy)
                for (int dx = 0; dx < 2; ++dx) {
                    const int X = 2 * col + dx, Y = 2 * row + dy;
                    sameLeaf &= Treemap::hitTest(root, {0, 0, 120, 80}, X + 0.5, Y + 0.5, false) == leaf;
                    for (int ch = 0; ch < 3; ++ch)
                        sum[ch] += int(word(large, X, Y) >> (8 * ch) & 0xFF);
                }
            if (!sameLeaf)
                continue;
            ++compared;
            for (int ch = 0; ch < 3; ++ch) {
                const double error = std::abs(sum[ch] / 4.0 - double(word(small, col, row) >> (8 * ch) & 0xFF));
                // Steep slopes at leaf corners are where shading bends most.
                EXPECT_LT(error, 32) << col << "," << row;
                totalError += error;
            }
        }
    EXPECT_GT(compared, 60 * 40 / 2);
    EXPECT_LT(totalError / (3 * compared), 1.5);
}

TEST(Renderer, AHighlightKindThatNoNodeHasDimsEveryLeafToGrey)
{
    std::mt19937_64 rng(13);
    TestTree t;
    FileNode* root = t.random(rng, 3, 10);
    const QImage image = render({.colors = kColors, .highlightKind = 42}, root, 64, 48);
    expectMatchesReference(image, root, ReferencePixel{.colors = kColors, .highlightKind = 42});
    int leafPixels = 0;
    for (int row = 0; row < 48; ++row)
        for (int col = 0; col < 64; ++col) {
            const std::uint32_t w = word(image, col, row);
            if (w == kGrey)
                continue;
            ++leafPixels;
            EXPECT_EQ(w >> 16 & 0xFF, w & 0xFF);
            EXPECT_EQ(w >> 8 & 0xFF, w & 0xFF);
            EXPECT_LT(w & 0xFF, 0x80u); // at most 0.35 of the brightest mean
        }
    EXPECT_GT(leafPixels, 0);
    // Highlighting a kind that exists leaves its leaves in colour.
    const TreemapRenderer highlighting{.colors = kColors, .highlightKind = 5};
    EXPECT_EQ(highlighting.color(*t.file("x", 1, 5)), kColors[5]);
    const RGB dimmed = highlighting.color(*t.file("x", 1, 6));
    EXPECT_DOUBLE_EQ(dimmed.r, (0.92 + 0.22 + 0.22) / 3 * 0.35);
    const TreemapRenderer plain{.colors = kColors};
    EXPECT_EQ(plain.color(*t.file("x", 1, -1)), (RGB{0.62, 0.62, 0.62}));
    EXPECT_EQ(plain.color(*t.file("x", 1, 8)), (RGB{0.62, 0.62, 0.62}));
}

TEST(Renderer, APackageIsOneCushionUnlessItsContentsAreShown)
{
    TestTree t;
    FileNode* package = t.folder("Tool.app", {t.file("bin", 600, 7), t.file("res", 400, 5)}, NodeFlags::Package, 6);
    FileNode* root = t.folder("r", {package, t.file("doc", 700, 5)});
    const QImage hidden = render({.colors = kColors}, root, 90, 60);
    const QImage shown = render({.colors = kColors, .showPackageContents = true}, root, 90, 60);
    expectMatchesReference(hidden, root, ReferencePixel{.colors = kColors});
    expectMatchesReference(shown, root, ReferencePixel{.colors = kColors, .showPackageContents = true});

    const TMRect r = *Treemap::rect(package, root, {0, 0, 90, 60}, false);
    int differing = 0;
    for (int row = int(std::ceil(r.y0 - 0.5)); row < int(std::ceil(r.y1 - 0.5)); ++row)
        for (int col = int(std::ceil(r.x0 - 0.5)); col < int(std::ceil(r.x1 - 0.5)); ++col) {
            const std::uint32_t w = word(hidden, col, row);
            // The package's red kind dominates every one of its pixels when hidden.
            EXPECT_GT(w >> 16 & 0xFF, w >> 8 & 0xFF) << col << "," << row;
            differing += w != word(shown, col, row);
        }
    EXPECT_GT(differing, int(r.width() * r.height() / 2));
}

// The chain shares one rectangle on every level, so its cushion is the sum of all their
// ridges over that rectangle, worked out here level by level.
std::uint32_t chainPixel(const TMRect& r, double h, std::size_t levels, RGB color, int col, int row)
{
    double a = 0, b = 0, c = 0, d = 0;
    for (std::size_t k = 0; k < levels; ++k) {
        h *= 0.91;
        const double kx = 4 * h / (r.x1 - r.x0), ky = 4 * h / (r.y1 - r.y0);
        a -= kx, c += (r.x0 + r.x1) * kx, b -= ky, d += (r.y0 + r.y1) * ky;
    }
    return ReferencePixel::shade(color, c + 2 * a * (col + 0.5), d + 2 * b * (row + 0.5));
}

TEST(Renderer, AHundredThousandLevelChainRendersWithoutExhaustingTheStack)
{
    TestTree t;
    constexpr std::size_t kDepth = 100'000;
    // Alone, the chain is opened pass by pass while the job list stays small.
    FileNode* chain = t.chain(kDepth, 1 << 20);
    const QImage alone = render({.colors = kColors}, chain, 12, 9);
    for (const auto& [col, row] : {std::pair{0, 0}, {5, 4}, {11, 8}})
        EXPECT_EQ(word(alone, col, row), chainPixel({0, 0, 12, 9}, 0.38, kDepth, kColors[5], col, row));

    // Beside 300 files the job list overflows at once, so one job draws the whole chain.
    std::vector<FileNode*> children{chain};
    for (int i = 0; i < 300; ++i)
        children.push_back(t.file("f", 1 << 12, 6));
    FileNode* root = t.folder("r", children);
    const TMRect cr = *Treemap::rect(chain, root, {0, 0, 400, 300}, false);
    const QImage image = render({.colors = kColors}, root, 400, 300);
    const int col = int(std::ceil(cr.x0 - 0.5)) + 1, row = int(std::ceil(cr.y0 - 0.5)) + 1;
    EXPECT_EQ(word(image, col, row), chainPixel(cr, 0.38, kDepth + 1, kColors[5], col, row));
}

TEST(Renderer, AllCoresAndOneCorePaintTheSameImage)
{
    std::mt19937_64 rng(17);
    TestTree t;
    std::vector<FileNode*> parts;
    for (int i = 0; i < 8; ++i)
        parts.push_back(t.random(rng, 4, 14));
    FileNode* root = t.folder("r", parts);
    CancelToken token;
    const QImage all = TreemapRenderer{.colors = kColors}.render(root, 300, 200, token);
    const QImage one = TreemapRenderer{.colors = kColors}.render(root, 300, 200, token, 0);
    ASSERT_FALSE(all.isNull());
    EXPECT_TRUE(all == one);
}

} // namespace
