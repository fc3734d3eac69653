// SPDX-License-Identifier: MIT
#include "scan/AgeRange.h"
#include "scan/ScanReader.h"
#include "scan/ScanStream.h"
#include "scan/ScanWriter.h"
#include "scan/Scanner.h"
#include "scan/support/ScanFixture.h"
#include "support/TreeChecks.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

using namespace scantest;

namespace {

void setTime(const std::string& path, std::int64_t seconds)
{
    const timespec times[2] = { { seconds, 0 }, { seconds, 0 } };
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW), 0) << path;
}

} // namespace

// Times at both ends of what a node keeps, folders holding the newest within (their own
// included), through a scan, our own saved scan and the peers' (ncdu writes a time
// before 1970 as its 64-bit two's complement, gdu as a negative number). A saved scan
// without times has no age scale.
TEST(FileAge, EndsOfTheRangeAndFolderMaximaAgreeWithThePeers)
{
    TempDir dir;
    const std::string root = dir / "r";
    for (const char* folder : { "r", "r/old", "r/new", "r/new/deep", "r/empty" })
        makeDir(dir / folder);
    const struct {
        const char* path;
        std::int64_t set; // -1: a folder, set after the files below it
        std::uint32_t kept;
    } cases[] = {
        { "old/first-second", 1, 1 },
        { "old/at-1970", 0, 1 },
        { "old/before-1970", -86400 * 400, 1 },
        { "old/in-1970", 86400 * 180, 86400 * 180 },
        { "new/deep/in-2100", 4102444800, 4102444800u },
        { "new/link", 1234567890, 1234567890 },
        { "new/past-2106", 5000000000, UINT32_MAX },
        { "old", 1500000000, 1500000000 }, // newer than all inside: its own time counts
        { "new/deep", 1000, 4102444800u },
        { "new", 1000, UINT32_MAX },
        { "empty", 987654321, 987654321 },
        { "", 1000, UINT32_MAX },
    };
    for (const auto& c : cases) {
        const std::string path = root + (*c.path ? "/" : "") + c.path;
        if (std::string_view(c.path) == "new/link")
            makeSymlink("nowhere", path);
        else if (std::string_view(c.path).find('-') != std::string_view::npos)
            writeFile(path, 10);
        setTime(path, c.set);
    }
    Scanner scanner(root);
    const FileTree tree = scanner.run();
    const std::string ours = dir / "ours.json", ncdu = dir / "ncdu.json", gdu = dir / "gdu.json",
                      plain = dir / "plain.json";
    {
        ScanSink sink(ours);
        ASSERT_TRUE(ScanWriter::write(tree, ScanWriter::metadataFor(root), sink) && sink.commit());
    }
    int status = -1;
    (void)capture({ "ncdu", "-e", "-o", ncdu, root }, &status);
    ASSERT_EQ(status, 0) << "ncdu -e -o";
    (void)capture({ "gdu", "-n", "-o", gdu, root }, &status);
    ASSERT_EQ(status, 0) << "gdu -o";
    (void)capture({ "ncdu", "-o", plain, root }, &status); // without times
    ASSERT_EQ(status, 0) << "ncdu -o";
    const std::optional<SavedScan> fromOurs = load(ours), fromNcdu = load(ncdu), fromGdu = load(gdu),
                                   timeless = load(plain);
    ASSERT_TRUE(fromOurs && fromNcdu && fromGdu && timeless);
    EXPECT_EQ(AgeRange::of(timeless->tree.root), AgeRange {});

    const struct {
        const char* source;
        const FileNode* root;
    } trees[] = { { "scan", tree.root }, { "ours", fromOurs->tree.root }, { "ncdu", fromNcdu->tree.root },
        { "gdu", fromGdu->tree.root } };
    for (const auto& [source, top] : trees) {
        for (const auto& c : cases) {
            // gdu gives a folder the newest time within, not its own.
            if (std::string_view(source) == "gdu" && c.set == 1000)
                continue;
            const FileNode* node = *c.path ? nodeAt(top, c.path) : top;
            ASSERT_TRUE(node) << source << " " << c.path;
            EXPECT_EQ(node->mtime, c.kept) << source << " " << c.path;
        }
        EXPECT_EQ(AgeRange::of(top), (AgeRange { 1, UINT32_MAX })) << source;
    }
}
