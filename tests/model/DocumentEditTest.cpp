// SPDX-License-Identifier: MIT
#include "model/TallyfernDocument.h"
#include "model/support/TreeBuilder.h"

#include <gtest/gtest.h>

#include <random>

namespace {

// /data
//   B       22 MB  (b.dat)
//   A       20 MB
//     A1    12 MB  (a1.dat)
//     T      8 MB  (t.dat)   <- the folder that gets rescanned
struct Fixture {
    TallyfernDocument doc { "/data", noVolume(), "data" };
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
    return builder.finish();
}

} // namespace

TEST(DocumentEdit, GrownRescanMovesAheadOfSiblingsAtEveryLevel)
{
    Fixture f;
    ASSERT_EQ(f.doc.root()->child(0), f.b);
    ASSERT_EQ(f.a->child(0), f.a1);
    const std::int32_t kind = f.t->kind;

    FileTree rescan = grownRescan();
    f.doc.classify(rescan.root);
    f.doc.replaceContents(f.t, std::move(rescan));
    EXPECT_EQ(f.t->size, 13 * kMB);
    EXPECT_EQ(f.t->logicalSize, 12 * kMB);
    EXPECT_EQ(f.t->fileCount, 2);
    EXPECT_EQ(f.doc.root()->size, 47 * kMB);
    EXPECT_EQ(f.a->child(0), f.t) << "T (13 MB) now precedes A1 (12 MB)";
    EXPECT_EQ(f.doc.root()->child(0), f.a) << "A (25 MB) now precedes B (22 MB)";
    EXPECT_EQ(f.t->name(), "T");
    EXPECT_EQ(f.t->kind, kind);
    EXPECT_EQ(f.t->parent, f.a);
    EXPECT_TRUE(isConsistent(f.doc.root()));
    EXPECT_FALSE(f.doc.isInTree(f.oldChild)) << "the replaced children have left the tree";
    EXPECT_TRUE(f.doc.isInTree(f.t->child(0)));
}

TEST(DocumentEdit, RescanOfAFolderThatLeftTheTreeChangesNothing)
{
    Fixture f;
    ASSERT_TRUE(f.doc.removeNode(f.a));
    EXPECT_FALSE(f.doc.removeNode(f.a)) << "already gone";
    EXPECT_FALSE(f.doc.removeNode(f.doc.root()));
    const std::vector<std::string> before = snapshot(f.doc.root());
    f.doc.replaceContents(f.t, grownRescan()); // T's parent A was trashed
    EXPECT_EQ(snapshot(f.doc.root()), before);
    EXPECT_EQ(f.t->size, 8 * kMB);
}

TEST(DocumentEdit, RandomEditsKeepEveryTotalAndOrderExact)
{
    std::mt19937 random(7);
    TreeBuilder builder("/data");
    std::vector<FileNode*> folders { builder.root() };
    std::vector<FileNode*> files;
    for (int i = 0; i < 400; ++i) {
        FileNode* parent = folders[random() % folders.size()];
        // Few distinct sizes, so that many ties are broken by name.
        std::string name(1, 'n');
        name += std::to_string(random() % 50);
        const bool isFolder = random() % 4 == 0;
        name += isFolder ? 'd' : '.';
        name += std::to_string(i);
        if (isFolder)
            folders.push_back(builder.folder(parent, name));
        else
            files.push_back(builder.file(parent, name, std::int64_t(random() % 8) * 512));
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
            const std::int64_t delta
                = std::int64_t(random() % 4096) - std::min<std::int64_t>(node->size, 2048);
            doc.propagate(node, delta, delta, 0);
        }
        ASSERT_TRUE(isConsistent(doc.root())) << "step " << step;
    }
}
