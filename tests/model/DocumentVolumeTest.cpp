// SPDX-License-Identifier: MIT
#include "model/Palette.h"
#include "model/TallyfernDocument.h"
#include "model/support/Volumes.h"
#include "support/TreeBuilder.h"
#include "support/TreeChecks.h"

#include <gtest/gtest.h>

namespace {

const VolumeFactsProvider kData = volume("/Volumes/Data", 1000 * kGB, 300 * kGB, 300 * kGB);

// A scan of a 400 GB folder and a 200 GB file.
FileTree scanOf(
    std::string_view rootName, std::int64_t folderBytes = 400 * kGB, std::int64_t fileBytes = 200 * kGB)
{
    TreeBuilder b(rootName);
    b.file(b.folder(b.root(), "Users"), "disk.img", folderBytes);
    b.file(b.root(), "big.iso", fileBytes);
    return b.finish();
}

} // namespace

TEST(DocumentVolume, WholeVolumeScanGetsFreeAndOtherSpace)
{
    TallyfernDocument doc("/Volumes/Data", kData, "Data");
    doc.install(scanOf("/Volumes/Data"));
    ASSERT_TRUE(doc.freeNode() && doc.otherNode());
    EXPECT_EQ(std::tuple(doc.root()->size, doc.root()->logicalSize, doc.scannedBytes()),
        std::tuple(1000 * kGB, 600 * kGB, 600 * kGB))
        << "the items add allocated size only";
    const std::vector<std::pair<std::string, std::int64_t>> expected { { "Users", 400 * kGB },
        { "Free Space", 300 * kGB }, { "big.iso", 200 * kGB }, { "Other Space", 100 * kGB } };
    EXPECT_EQ(listing(doc.root()), expected);
    EXPECT_EQ(treeFaults(doc.root()), "");
    EXPECT_EQ(doc.freeNode()->flags, NodeFlags(NodeFlags::Pseudo));
    EXPECT_EQ(std::pair(doc.freeNode()->kind, doc.otherNode()->kind),
        std::pair(KindRegistry::kFreeSpace, KindRegistry::kOtherSpace));
    // The kinds table never lists them, yet both have their fixed colours.
    for (const KindStat& stat : doc.kindStats)
        EXPECT_GT(stat.kind, KindRegistry::kOtherSpace);
    EXPECT_EQ(doc.colors[KindRegistry::kFreeSpace], Palette::kFreeSpace);
    EXPECT_EQ(doc.colors[KindRegistry::kOtherSpace], Palette::kOtherSpace);
}

TEST(DocumentVolume, FreeFigureFallsBackAndOtherSpaceIsClampedAndNeverAttachedAtZero)
{
    struct Case {
        std::optional<std::int64_t> available, important;
        std::int64_t folderBytes, free, other;
        std::size_t rootChildren;
    };
    const Case cases[] = {
        { 300 * kGB, 250 * kGB, 400 * kGB, 250 * kGB, 150 * kGB, 4 }, // important usage first
        { 300 * kGB, std::nullopt, 400 * kGB, 300 * kGB, 100 * kGB, 4 },
        { std::nullopt, std::nullopt, 400 * kGB, 0, 400 * kGB, 3 }, // a free item of 0 stays out
        { -5 * kGB, -5 * kGB, 400 * kGB, 0, 400 * kGB, 3 }, // a negative figure counts as none
        { 300 * kGB, 300 * kGB, 600 * kGB, 300 * kGB, 0, 3 }, // 800 GB scanned: other is clamped
    };
    for (const Case& c : cases) {
        TallyfernDocument doc("/", volume("/", 1000 * kGB, c.available, c.important), "Root");
        doc.install(scanOf("/", c.folderBytes));
        ASSERT_TRUE(doc.freeNode() && doc.otherNode());
        EXPECT_EQ(std::pair(doc.freeNode()->size, doc.otherNode()->size), std::pair(c.free, c.other));
        EXPECT_EQ(doc.root()->childCount(), c.rootChildren);
        EXPECT_EQ(doc.scannedBytes(), c.folderBytes + 200 * kGB);
        // Hiding and showing again must not attach an empty item either.
        doc.detachPseudoNodes();
        doc.attachPseudoNodes();
        EXPECT_EQ(doc.root()->childCount(), c.rootChildren);
        EXPECT_EQ(doc.otherNode()->parent == nullptr, c.other == 0);
        EXPECT_EQ(treeFaults(doc.root()), "");
    }
}

TEST(DocumentVolume, ItemsOnlyWhenTheWholeVolumeIsScannedWithAKnownTotal)
{
    const std::tuple<std::string, VolumeFactsProvider, bool> cases[] = {
        { "/Volumes/Data/Users", kData, false },
        { "/Volumes/Data", volume("/Volumes/Data", std::nullopt, 300 * kGB, 300 * kGB), false },
        { "/Volumes/Data", [](const std::string&) { return std::optional<VolumeFacts>(); }, false },
        { "/Volumes/DataX", kData, false },
        { "/Volumes//Data/.", kData, true }, // paths compare standardised
        { "/Volumes/Data", volume("/Volumes/Data/", 1000 * kGB, 300 * kGB, 300 * kGB), true },
    };
    for (const auto& [path, facts, whole] : cases) {
        TallyfernDocument doc(path, facts, "Name");
        doc.install(scanOf(path));
        EXPECT_EQ(doc.freeNode() != nullptr, whole) << path;
        EXPECT_EQ(doc.root()->childCount(), whole ? 4u : 2u) << path;
    }
}

TEST(DocumentVolume, HidingAndShowingFreeSpaceRestoresTheSameTree)
{
    TallyfernDocument doc("/Volumes/Data", kData, "Data");
    doc.install(scanOf("/Volumes/Data"));
    const std::vector<std::string> shown = snapshot(doc.root());
    doc.detachPseudoNodes();
    EXPECT_EQ(std::tuple(doc.root()->size, doc.root()->childCount(), doc.scannedBytes()),
        std::tuple(600 * kGB, 2u, 600 * kGB));
    EXPECT_EQ(doc.freeNode()->parent, nullptr);
    EXPECT_EQ(treeFaults(doc.root()), "");
    const std::vector<std::string> hidden = snapshot(doc.root());
    for (int round = 0; round < 3; ++round) {
        doc.attachPseudoNodes();
        doc.attachPseudoNodes(); // twice changes nothing
        ASSERT_EQ(snapshot(doc.root()), shown) << "round " << round;
        doc.detachPseudoNodes();
        doc.detachPseudoNodes();
        ASSERT_EQ(snapshot(doc.root()), hidden) << "round " << round;
    }
}
