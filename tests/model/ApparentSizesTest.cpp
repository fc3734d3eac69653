// SPDX-License-Identifier: MIT
#include "model/TallyfernDocument.h"
#include "model/support/Volumes.h"
#include "scan/ScanStream.h"
#include "scan/ScanWriter.h"
#include "scan/Scanner.h"
#include "support/TreeBuilder.h"
#include "support/TreeChecks.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <set>

namespace fs = std::filesystem;

namespace {

void write(const fs::path& file, std::int64_t bytes, std::int64_t sparseTo = 0)
{
    fs::create_directories(file.parent_path());
    std::ofstream(file) << std::string(std::size_t(bytes), 'x');
    if (sparseTo)
        fs::resize_file(file, std::uintmax_t(sparseTo));
}

std::int64_t sumOfLines(const std::string& command)
{
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(::popen(command.c_str(), "r"), ::pclose);
    std::int64_t sum = 0;
    for (long long value = 0; pipe && std::fscanf(pipe.get(), "%lld", &value) == 1;)
        sum += value;
    return sum;
}

// A scan of `path` installed into a document already set to `apparent`.
std::unique_ptr<TallyfernDocument> scanned(const std::string& path, bool apparent)
{
    auto doc = std::make_unique<TallyfernDocument>(path, noVolume(), "t");
    doc->setApparentSizes(apparent);
    doc->install(Scanner(path).run());
    return doc;
}

// snapshot() without kind identifiers, which each document hands out in its own order.
std::vector<std::string> sizes(const FileNode* root)
{
    std::vector<std::string> lines = snapshot(root);
    for (std::string& line : lines)
        line.erase(line.rfind(" k"), line.rfind(' ') - line.rfind(" k"));
    return lines;
}

// The entries of the saved file, one a line (as written), whatever their order.
std::multiset<std::string> saved(const TallyfernDocument& doc, const std::string& file)
{
    ScanSink sink(file);
    EXPECT_TRUE(doc.save(ScanMetadata {}, sink) && sink.commit());
    std::ifstream in(file);
    std::multiset<std::string> entries;
    for (std::string line; std::getline(in, line); entries.insert(line))
        std::erase_if(line, [](char c) { return c == '[' || c == ']' || c == ','; });
    return entries;
}

} // namespace

// The oracle: du's apparent sizes, less the folders' own (which a scan never counts).
TEST(ApparentSizes, ScanTrashAndRescanAgreeWithDuAndAFreshScan)
{
    QTemporaryDir dir, out;
    const fs::path root = dir.path().toStdString();
    write(root / "a/small.txt", 700);
    write(root / "a/sparse.img", 1, 40'000'000);
    write(root / "b/c/data.bin", 123'457);
    write(root / "b/gone.bin", 5000);
    write(root / "links/one", 70'000);
    fs::create_hard_link(root / "links/one", root / "links/two");
    fs::create_symlink("a/small.txt", root / "sym");
    write(root / "empty", 0);
    const std::string quoted = "'" + root.string() + "'";
    auto doc = scanned(root, false);
    doc->setApparentSizes(true);
    const std::int64_t apparent = sumOfLines("du -sxb " + quoted + " | cut -f1")
        - sumOfLines("find " + quoted + " -type d -printf '%s\\n'");
    EXPECT_EQ(doc->root()->size, apparent);
    const std::string file = out.filePath("saved.json").toStdString();
    EXPECT_EQ(saved(*doc, file), saved(*scanned(root, false), file)) << "the same file in either mode";

    // The Trash and a rescan of a grown folder, in apparent mode.
    FileNode* gone = nodeAt(doc->root(), "b/gone.bin");
    ASSERT_TRUE(gone && doc->removeNode(gone));
    fs::remove(root / "b/gone.bin");
    write(root / "b/c/more.bin", 9'000);
    FileTree rescan = Scanner((root / "b/c").string()).run();
    doc->classify(rescan.root);
    doc->replaceContents(nodeAt(doc->root(), "b/c"), std::move(rescan));
    EXPECT_EQ(treeFaults(doc->root()), "");
    EXPECT_EQ(sizes(doc->root()), sizes(scanned(root, true)->root()));
    doc->setApparentSizes(false);
    EXPECT_EQ(sizes(doc->root()), sizes(scanned(root, false)->root()));
}

TEST(ApparentSizes, SwitchingTwiceGivesBackTheTreeExactly)
{
    std::mt19937 random(11);
    TreeBuilder builder("/data");
    std::vector<FileNode*> folders { builder.root() };
    for (int i = 0; i < 60'000; ++i) {
        FileNode* parent = folders[random() % folders.size()];
        // Few sizes, so that ties broken by name abound.
        const std::string name = std::to_string(random() % 40) + "n" + std::to_string(i);
        if (random() % 8 == 0)
            folders.push_back(builder.folder(parent, name));
        else
            builder.file(parent, name, std::int64_t(random() % 6) * 4096, std::int64_t(random() % 6) * 1000);
    }
    // A whole volume: free and other space show beside allocated sizes only.
    TallyfernDocument doc("/data", volume("/data", 100 * kGB, 40 * kGB, std::nullopt), "data");
    doc.install(builder.finish());
    const std::vector<FileNode*> order = preOrder(doc.root());
    const std::vector<std::string> before = snapshot(doc.root());
    ASSERT_TRUE(doc.freeNode()->parent);
    doc.setApparentSizes(true);
    EXPECT_EQ(treeFaults(doc.root()), "");
    EXPECT_FALSE(doc.freeNode()->parent || doc.otherNode()->parent);
    doc.attachPseudoNodes();
    EXPECT_EQ(doc.root()->size, doc.scannedBytes()) << "free space stays out while apparent";
    doc.computeKindStats();
    std::int64_t kinds = 0;
    for (const KindStat& stat : doc.kindStats)
        kinds += stat.size;
    EXPECT_EQ(kinds, doc.root()->size);
    doc.setApparentSizes(false);
    EXPECT_EQ(preOrder(doc.root()), order);
    EXPECT_EQ(snapshot(doc.root()), before);
}
