// SPDX-License-Identifier: MIT
#include "model/TallyfernDocument.h"
#include "model/TreeQueries.h"
#include "model/support/Volumes.h"
#include "support/TreeBuilder.h"
#include "support/TreeChecks.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <random>
#include <sstream>
#include <string>
#include <unordered_set>

namespace {

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
    // /data: B 22 MB (b.dat); A 20 MB holding A1 12 MB (a1.dat) and T 8 MB (t.dat).
    TreeBuilder builder("/data");
    FileNode* a = builder.folder(builder.root(), "A");
    FileNode* a1 = builder.folder(a, "A1");
    builder.file(a1, "a1.dat", 12 * kMB);
    FileNode* t = builder.folder(a, "T");
    FileNode* oldChild = builder.file(t, "t.dat", 8 * kMB);
    FileNode* b = builder.folder(builder.root(), "B");
    builder.file(b, "b.dat", 22 * kMB);
    TallyfernDocument doc("/data", noVolume(), "data");
    doc.install(builder.finish());
    ASSERT_EQ(doc.root()->child(0), b);
    ASSERT_EQ(a->child(0), a1);
    const std::int32_t kind = t->kind;

    FileTree rescan = grownRescan();
    doc.classify(rescan.root);
    doc.replaceContents(t, std::move(rescan));
    EXPECT_EQ(std::tuple(t->size, t->logicalSize, t->fileCount), std::tuple(13 * kMB, 12 * kMB, 2));
    EXPECT_EQ(std::tuple(t->name(), t->kind, t->parent), std::tuple("T", kind, a));
    // Totals and order throughout: T (13 MB) now precedes A1 (12 MB), A (25 MB) precedes B.
    EXPECT_EQ(treeFaults(doc.root()), "");
    EXPECT_FALSE(doc.isInTree(oldChild)) << "the replaced children have left the tree";

    // A rescan that lands after its folder was trashed changes nothing.
    ASSERT_TRUE(doc.removeNode(a));
    EXPECT_FALSE(doc.removeNode(a) || doc.removeNode(doc.root())) << "already gone, or the root";
    const std::vector<std::string> before = snapshot(doc.root());
    doc.replaceContents(t, grownRescan());
    EXPECT_EQ(snapshot(doc.root()), before);
    EXPECT_EQ(t->size, 13 * kMB);
}

TEST(DocumentEdit, RandomEditsKeepEveryTotalAndOrderExact)
{
    std::mt19937 random(7);
    TreeBuilder builder("/data");
    std::vector<FileNode*> folders { builder.root() };
    std::vector<FileNode*> files;
    for (int i = 0; i < 20'000; ++i) {
        FileNode* parent = folders[random() % folders.size()];
        // Few distinct sizes, so that many ties are broken by name; folders named .app are packages.
        const bool isFolder = random() % 6 == 0;
        const std::string name = std::to_string(random() % 50).insert(0, 1, 'n') + "-" + std::to_string(i)
            + (isFolder ? ".app" : ".txt");
        if (isFolder)
            folders.push_back(builder.folder(parent, name));
        else
            files.push_back(builder.file(
                parent, name, std::int64_t(random() % 8) * 512, std::int64_t(random() % 6) * 1000));
    }
    TallyfernDocument doc("/data", noVolume(), "data");
    doc.install(builder.finish());
    ASSERT_EQ(treeFaults(doc.root()), "");
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
        ASSERT_EQ(treeFaults(doc.root()), "") << "step " << step;
    }
    // Apparent sizes (swapped on several threads at this size, kinds counted on the way
    // below a focus) and back give the same tree.
    const std::vector<std::string> before = snapshot(doc.root());
    doc.focus = doc.root()->child(0);
    doc.setApparentSizes(true);
    EXPECT_EQ(treeFaults(doc.root()), "");
    const std::vector<KindStat> counted = doc.kindStats;
    doc.computeKindStats();
    EXPECT_EQ(doc.kindStats, counted);
    doc.setApparentSizes(false);
    EXPECT_EQ(snapshot(doc.root()), before);
}

// Sparse files can claim exabytes: an edit that would pass the largest size stays at it.
TEST(DocumentEdit, SizesPastTheLargestStayAtIt)
{
    TreeBuilder builder("/data");
    FileNode* huge = builder.file(builder.folder(builder.root(), "f"), "a", std::int64_t(1) << 62);
    builder.file(builder.root(), "b", std::int64_t(1) << 61);
    TallyfernDocument doc("/data", noVolume(), "data");
    doc.install(builder.finish());
    doc.propagate(huge, std::int64_t(1) << 62, std::int64_t(1) << 62, 0);
    EXPECT_EQ(std::pair(doc.root()->size, doc.root()->logicalSize),
        std::pair(std::numeric_limits<std::int64_t>::max(), std::numeric_limits<std::int64_t>::max()));
}

TEST(DocumentEdit, RescanKeepsThePackageFlagAndTheRootKeepsItsPseudoItems)
{
    TreeBuilder builder("/");
    FileNode* app = builder.folder(builder.root(), "Tool.app");
    builder.file(app, "bin", 1 * kGB);
    FileNode* plain = builder.folder(builder.root(), "plain");
    builder.file(builder.root(), "a", 100 * kGB);
    TallyfernDocument doc("/", volume("/", 1000 * kGB, 300 * kGB, 300 * kGB));
    doc.install(builder.finish());
    ASSERT_TRUE(app->flags.contains(NodeFlags::Package));
    ASSERT_EQ(doc.freeNode()->parent, doc.root());

    // A folder takes the rescan's flags: unreadable now, readable again later.
    // A package stays a package.
    using F = NodeFlags;
    for (const auto& [folder, flags, expected] :
        { std::tuple { plain, F(F::Unreadable), F::Directory | F::Unreadable },
            { plain, F(), F(F::Directory) }, { app, F(), F::Directory | F::Package } }) {
        TreeBuilder rescan(folder->path());
        rescan.root()->flags.insert(flags);
        rescan.file(rescan.root(), "x", 1);
        doc.replaceContents(folder, rescan.finish());
        EXPECT_EQ(folder->flags, expected);
    }

    // The whole volume rescanned in place keeps its pseudo items attached and counted once.
    TreeBuilder again("/");
    again.file(again.root(), "a", 100 * kGB);
    again.file(again.root(), "b", 50 * kGB);
    doc.replaceContents(doc.root(), again.finish());
    EXPECT_TRUE(doc.freeNode()->parent == doc.root() && doc.otherNode()->parent == doc.root());
    EXPECT_EQ(doc.scannedBytes(), 150 * kGB);
    EXPECT_EQ(doc.root()->size, 150 * kGB + doc.freeNode()->size + doc.otherNode()->size);
    doc.releaseUnreachable(); // keeps the root's rescan, reached through its new array
    EXPECT_EQ(treeFaults(doc.root()), "");
}

namespace {

// A rescan of /data/A/T (a file and folder `sub` with two files), or of T/sub.
FileTree rescanOf(const std::string& path)
{
    TreeBuilder builder(path);
    if (path.ends_with("/T"))
        builder.file(builder.folder(builder.root(), "sub"), "s", 3 * kMB);
    builder.file(builder.root(), "x", 1 * kMB);
    builder.file(builder.root(), "y", 2 * kMB);
    return builder.finish();
}

} // namespace

// Rescans and the Trash return memory: an arena goes once no node of it is left in the
// tree, and the tree's own arena is never outgrown however often a folder is rescanned.
TEST(DocumentEdit, ArenasOfRescansLeaveWithTheirLastNodeInTheTree)
{
    const std::size_t perT = rescanOf("/data/A/T").arena.reservedBytes();
    const std::size_t perSub = rescanOf("/data/A/T/sub").arena.reservedBytes();
    struct Case {
        const char* edits; // R: rescan the path, D: trash it; steps separated by spaces
        std::size_t keptBytes;
    };
    const Case cases[] = {
        { "RA/T RA/T RA/T RA/T RA/T RA/T RA/T RA/T RA/T RA/T", perT },
        { "RA/T RA/T/sub RA/T/sub", perT + perSub },
        { "RA/T RA/T/sub DA/T/sub", perT },
        { "RA/T RA/T/sub DA", 0 },
        { "RA/T DA/T/x DA/T/y DA/T/sub", 0 },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.edits);
        TreeBuilder builder("/data");
        FileNode* a = builder.folder(builder.root(), "A");
        builder.file(builder.folder(a, "T"), "t", 8 * kMB);
        builder.file(builder.root(), "b", 1 * kMB);
        TallyfernDocument doc("/data", noVolume(), "data");
        doc.install(builder.finish());
        const std::size_t base = doc.arenaBytes();

        std::istringstream steps(c.edits);
        for (std::string step; steps >> step;) {
            FileNode* node = nodeAt(doc.root(), step.substr(1));
            ASSERT_TRUE(node);
            if (step[0] == 'R')
                doc.replaceContents(node, rescanOf("/data/" + step.substr(1)));
            else
                ASSERT_TRUE(doc.removeNode(node));
            doc.releaseUnreachable();
            ASSERT_EQ(treeFaults(doc.root()), "");
        }
        EXPECT_EQ(doc.arenaBytes(), base + c.keptBytes);
    }
}

// On random trees with random choices (a pseudo item among them), against what a walk
// down from each chosen node finds: the outermost items are the real ones no other
// chosen node holds, in their given order; the unreadable folders are those of a walk in
// child order, cut at the limit but all counted.
TEST(TreeQueries, OutermostItemsAndUnreadableFoldersAgreeWithAWalkDown)
{
    std::mt19937_64 rng(13);
    for (int round = 0; round < 40; ++round) {
        TreeBuilder t;
        FileNode* root = t.random(rng, 5, 6);
        const std::vector<FileNode*> all = preOrder(root);
        std::vector<FileNode*> chosen { t.file("Free Space", 5) };
        chosen[0]->flags.insert(NodeFlags::Pseudo);
        std::vector<std::string> unreadable;
        for (FileNode* node : all) {
            if (rng() % 4 == 0)
                chosen.push_back(node);
            if (node->isDirectory() && rng() % 5 == 0) {
                node->flags.insert(NodeFlags::Unreadable);
                unreadable.push_back(node->path());
            }
        }
        std::shuffle(chosen.begin(), chosen.end(), rng);
        std::unordered_set<const FileNode*> inside;
        for (const FileNode* node : chosen) {
            const std::vector<FileNode*> below = preOrder(node);
            inside.insert(below.begin() + 1, below.end());
        }
        std::vector<FileNode*> expected;
        std::copy_if(chosen.begin(), chosen.end(), std::back_inserter(expected), [&](const FileNode* node) {
            return !inside.contains(node) && !node->flags.contains(NodeFlags::Pseudo);
        });
        EXPECT_EQ(TreeQueries::outermost(chosen), expected) << "round " << round;

        const TreeQueries::UnreadableFolders found = TreeQueries::unreadableFolders(root, 3);
        EXPECT_EQ(found.total, unreadable.size());
        unreadable.resize(std::min<std::size_t>(unreadable.size(), 3));
        EXPECT_EQ(found.paths, unreadable);
    }
}
