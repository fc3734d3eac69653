// SPDX-License-Identifier: MIT
#include "model/TallyfernDocument.h"
#include "model/support/Volumes.h"
#include "scan/ScanStream.h"
#include "scan/ScanWriter.h"
#include "scan/Scanner.h"
#include "support/TreeChecks.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <cstdio>
#include <fstream>
#include <memory>
#include <set>

namespace {

// Runs a shell command; the sum of the numbers it prints.
std::int64_t shell(const std::string& command)
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
    const std::string root = dir.path().toStdString();
    shell("cd '" + root + "' && mkdir -p a b/c links && head -c 700 /dev/zero >a/small.txt"
        + " && head -c 1 /dev/zero >a/sparse.img && truncate -s 40000000 a/sparse.img"
        + " && head -c 123457 /dev/zero >b/c/data.bin && head -c 5000 /dev/zero >b/gone.bin"
        + " && head -c 70000 /dev/zero >links/one && ln links/one links/two && ln -s a/small.txt sym"
        + " && touch empty");
    auto doc = scanned(root, false);
    doc->setApparentSizes(true);
    EXPECT_EQ(doc->root()->size,
        shell("du -sxb '" + root + "' | cut -f1") - shell("find '" + root + "' -type d -printf '%s\\n'"));
    const std::string file = out.filePath("saved.json").toStdString();
    EXPECT_EQ(saved(*doc, file), saved(*scanned(root, false), file)) << "the same file in either mode";

    // The Trash and a rescan of a grown folder, in apparent mode.
    ASSERT_TRUE(doc->removeNode(nodeAt(doc->root(), "b/gone.bin")));
    shell("cd '" + root + "' && rm b/gone.bin && head -c 9000 /dev/zero >b/c/more.bin");
    FileTree rescan = Scanner(root + "/b/c").run();
    doc->classify(rescan.root);
    doc->replaceContents(nodeAt(doc->root(), "b/c"), std::move(rescan));
    EXPECT_EQ(treeFaults(doc->root()), "");
    EXPECT_EQ(sizes(doc->root()), sizes(scanned(root, true)->root()));
    doc->setApparentSizes(false);
    EXPECT_EQ(sizes(doc->root()), sizes(scanned(root, false)->root()));
}
