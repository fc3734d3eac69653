// SPDX-License-Identifier: MIT
#include "model/TallyfernDocument.h"
#include "model/support/TreeBuilder.h"

#include <gtest/gtest.h>

#include <random>

namespace {

VolumeFactsProvider noVolume()
{
    return [](const std::string&) { return std::optional<VolumeFacts>(); };
}

// /data
//   B       22 MB  (b.dat)
//   A       20 MB
//     A1    12 MB  (a1.dat)
//     T      8 MB  (t.dat)   <- the folder that gets rescanned
struct Fixture {
    TallyfernDocument doc{"/data", noVolume(), "data"};
    FileNode* a = nullptr;
    FileNode* a1 = nullptr;
    FileNode* t = nullptr;
    FileNode* b = nullptr;
    FileNode* oldChild = nullptr;

    Fixture()
    {
        TreeBuilder builder("/data");
        a = builder.folder(builder.root(), "A");
        a1 = builder.folder(a, "A1");
        builder.file(a1, "a1.dat", 12 * kMB);
        t = builder.folder(a, "T");
        oldChild = builder.file(t, "t.dat", 8 * kMB);
        b = builder.folder(builder.root(), "B");
        builder.file(b, "b.dat", 22 * kMB);
        doc.install(builder.finish());
    }
};

// A rescan of T: the old file plus a new 5 MB one.
FileTree grownRescan()
{
    TreeBuilder builder("/data/A/T");
    builder.file(builder.root(), "t.dat", 8 * kMB);
    builder.file(builder.root(), "new.dat", 5 * kMB, 4 * kMB);
    FileTree tree = builder.finish();
    return tree;
}

} // namespace

TEST(DocumentEdit, GrownRescanMovesAheadOfSiblingsAtEveryLevel)
{
    Fixture f;
    ASSERT_EQ(f.doc.root()->child(0), f.b);
    ASSERT_EQ(f.a->child(0), f.a1);
    const std::int32_t kind = f.t->kind;
    const std::int64_t rootBefore = f.doc.root()->size;

    FileTree rescan = grownRescan();
    f.doc.classify(rescan.root);
    f.doc.replaceContents(f.t, std::move(rescan));

    EXPECT_EQ(f.t->size, 13 * kMB);
    EXPECT_EQ(f.t->logicalSize, 12 * kMB);
    EXPECT_EQ(f.t->fileCount, 2);
    EXPECT_EQ(f.a->size, 25 * kMB);
    EXPECT_EQ(f.doc.root()->size, rootBefore + 5 * kMB);
    EXPECT_EQ(f.a->child(0), f.t) << "T (13 MB) now precedes A1 (12 MB)";
    EXPECT_EQ(f.doc.root()->child(0), f.a) << "A (25 MB) now precedes B (22 MB)";
    EXPECT_EQ(f.t->name(), "T");
    EXPECT_EQ(f.t->kind, kind);
    EXPECT_EQ(f.t->parent, f.a);
    EXPECT_TRUE(isConsistent(f.doc.root()));
    // The replaced children have left the tree.
    EXPECT_EQ(f.oldChild->parent, nullptr);
    EXPECT_FALSE(f.doc.isInTree(f.oldChild));
    EXPECT_TRUE(f.doc.isInTree(f.t->child(0)));
}

TEST(DocumentEdit, RescanTakesTheNewFlagsButKeepsThePackageFlag)
{
    TreeBuilder builder("/data");
    FileNode* app = builder.folder(builder.root(), "Tool.app");
    builder.file(app, "bin", 1 * kMB);
    FileNode* plain = builder.folder(builder.root(), "plain");
    TallyfernDocument doc("/data", noVolume(), "data");
    doc.install(builder.finish());
    ASSERT_TRUE(app->flags.contains(NodeFlags::Package));

    TreeBuilder unreadable("/data/plain");
    unreadable.root()->flags.insert(NodeFlags::Unreadable);
    doc.replaceContents(plain, unreadable.finish());
    EXPECT_TRUE(plain->flags.contains(NodeFlags::Unreadable));

    TreeBuilder readable("/data/plain");
    readable.file(readable.root(), "x", 1);
    doc.replaceContents(plain, readable.finish());
    EXPECT_EQ(plain->flags, NodeFlags(NodeFlags::Directory));

    TreeBuilder appAgain("/data/Tool.app");
    appAgain.file(appAgain.root(), "bin", 2 * kMB);
    doc.replaceContents(app, appAgain.finish());
    EXPECT_EQ(app->flags, NodeFlags({NodeFlags::Directory, NodeFlags::Package}));
    EXPECT_EQ(doc.root()->size, 2 * kMB + 1);
    EXPECT_TRUE(isConsistent(doc.root()));
}

TEST(DocumentEdit, RescanOfAFolderThatLeftTheTreeChangesNothing)
{
    Fixture f;
    ASSERT_TRUE(f.doc.removeNode(f.a));
    const std::vector<std::string> before = snapshot(f.doc.root());
    FileTree rescan = grownRescan();
    f.doc.replaceContents(f.t, std::move(rescan)); // T's parent A was trashed
    EXPECT_EQ(snapshot(f.doc.root()), before);
    EXPECT_EQ(f.t->size, 8 * kMB);
}

TEST(DocumentEdit, RescanOfTheRootKeepsTheAttachedPseudoItems)
{
    TreeBuilder builder("/");
    builder.file(builder.root(), "a", 100 * kGB);
    TallyfernDocument doc("/", [](const std::string&) {
        return std::optional<VolumeFacts>(VolumeFacts{"/", 1000 * kGB, 300 * kGB, 300 * kGB});
    });
    doc.install(builder.finish());
    ASSERT_EQ(doc.root()->childCount(), 3u);

    TreeBuilder again("/");
    again.file(again.root(), "a", 100 * kGB);
    again.file(again.root(), "b", 50 * kGB);
    doc.replaceContents(doc.root(), again.finish());
    EXPECT_EQ(doc.root()->childCount(), 4u);
    EXPECT_EQ(doc.freeNode()->parent, doc.root());
    EXPECT_EQ(doc.scannedBytes(), 150 * kGB);
    EXPECT_EQ(doc.root()->size, 150 * kGB + 300 * kGB + 600 * kGB);
    EXPECT_TRUE(isConsistent(doc.root()));
}

TEST(DocumentEdit, RemovingANodeSubtractsItsTotalsAndReordersAncestors)
{
    Fixture f;
    FileNode* bFile = f.b->child(0);
    ASSERT_TRUE(f.doc.removeNode(bFile));
    EXPECT_EQ(f.b->size, 0);
    EXPECT_EQ(f.b->fileCount, 0);
    EXPECT_EQ(f.doc.root()->size, 20 * kMB);
    EXPECT_EQ(f.doc.root()->child(0), f.a);
    EXPECT_EQ(f.doc.root()->child(1), f.b);
    EXPECT_EQ(bFile->parent, nullptr);
    EXPECT_TRUE(isConsistent(f.doc.root()));

    EXPECT_FALSE(f.doc.removeNode(bFile)) << "already gone";
    EXPECT_FALSE(f.doc.removeNode(f.doc.root()));
    EXPECT_FALSE(f.doc.removeNode(nullptr));
    EXPECT_EQ(f.doc.root()->size, 20 * kMB);
}

TEST(DocumentEdit, PropagateBreaksSizeTiesByName)
{
    TreeBuilder builder("/data");
    FileNode* a = builder.file(builder.root(), "a", 5);
    builder.file(builder.root(), "b", 10);
    TallyfernDocument doc("/data", noVolume(), "data");
    doc.install(builder.finish());
    ASSERT_EQ(doc.root()->child(0)->name(), "b");

    doc.propagate(a, 5, 5, 0);
    EXPECT_EQ(doc.root()->child(0), a) << "equal sizes: a before b";
    EXPECT_EQ(doc.root()->size, 20);
    doc.propagate(a, 1, 1, 0);
    EXPECT_EQ(doc.root()->child(0), a);
    doc.propagate(a, -2, -2, 0);
    EXPECT_EQ(doc.root()->child(1), a);
    EXPECT_TRUE(isConsistent(doc.root()));
}

TEST(DocumentEdit, RandomEditsKeepEveryTotalAndOrderExact)
{
    std::mt19937 random(7);
    TreeBuilder builder("/data");
    std::vector<FileNode*> folders{builder.root()};
    std::vector<FileNode*> files;
    for (int i = 0; i < 400; ++i) {
        FileNode* parent = folders[random() % folders.size()];
        // Few distinct sizes, so that many ties are broken by name.
        std::string name = "n";
        name += std::to_string(random() % 50);
        if (random() % 4 == 0) {
            name += "d";
            name += std::to_string(i);
            folders.push_back(builder.folder(parent, name));
        } else {
            name += ".";
            name += std::to_string(i);
            files.push_back(builder.file(parent, name, std::int64_t(random() % 8) * 512));
        }
    }
    TallyfernDocument doc("/data", noVolume(), "data");
    doc.install(builder.finish());
    ASSERT_TRUE(isConsistent(doc.root()));

    for (int step = 0; step < 300; ++step) {
        FileNode* node = files[random() % files.size()];
        if (!doc.isInTree(node))
            continue;
        if (random() % 5 == 0) {
            ASSERT_TRUE(doc.removeNode(node));
        } else {
            const std::int64_t delta = std::int64_t(random() % 4096) - std::min<std::int64_t>(node->size, 2048);
            doc.propagate(node, delta, delta, 0);
        }
        ASSERT_TRUE(isConsistent(doc.root())) << "step " << step;
    }
}
