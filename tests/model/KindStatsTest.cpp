// SPDX-License-Identifier: MIT
#include "model/Palette.h"
#include "model/TallyfernDocument.h"
#include "model/support/Volumes.h"
#include "support/TreeBuilder.h"
#include "support/TreeChecks.h"

#include <gtest/gtest.h>

#include <set>

namespace {

using Named = std::vector<std::tuple<std::string, std::int64_t, std::int64_t>>;

// Made-up extensions, so that kind names do not depend on the machine's type database;
// packages and unknown extensions come from the system's table as the application sees it.
Named named(const TallyfernDocument& doc)
{
    Named out;
    for (const KindStat& stat : doc.kindStats)
        out.emplace_back(doc.kinds().name(stat.kind).toStdString(), stat.size, stat.count);
    return out;
}

} // namespace

// Install counts the kind totals on its classification walk: packages as one item or by
// content, the same as a count afterwards, with free space attached and a package inside
// a package.
TEST(KindStats, PackagesCountOnceOrByContent)
{
    for (const bool showContents : { false, true }) {
        TreeBuilder b("/data");
        FileNode* app = b.folder(b.root(), "Tool.app");
        FileNode* inner = b.file(app, "x.zzq", 30 * kMB);
        b.file(b.folder(app, "Inner.app"), "y.zzr", 10 * kMB);
        FileNode* plain = b.folder(b.root(), "docs.2024");
        FileNode* outer = b.file(plain, "doc.zzq", 5 * kMB);
        b.file(plain, "empty.zzs", 0);
        b.folder(b.root(), "empty");
        b.symlink(b.root(), "link.zzq", 1); // a link whatever its name
        TallyfernDocument doc("/data", volume("/data", 1000 * kMB, 400 * kMB, std::nullopt), "data");
        doc.showPackageContents = showContents;
        doc.install(b.finish());
        ASSERT_TRUE(doc.freeNode());
        EXPECT_EQ(inner->kind, outer->kind) << "package contents are classified too";
        const Named expected = showContents
            ? Named { { "ZZQ File", 35 * kMB, 2 }, { "ZZR File", 10 * kMB, 1 }, { "Symbolic Link", 1, 1 } }
            : Named { { "Application bundle", 40 * kMB, 1 }, { "ZZQ File", 5 * kMB, 1 },
                  { "Symbolic Link", 1, 1 } };
        EXPECT_EQ(named(doc), expected);
        EXPECT_EQ(
            doc.colors[std::size_t(app->kind)], showContents ? Palette::kUnranked : Palette::colors()[0]);
        const std::vector<KindStat> installed = doc.kindStats;
        const std::vector<RGB> colors = doc.colors;
        doc.computeKindStats();
        EXPECT_EQ(installed, doc.kindStats) << showContents;
        EXPECT_EQ(colors, doc.colors) << showContents;
    }
}

TEST(KindStats, RanksBySizeWithTiesInIdentifierOrderAndColoursByRank)
{
    const std::vector<RGB>& palette = Palette::colors();
    ASSERT_EQ(palette.size(), 48u);
    std::set<std::tuple<double, double, double>> distinct;
    for (const RGB& c : palette) {
        EXPECT_TRUE(c.r >= 0 && c.r <= 1 && c.g >= 0 && c.g <= 1 && c.b >= 0 && c.b <= 1);
        distinct.emplace(c.r, c.g, c.b);
    }
    EXPECT_EQ(distinct.size(), palette.size());

    // Classification goes depth first in child order: z (30) first, so kc gets 5 and kb
    // 6; a.ka at the root comes last with 7. Fifty more kinds run past the palette.
    TreeBuilder b("/data");
    FileNode* z = b.folder(b.root(), "z");
    b.file(z, "q.kb", 10);
    b.file(z, "r.kc", 20);
    b.file(b.root(), "a.ka", 10);
    b.file(b.root(), "empty.kz", 0);
    for (int i = 0; i < 50; ++i)
        b.file(b.root(), std::string("f.k") + char('a' + i % 26) + char('a' + i / 26) + "q", 9 - i / 10);
    TallyfernDocument doc("/data", noVolume(), "data");
    doc.install(b.finish());
    const std::int32_t kc = doc.kinds().kindForFile("x.kc");
    const std::int32_t kb = doc.kinds().kindForFile("x.kb");
    const std::int32_t ka = doc.kinds().kindForFile("x.ka");
    EXPECT_EQ(std::vector({ kc, kb, ka }), std::vector({ 5, 6, 7 }));
    ASSERT_EQ(doc.kindStats.size(), 53u);
    EXPECT_EQ(std::vector(doc.kindStats.begin(), doc.kindStats.begin() + 3),
        (std::vector<KindStat> { { kc, 20, 1 }, { kb, 10, 1 }, { ka, 10, 1 } }));
    ASSERT_EQ(doc.colors.size(), std::size_t(doc.kinds().count()));
    for (std::size_t rank = 0; rank < doc.kindStats.size(); ++rank) {
        if (rank > 0 && doc.kindStats[rank].size == doc.kindStats[rank - 1].size) {
            EXPECT_LT(doc.kindStats[rank - 1].kind, doc.kindStats[rank].kind) << "rank " << rank;
        }
        EXPECT_EQ(doc.colors[std::size_t(doc.kindStats[rank].kind)],
            rank < palette.size() ? palette[rank] : Palette::kUnranked)
            << "rank " << rank;
    }
    EXPECT_EQ(doc.colors[std::size_t(doc.kinds().kindForFile("x.kz"))], Palette::kUnranked) << "no rank";
    EXPECT_EQ(doc.colors[KindRegistry::kFolder], Palette::kUnranked);
}

TEST(KindStats, FocusNarrowsTheScopeAStaleFocusAndStrayKindsAreIgnored)
{
    TreeBuilder b("/data");
    FileNode* photos = b.folder(b.root(), "photos");
    b.file(photos, "a.qpic", 10);
    FileNode* music = b.folder(b.root(), "music");
    FileNode* song = b.file(music, "s.qsnd", 30);
    FileNode* stray = b.file(b.root(), "odd.qa", 5);
    TallyfernDocument doc("/data", noVolume(), "data");
    doc.install(b.finish());
    stray->kind = 1000;
    doc.computeKindStats();
    const std::vector<KindStat> whole = doc.kindStats;
    ASSERT_EQ(whole.size(), 2u) << "an out-of-range kind is skipped";
    doc.focus = photos;
    doc.computeKindStats();
    ASSERT_EQ(doc.kindStats.size(), 1u);
    EXPECT_EQ(doc.colors[std::size_t(doc.kindStats[0].kind)], Palette::colors()[0]);
    doc.focus = song; // a file as the scope counts itself
    doc.computeKindStats();
    EXPECT_EQ(doc.kindStats, (std::vector<KindStat> { { song->kind, 30, 1 } }));
    ASSERT_TRUE(doc.removeNode(music)); // the focus below it has left the tree
    doc.focus = song;
    doc.computeKindStats();
    EXPECT_EQ(doc.kindStats, (std::vector<KindStat> { { whole[1].kind, 10, 1 } }));
}

TEST(DeepTree, HundredThousandLevelsClassifyAndTotalWithoutRecursion)
{
    TreeBuilder b("/deep");
    FileNode* folder = b.root();
    for (int i = 1; i < 100'000; ++i)
        folder = b.folder(folder, "level.d");
    FileNode* leaf = b.file(folder, "bottom.qdeep", 1);
    TallyfernDocument doc("/deep", noVolume(), "deep");
    doc.install(b.finish());
    EXPECT_EQ(doc.kinds().name(leaf->kind), "QDEEP File");
    EXPECT_EQ(folder->kind, KindRegistry::kFolder);
    EXPECT_EQ(doc.kindStats, (std::vector<KindStat> { { leaf->kind, 1, 1 } }));
    doc.focus = folder;
    doc.computeKindStats();
    EXPECT_EQ(doc.kindStats.size(), 1u);
    doc.propagate(leaf, 9, 9, 0);
    EXPECT_EQ(doc.root()->size, 10);
    EXPECT_EQ(treeFaults(doc.root()), "");
}
