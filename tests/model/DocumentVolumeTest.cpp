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

// Free and other space only when the whole volume is scanned and its total is known;
// the free figure falls back, other space is clamped, and neither is attached at zero.
TEST(DocumentVolume, FreeFigureFallsBackAndOtherSpaceIsClampedAndNeverAttachedAtZero)
{
    struct Case {
        std::string path;
        VolumeFactsProvider facts;
        std::int64_t folderBytes;
        std::string expected; // free, other, children of the root; "-" when there are no items
    };
    const std::optional<std::int64_t> unknown;
    const Case cases[] = {
        { "/", volume("/", 1000 * kGB, 300 * kGB, 250 * kGB), 400 * kGB,
            "250 150 4" }, // important usage first
        { "/", volume("/", 1000 * kGB, 300 * kGB, unknown), 400 * kGB, "300 100 4" },
        { "/", volume("/", 1000 * kGB, unknown, unknown), 400 * kGB,
            "0 400 3" }, // a free item of 0 stays out
        { "/", volume("/", 1000 * kGB, -5 * kGB, -5 * kGB), 400 * kGB, "0 400 3" }, // negative counts as none
        { "/", volume("/", 1000 * kGB, 300 * kGB, 300 * kGB), 600 * kGB, "300 0 3" }, // 800 GB: other clamped
        { "/Volumes/Data/Users", kData, 400 * kGB, "- 2" },
        { "/Volumes/Data", volume("/Volumes/Data", unknown, 300 * kGB, 300 * kGB), 400 * kGB, "- 2" },
        { "/Volumes/Data", noVolume(), 400 * kGB, "- 2" },
        { "/Volumes/DataX", kData, 400 * kGB, "- 2" },
        { "/Volumes//Data/.", kData, 400 * kGB, "300 100 4" }, // paths compare standardised
        { "/Volumes/Data", volume("/Volumes/Data/", 1000 * kGB, 300 * kGB, 300 * kGB), 400 * kGB,
            "300 100 4" },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path + " " + c.expected);
        TallyfernDocument doc(c.path, c.facts, "Name");
        doc.install(scanOf(c.path, c.folderBytes));
        EXPECT_EQ(doc.scannedBytes(), c.folderBytes + 200 * kGB);
        EXPECT_EQ(doc.root()->logicalSize, doc.scannedBytes()) << "pseudo items add allocated size only";
        if (doc.freeNode()) { // fixed kinds and colours, never in the kinds table
            EXPECT_EQ(std::tuple(doc.freeNode()->flags, doc.freeNode()->kind, doc.otherNode()->kind),
                std::tuple(
                    NodeFlags(NodeFlags::Pseudo), KindRegistry::kFreeSpace, KindRegistry::kOtherSpace));
            EXPECT_EQ(std::pair(doc.colors[KindRegistry::kFreeSpace], doc.colors[KindRegistry::kOtherSpace]),
                std::pair(Palette::kFreeSpace, Palette::kOtherSpace));
            for (const KindStat& stat : doc.kindStats)
                EXPECT_GT(stat.kind, KindRegistry::kOtherSpace);
        }
        // Hiding and showing again gives the same tree and never attaches an empty item.
        const std::vector<std::string> shown = snapshot(doc.root());
        for (int round = 0; round < 2; ++round) {
            EXPECT_EQ((doc.freeNode() ? std::to_string(doc.freeNode()->size / kGB) + " "
                                  + std::to_string(doc.otherNode()->size / kGB) + " "
                                      : std::string("- "))
                    + std::to_string(doc.root()->childCount()),
                c.expected);
            EXPECT_EQ(treeFaults(doc.root()), "");
            doc.detachPseudoNodes();
            doc.detachPseudoNodes(); // twice changes nothing
            EXPECT_EQ(std::pair(doc.root()->size, doc.root()->childCount()),
                std::pair(doc.scannedBytes(), std::size_t(2)));
            EXPECT_EQ(treeFaults(doc.root()), "");
            doc.attachPseudoNodes();
            doc.attachPseudoNodes();
            EXPECT_EQ(snapshot(doc.root()), shown);
        }
    }
}
