// SPDX-License-Identifier: MIT
#include "model/Palette.h"
#include "model/TallyfernDocument.h"
#include "model/support/TreeBuilder.h"

#include <gtest/gtest.h>

namespace {

VolumeFactsProvider noVolume()
{
    return [](const std::string&) { return std::optional<VolumeFacts>(); };
}

// Made-up extensions, so the kind names do not depend on the machine's type database.
std::vector<std::pair<std::string, std::int64_t>> named(const TallyfernDocument& doc)
{
    std::vector<std::pair<std::string, std::int64_t>> out;
    for (const KindStat& stat : doc.kindStats)
        out.emplace_back(doc.kinds().name(stat.kind).toStdString(), stat.size);
    return out;
}

} // namespace

TEST(Classify, GivesEveryNodeBelowTheRootItsKind)
{
    TreeBuilder b("/data");
    FileNode* folder = b.folder(b.root(), "docs.2024");
    FileNode* app = b.folder(b.root(), "Tool.app");
    FileNode* inner = b.file(app, "payload.qzx", 3);
    FileNode* link = b.symlink(b.root(), "link.qzx", 1);
    FileNode* plain = b.file(folder, "README", 2);
    FileNode* typed = b.file(folder, "a.qzx", 4);
    TallyfernDocument doc("/data", noVolume(), "data");
    doc.install(b.finish());

    EXPECT_EQ(doc.root()->kind, KindRegistry::kFolder);
    EXPECT_EQ(folder->kind, KindRegistry::kFolder);
    EXPECT_FALSE(folder->flags.contains(NodeFlags::Package));
    EXPECT_TRUE(app->flags.contains(NodeFlags::Package));
    EXPECT_EQ(doc.kinds().name(app->kind), "Application bundle");
    EXPECT_EQ(link->kind, KindRegistry::kSymlink) << "a link is a link whatever its name";
    EXPECT_EQ(plain->kind, KindRegistry::kNoExtension);
    EXPECT_EQ(doc.kinds().name(typed->kind), "QZX File");
    EXPECT_EQ(inner->kind, typed->kind) << "package contents are classified too";
}

TEST(KindStats, PackagesCountOnceOrByContent)
{
    TreeBuilder b("/data");
    FileNode* app = b.folder(b.root(), "Tool.app");
    b.file(app, "x.zzq", 30 * kMB);
    b.file(app, "y.zzr", 10 * kMB);
    b.file(b.root(), "doc.zzq", 5 * kMB);
    TallyfernDocument doc("/data", noVolume(), "data");
    doc.install(b.finish());

    using Named = std::vector<std::pair<std::string, std::int64_t>>;
    EXPECT_EQ(named(doc), (Named{{"Application bundle", 40 * kMB}, {"ZZQ File", 5 * kMB}}));
    EXPECT_EQ(doc.kindStats[0].count, 1);

    doc.showPackageContents = true;
    doc.computeKindStats();
    EXPECT_EQ(named(doc), (Named{{"ZZQ File", 35 * kMB}, {"ZZR File", 10 * kMB}}));
    EXPECT_EQ(doc.kindStats[0].count, 2);
    EXPECT_EQ(doc.colors[std::size_t(app->kind)], Palette::kUnranked);
}

TEST(KindStats, RanksBySizeWithTiesInIdentifierOrderAndColoursByRank)
{
    // Classification goes depth first in child order: z (30) first, so kc gets 5 and
    // kb 6; a.ka at the root comes last with 7.
    TreeBuilder b("/data");
    FileNode* z = b.folder(b.root(), "z");
    b.file(z, "q.kb", 10);
    b.file(z, "r.kc", 20);
    b.file(b.root(), "a.ka", 10);
    b.file(b.root(), "empty.kz", 0);
    TallyfernDocument doc("/data", noVolume(), "data");
    doc.install(b.finish());

    const std::int32_t kc = doc.kinds().kindForFile("x.kc");
    const std::int32_t kb = doc.kinds().kindForFile("x.kb");
    const std::int32_t ka = doc.kinds().kindForFile("x.ka");
    const std::int32_t kz = doc.kinds().kindForFile("x.kz");
    EXPECT_EQ(std::vector({kc, kb, ka}), std::vector({5, 6, 7}));
    EXPECT_EQ(doc.kindStats, (std::vector<KindStat>{{kc, 20, 1}, {kb, 10, 1}, {ka, 10, 1}}));

    const std::vector<RGB>& palette = Palette::colors();
    ASSERT_EQ(doc.colors.size(), std::size_t(doc.kinds().count()));
    EXPECT_EQ(doc.colors[std::size_t(kc)], palette[0]);
    EXPECT_EQ(doc.colors[std::size_t(kb)], palette[1]);
    EXPECT_EQ(doc.colors[std::size_t(ka)], palette[2]);
    EXPECT_EQ(doc.colors[std::size_t(kz)], Palette::kUnranked) << "size-0 kinds have no rank";
    EXPECT_EQ(doc.colors[KindRegistry::kFolder], Palette::kUnranked);
}

TEST(KindStats, KindsBeyondThePaletteAreGrey)
{
    TreeBuilder b("/data");
    for (int i = 0; i < 50; ++i) {
        const char name[] = {'f', '.', 'k', char('a' + i % 26), char('a' + i / 26)};
        b.file(b.root(), std::string_view(name, sizeof name), 100 - i);
    }
    TallyfernDocument doc("/data", noVolume(), "data");
    doc.install(b.finish());
    ASSERT_EQ(doc.kindStats.size(), 50u);
    EXPECT_EQ(doc.colors[std::size_t(doc.kindStats[47].kind)], Palette::colors()[47]);
    EXPECT_EQ(doc.colors[std::size_t(doc.kindStats[48].kind)], Palette::kUnranked);
    EXPECT_EQ(doc.colors[std::size_t(doc.kindStats[49].kind)], Palette::kUnranked);
}

TEST(KindStats, FocusNarrowsTheScopeAndAStaleFocusIsIgnored)
{
    TreeBuilder b("/data");
    FileNode* photos = b.folder(b.root(), "photos");
    b.file(photos, "a.qpic", 10);
    FileNode* music = b.folder(b.root(), "music");
    FileNode* song = b.file(music, "s.qsnd", 30);
    TallyfernDocument doc("/", [](const std::string&) {
        return std::optional<VolumeFacts>(VolumeFacts{"/data", 1000, 100, 100});
    }, "data");
    doc.install(b.finish());
    const std::vector<KindStat> whole = doc.kindStats;
    ASSERT_EQ(whole.size(), 2u);

    doc.focus = photos;
    doc.computeKindStats();
    ASSERT_EQ(doc.kindStats.size(), 1u);
    EXPECT_EQ(doc.kindStats[0].size, 10);
    EXPECT_EQ(doc.colors[std::size_t(doc.kindStats[0].kind)], Palette::colors()[0])
        << "the largest kind of the focus takes the first colour";

    doc.focus = song; // a file as the scope counts itself
    doc.computeKindStats();
    EXPECT_EQ(doc.kindStats, (std::vector<KindStat>{{song->kind, 30, 1}}));

    TreeBuilder elsewhere("/elsewhere");
    FileNode* foreign = elsewhere.folder(elsewhere.root(), "photos");
    elsewhere.file(foreign, "b.qpic", 99);
    FileTree other = elsewhere.finish();
    doc.focus = foreign;
    doc.computeKindStats();
    EXPECT_EQ(doc.kindStats, whole);

    ASSERT_TRUE(doc.removeNode(music)); // the focus below it has left the tree
    doc.focus = song;
    doc.computeKindStats();
    EXPECT_EQ(doc.kindStats.size(), 1u);
    EXPECT_EQ(doc.kindStats[0].size, 10);
}

TEST(KindStats, OutOfRangeKindsAreSkipped)
{
    TreeBuilder b("/data");
    FileNode* odd = b.file(b.root(), "odd.qa", 5);
    FileNode* negative = b.file(b.root(), "neg.qb", 6);
    b.file(b.root(), "ok.qc", 7);
    TallyfernDocument doc("/data", noVolume(), "data");
    doc.install(b.finish());
    odd->kind = 1000;
    negative->kind = -3;
    doc.computeKindStats();
    ASSERT_EQ(doc.kindStats.size(), 1u);
    EXPECT_EQ(doc.kindStats[0].size, 7);
}

TEST(DeepTree, HundredThousandLevelsClassifyAndTotalWithoutRecursion)
{
    constexpr int kDepth = 100'000;
    FileTree tree;
    NodeArena& arena = tree.arena;
    tree.root = arena.make("/deep", nullptr, 1, 1, 1, 2, NodeFlags::Directory);
    FileNode* folder = tree.root;
    for (int i = 1; i < kDepth; ++i) {
        FileNode* child = arena.make("level.d", nullptr, 1, 1, 1, 2, NodeFlags::Directory);
        arena.adoptChildren(folder, std::span<FileNode* const>(&child, 1));
        folder = child;
    }
    FileNode* leaf = arena.make("bottom.qdeep", nullptr, 1, 1, 1, 2, NodeFlags());
    arena.adoptChildren(folder, std::span<FileNode* const>(&leaf, 1));

    TallyfernDocument doc("/deep", noVolume(), "deep");
    doc.install(std::move(tree));
    EXPECT_EQ(doc.kinds().name(leaf->kind), "QDEEP File");
    EXPECT_EQ(folder->kind, KindRegistry::kFolder);
    ASSERT_EQ(doc.kindStats.size(), 1u);
    EXPECT_EQ(doc.kindStats[0], (KindStat{leaf->kind, 1, 1}));

    doc.focus = folder;
    doc.computeKindStats();
    EXPECT_EQ(doc.kindStats.size(), 1u);

    doc.propagate(leaf, 9, 9, 0);
    EXPECT_EQ(doc.root()->size, 10);
    EXPECT_TRUE(isConsistent(doc.root()));
}
