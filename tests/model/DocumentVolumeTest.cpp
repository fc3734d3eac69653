// SPDX-License-Identifier: MIT
#include "model/TallyfernDocument.h"
#include "model/Palette.h"
#include "model/support/TreeBuilder.h"

#include <gtest/gtest.h>

namespace {

VolumeFactsProvider volume(std::string mountPoint, std::optional<std::int64_t> total,
                           std::optional<std::int64_t> available, std::optional<std::int64_t> important)
{
    return [=](const std::string&) {
        return std::optional<VolumeFacts>(VolumeFacts{mountPoint, total, available, important});
    };
}

// A 600 GB scan: a 400 GB folder and a 200 GB file.
FileTree scanOf(std::string_view rootName, std::int64_t folderBytes = 400 * kGB, std::int64_t fileBytes = 200 * kGB)
{
    TreeBuilder b(rootName);
    FileNode* users = b.folder(b.root(), "Users");
    b.file(users, "disk.img", folderBytes);
    b.file(b.root(), "big.iso", fileBytes);
    return b.finish();
}

} // namespace

TEST(DocumentVolume, WholeVolumeScanGetsFreeAndOtherSpace)
{
    TallyfernDocument doc("/Volumes/Data", volume("/Volumes/Data", 1000 * kGB, 300 * kGB, 300 * kGB), "Data");
    doc.install(scanOf("/Volumes/Data"));

    ASSERT_NE(doc.freeNode(), nullptr);
    ASSERT_NE(doc.otherNode(), nullptr);
    EXPECT_EQ(doc.freeNode()->size, 300 * kGB);
    EXPECT_EQ(doc.otherNode()->size, 100 * kGB);
    EXPECT_EQ(doc.root()->size, 1000 * kGB);
    EXPECT_EQ(doc.scannedBytes(), 600 * kGB);
    const std::vector<std::pair<std::string, std::int64_t>> expected{
        {"Users", 400 * kGB}, {"Free Space", 300 * kGB}, {"big.iso", 200 * kGB}, {"Other Space", 100 * kGB}};
    EXPECT_EQ(listing(doc.root()), expected);
    EXPECT_TRUE(isConsistent(doc.root()));

    for (FileNode* item : {doc.freeNode(), doc.otherNode()}) {
        EXPECT_EQ(item->flags, NodeFlags(NodeFlags::Pseudo));
        EXPECT_EQ(item->logicalSize, 0);
        EXPECT_EQ(item->fileCount, 0);
        EXPECT_EQ(item->parent, doc.root());
    }
    EXPECT_EQ(doc.freeNode()->kind, KindRegistry::kFreeSpace);
    EXPECT_EQ(doc.otherNode()->kind, KindRegistry::kOtherSpace);
    EXPECT_EQ(doc.freeNode()->path(), "/Volumes/Data/Free Space");
    EXPECT_EQ(doc.root()->logicalSize, 600 * kGB) << "pseudo items add allocated size only";

    // The kinds table never lists them, yet both have their fixed colours.
    for (const KindStat& stat : doc.kindStats)
        EXPECT_GT(stat.kind, KindRegistry::kOtherSpace);
    EXPECT_EQ(doc.colors[KindRegistry::kFreeSpace], Palette::kFreeSpace);
    EXPECT_EQ(doc.colors[KindRegistry::kOtherSpace], Palette::kOtherSpace);
}

TEST(DocumentVolume, FreeFigurePrefersImportantUsageThenAvailableThenZero)
{
    struct Case {
        std::optional<std::int64_t> available, important;
        std::int64_t free, other;
        std::size_t rootChildren;
    };
    const Case cases[] = {
        {300 * kGB, 250 * kGB, 250 * kGB, 150 * kGB, 4},
        {300 * kGB, std::nullopt, 300 * kGB, 100 * kGB, 4},
        {std::nullopt, std::nullopt, 0, 400 * kGB, 3}, // a free item of size 0 is never attached
        {-5 * kGB, -5 * kGB, 0, 400 * kGB, 3},        // a negative figure counts as none
    };
    for (const Case& c : cases) {
        TallyfernDocument doc("/", volume("/", 1000 * kGB, c.available, c.important), "Root");
        doc.install(scanOf("/"));
        ASSERT_TRUE(doc.freeNode() && doc.otherNode());
        EXPECT_EQ(doc.freeNode()->size, c.free);
        EXPECT_EQ(doc.otherNode()->size, c.other);
        EXPECT_EQ(doc.root()->childCount(), c.rootChildren);
        EXPECT_EQ(doc.scannedBytes(), 600 * kGB);
        EXPECT_TRUE(isConsistent(doc.root()));
    }
}

TEST(DocumentVolume, OtherSpaceIsClampedAtZeroAndNeverAttached)
{
    // 800 GB scanned on a 1000 GB volume with 300 GB free: more than total minus free.
    TallyfernDocument doc("/Volumes/Data", volume("/Volumes/Data", 1000 * kGB, 300 * kGB, 300 * kGB), "Data");
    doc.install(scanOf("/Volumes/Data", 600 * kGB, 200 * kGB));
    ASSERT_NE(doc.otherNode(), nullptr);
    EXPECT_EQ(doc.otherNode()->size, 0);
    EXPECT_EQ(doc.otherNode()->parent, nullptr);
    EXPECT_EQ(doc.root()->childCount(), 3u);
    EXPECT_EQ(doc.root()->size, 1100 * kGB);
    EXPECT_EQ(doc.scannedBytes(), 800 * kGB);

    // Hiding and showing again must not attach it either.
    doc.detachPseudoNodes();
    doc.attachPseudoNodes();
    EXPECT_EQ(doc.otherNode()->parent, nullptr);
    EXPECT_EQ(doc.root()->childCount(), 3u);
}

TEST(DocumentVolume, NoPseudoItemsUnlessTheWholeVolumeIsScannedWithAKnownTotal)
{
    struct Case {
        std::string path;
        VolumeFactsProvider facts;
        bool expectItems;
    };
    const Case cases[] = {
        {"/Volumes/Data/Users", volume("/Volumes/Data", 1000 * kGB, 300 * kGB, 300 * kGB), false},
        {"/Volumes/Data", volume("/Volumes/Data", std::nullopt, 300 * kGB, 300 * kGB), false},
        {"/Volumes/Data", volume("", 1000 * kGB, 300 * kGB, 300 * kGB), false},
        {"/Volumes/Data", [](const std::string&) { return std::optional<VolumeFacts>(); }, false},
        // Compared as standardised paths.
        {"/Volumes/Data/", volume("/Volumes/Data", 1000 * kGB, 300 * kGB, 300 * kGB), true},
        {"/Volumes//Data/.", volume("/Volumes/Data", 1000 * kGB, 300 * kGB, 300 * kGB), true},
        {"/Volumes/Data", volume("/Volumes/Data/", 1000 * kGB, 300 * kGB, 300 * kGB), true},
        {"/Volumes/DataX", volume("/Volumes/Data", 1000 * kGB, 300 * kGB, 300 * kGB), false},
    };
    for (const Case& c : cases) {
        TallyfernDocument doc(c.path, c.facts, "Name");
        doc.install(scanOf(c.path));
        EXPECT_EQ(doc.freeNode() != nullptr, c.expectItems) << c.path;
        EXPECT_EQ(doc.otherNode() != nullptr, c.expectItems) << c.path;
        if (!c.expectItems) {
            EXPECT_EQ(doc.root()->childCount(), 2u);
            EXPECT_EQ(doc.scannedBytes(), doc.root()->size);
        }
    }
}

TEST(DocumentVolume, HidingAndShowingFreeSpaceRestoresTheSameTree)
{
    TallyfernDocument doc("/Volumes/Data", volume("/Volumes/Data", 1000 * kGB, 300 * kGB, 300 * kGB), "Data");
    doc.install(scanOf("/Volumes/Data"));
    const std::vector<std::string> shown = snapshot(doc.root());

    doc.detachPseudoNodes();
    EXPECT_EQ(doc.root()->size, 600 * kGB);
    EXPECT_EQ(doc.root()->childCount(), 2u);
    EXPECT_EQ(doc.freeNode()->parent, nullptr);
    EXPECT_EQ(doc.otherNode()->parent, nullptr);
    EXPECT_EQ(doc.freeNode()->path(), "Free Space");
    EXPECT_EQ(doc.scannedBytes(), 600 * kGB);
    EXPECT_TRUE(isConsistent(doc.root()));
    const std::vector<std::string> hidden = snapshot(doc.root());

    doc.detachPseudoNodes(); // twice changes nothing
    EXPECT_EQ(snapshot(doc.root()), hidden);

    for (int round = 0; round < 50; ++round) {
        doc.attachPseudoNodes();
        doc.attachPseudoNodes(); // twice changes nothing
        ASSERT_EQ(snapshot(doc.root()), shown) << "round " << round;
        doc.detachPseudoNodes();
        ASSERT_EQ(snapshot(doc.root()), hidden) << "round " << round;
    }
}

TEST(DocumentVolume, ItemsStayDetachedWhenFreeSpaceIsHiddenAtInstall)
{
    TallyfernDocument doc("/", volume("/", 1000 * kGB, 300 * kGB, 300 * kGB), "Root");
    doc.showFreeSpace = false;
    doc.install(scanOf("/"));
    ASSERT_NE(doc.freeNode(), nullptr);
    EXPECT_EQ(doc.freeNode()->parent, nullptr);
    EXPECT_EQ(doc.root()->size, 600 * kGB);
    doc.attachPseudoNodes();
    EXPECT_EQ(doc.root()->size, 1000 * kGB);
}

TEST(DocumentVolume, ReinstallingReplacesTreeFocusAndItems)
{
    std::int64_t free = 300 * kGB;
    TallyfernDocument doc("/", [&free](const std::string&) {
        return std::optional<VolumeFacts>(VolumeFacts{"/", 1000 * kGB, free, free});
    });
    doc.install(scanOf("/"));
    doc.focus = doc.root()->child(0);

    free = 100 * kGB;
    doc.install(scanOf("/", 500 * kGB, 200 * kGB));
    EXPECT_EQ(doc.focus, nullptr);
    EXPECT_EQ(doc.freeNode()->size, 100 * kGB);
    EXPECT_EQ(doc.otherNode()->size, 200 * kGB);
    EXPECT_EQ(doc.freeNode()->parent, doc.root());
    EXPECT_EQ(doc.root()->size, 1000 * kGB);
    EXPECT_EQ(doc.scannedBytes(), 700 * kGB);
    EXPECT_TRUE(isConsistent(doc.root()));
}

TEST(DocumentVolume, EmptyDocumentDoesNothing)
{
    TallyfernDocument doc("/x", volume("/x", 1, 1, 1), "x");
    EXPECT_EQ(doc.root(), nullptr);
    EXPECT_EQ(doc.scannedBytes(), 0);
    doc.attachPseudoNodes();
    doc.detachPseudoNodes();
    doc.kindStats = {KindStat{5, 1, 1}};
    doc.colors = {RGB{}};
    doc.computeKindStats();
    EXPECT_TRUE(doc.kindStats.empty());
    EXPECT_TRUE(doc.colors.empty());
    EXPECT_EQ(doc.renderQueue().label(), "Tallyfern.render");
    EXPECT_EQ(doc.displayName(), "x");
    EXPECT_FALSE(doc.showPackageContents);
    EXPECT_TRUE(doc.showFreeSpace);
}
