// SPDX-License-Identifier: MIT
#include "scan/AgeRange.h"
#include "scan/CliScan.h"
#include "scan/ScanStream.h"
#include "scan/ScanWriter.h"
#include "scan/Scanner.h"
#include "scan/support/ScanFixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unordered_set>

using namespace scantest;

namespace {

// The first difference between two trees below their roots: names byte for byte, counts,
// flags, times and file sizes, children matched by name. Which link of a hard-linked file carries
// its sizes is the walk's choice, so those (and the totals above them) are compared only
// where `links` is empty; treeFaults() checks the totals. Iterative: trees may be deep.
std::string difference(const FileNode* a, const FileNode* b, const std::vector<EntryNote>& links = {})
{
    std::unordered_set<const FileNode*> linked;
    for (const EntryNote& note : links)
        if (note.linkCount)
            linked.insert(note.node);
    auto byName = [](const FileNode* n) {
        std::vector<const FileNode*> list(n->children().begin(), n->children().end());
        std::sort(list.begin(), list.end(), [](auto* x, auto* y) { return x->name() < y->name(); });
        return list;
    };
    std::vector<std::pair<const FileNode*, const FileNode*>> stack { { a, b } };
    while (!stack.empty()) {
        const auto [x, y] = stack.back();
        stack.pop_back();
        const bool sized = links.empty() || (!x->isDirectory() && !linked.contains(x));
        if ((x != a && x->name() != y->name()) || x->fileCount != y->fileCount || x->flags != y->flags
            || x->mtime != y->mtime || x->childCount() != y->childCount()
            || (sized && (x->size != y->size || x->logicalSize != y->logicalSize)))
            return x->path() + " differs from " + y->path();
        const auto xs = byName(x), ys = byName(y);
        for (std::size_t i = 0; i < xs.size(); ++i)
            stack.emplace_back(xs[i], ys[i]);
    }
    return {};
}

// Times a node keeps: before 1970 as 1 (0 is unknown), past 2106 as the largest; a
// folder holds the newest within, its own included. -1: make no file, only set the time.
const struct {
    const char* path;
    std::int64_t set;
    std::uint32_t kept;
} kTimes[] = {
    { "old/first-second", 1, 1 },
    { "old/at-1970", 0, 1 },
    { "old/before-1970", -86400 * 400, 1 },
    { "new/deep/in-2100", 4102444800, 4102444800u },
    { "new/link", 1234567890, 1234567890 },
    { "new/past-2106", 5000000000, UINT32_MAX },
    { "old", 1500000000, 1500000000 }, // newer than all inside: its own time counts
    { "new/deep", 1000, 4102444800u },
    { "new", 1000, UINT32_MAX },
    { "", 1000, UINT32_MAX },
};

// Scan, save, load: the same tree, names byte for byte, times, in every compression. The
// peers write and read the same format: their files load with the totals and times a
// live scan gives (gdu's hard links and folder times excepted: it gives a folder the
// newest time within), and ncdu reads ours back entry for entry.
TEST(SavedScan, RoundTripsAndThePeersAgree)
{
    TempDir dir;
    const std::string times = dir / "times", mixed = sharedMixedTree();
    for (const char* folder : { "odd", "times", "times/old", "times/new", "times/new/deep" })
        makeDir(dir / folder);
    for (const std::string& name : { std::string("new\nline"), std::string("q\"b\\\x01\t"),
             std::string("\xff\xfe raw"), std::string(255, 'n') })
        writeFile(dir / "odd" / name, name.size());
    for (const auto& c : kTimes) {
        const std::string path = times + (*c.path ? "/" : "") + c.path;
        if (std::string_view(c.path) == "new/link")
            makeSymlink("nowhere", path);
        else if (std::string_view(c.path).find('-') != std::string_view::npos)
            writeFile(path, 10);
        const timespec both[2] = { { c.set, 0 }, { c.set, 0 } };
        ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), both, AT_SYMLINK_NOFOLLOW), 0) << path;
    }
    // Each root's tree and folder count, kept for the peers; the mixed tree is saved as 0.json.
    std::vector<std::pair<FileTree, std::int64_t>> scans;
    for (const std::string& root : { mixed, dir / "odd", times }) {
        Scanner scanner(root);
        FileTree scanned = scanner.run(); // before the progress it leaves is read
        const FileTree& tree = scans.emplace_back(std::move(scanned), scanner.progress().directories).first;
        for (const char* suffix : { ".json", ".json.gz", ".zst" }) {
            const std::string file = dir / (std::to_string(scans.size() - 1) + suffix);
            save(tree, file);
            const std::optional<SavedScan> back = load(file);
            ASSERT_TRUE(back) << file;
            EXPECT_EQ(difference(tree.root, back->tree.root, tree.notes), "") << file;
            EXPECT_EQ(census(back->tree.root, back->directories), census(tree.root, scans.back().second));
            EXPECT_EQ(back->tree.root->name(), root);
            EXPECT_FALSE(back->hardLinksMayCountTwice);
            EXPECT_EQ(treeFaults(back->tree.root), "");
        }
    }
    const auto peer = [&](std::vector<std::string> argv) {
        int status = -1;
        (void)capture(argv, &status);
        EXPECT_EQ(status, 0) << argv[0] << " " << argv[1];
        return load(*(std::find(argv.begin(), argv.end(), "-o") + 1));
    };

    const std::optional<SavedScan> ncdu = peer({ "ncdu", "-o", dir / "ncdu.json", mixed });
    ASSERT_TRUE(ncdu);
    EXPECT_EQ(AgeRange::of(ncdu->tree.root), AgeRange {}) << "saved without times";
    EXPECT_EQ(withoutTime(capture({ tallyfernBinary(), "--load", dir / "ncdu.json" })),
        withoutTime(CliScan::scanLine(mixed)));

    const std::optional<SavedScan> gdu = peer({ "gdu", "-n", "-o", dir / "gdu.json", mixed });
    const FileNode* live = scans[0].first.root;
    ASSERT_TRUE(gdu);
    EXPECT_TRUE(gdu->hardLinksMayCountTwice);
    EXPECT_EQ(
        std::pair(gdu->tree.root->fileCount, gdu->directories), std::pair(live->fileCount, scans[0].second));
    EXPECT_GT(gdu->tree.root->size, live->size) << "gdu's first links count again";

    const std::optional<SavedScan> ours = load(dir / "0.json"),
                                   again
        = peer({ "ncdu", "-e", "-f", dir / "0.json", "-o", dir / "again.json" });
    ASSERT_TRUE(ours && again);
    EXPECT_EQ(difference(ours->tree.root, again->tree.root), "");

    const std::optional<SavedScan> ncduTimes = peer({ "ncdu", "-e", "-o", dir / "nt.json", times }),
                                   gduTimes = peer({ "gdu", "-n", "-o", dir / "gt.json", times });
    ASSERT_TRUE(ncduTimes && gduTimes);
    for (const auto& [source, top] : { std::pair { "scan", scans[2].first.root },
             { "ncdu", ncduTimes->tree.root }, { "gdu", gduTimes->tree.root } }) {
        for (const auto& c : kTimes) {
            const FileNode* node = nodeAt(top, c.path);
            ASSERT_TRUE(node) << source << " " << c.path;
            if (std::string_view(source) == "gdu" && c.set == 1000)
                continue;
            EXPECT_EQ(node->mtime, c.kept) << source << " " << c.path;
        }
        EXPECT_EQ(AgeRange::of(top), (AgeRange { 1, UINT32_MAX })) << source;
    }
}

std::string gzipped(const std::string& head, std::size_t spaces)
{
    return capture({ "sh", "-c", "{ printf %s \"$0\"; head -c \"$1\" /dev/zero | tr '\\0' ' '; } | gzip -9",
        head, std::to_string(spaces) });
}

// Each kind of damaged or hostile file gives one message naming the file and what is
// wrong, and no tree. What loads gives these figures: a hundred thousand levels, and
// a peer's excluded item, unreadable folder and hard links marked on some links only.
TEST(SavedScan, BadFilesGiveOneMessageAndNoTree)
{
    const std::string head = "[1,2,{},[{\"name\":\"/r\"}";
    auto file = [&](const std::string& entry) { return head + ",\n" + entry + "]]"; };
    std::string deep = "[1,0,{\"progname\":\"x\",\"extra\":[{}]},[{\"name\":\"/\"},";
    for (int i = 0; i < 100000; ++i)
        deep += "[{\"name\":\"d\"},";
    deep += "{\"name\":\"f\",\"asize\":1}" + std::string(100000, ']') + "]]";
    const std::string peer
        = "[1,1,{\"progname\":\"gdu\"},[{\"name\":\"/r\",\"dev\":5},"
          "{\"name\":\"x\",\"excluded\":\"otherfs\"},[{\"name\":\"u\",\"read_error\":true}],"
          "{\"name\":\"a\",\"asize\":10,\"dsize\":4096},"
          "{\"name\":\"b\",\"asize\":10,\"dsize\":4096,\"ino\":3,\"hlnkc\":true},"
          "{\"name\":\"c\",\"asize\":10,\"dsize\":4096,\"ino\":3,\"hlnkc\":true}]]";
    const struct {
        std::string content;
        std::string expected; // the figures of what loads, or a part of the message
    } cases[] = {
        { deep, "dirs=100001 unreadable=0 files=1 size=0 logical=1 twice=0" },
        { peer, "dirs=2 unreadable=1 files=3 size=8192 logical=20 twice=1" },
        { head, "ends early" },
        { "[2,0,{},[{\"name\":\"/\"}]]", "version 2 is not supported" },
        { "[1,2,{},[{\"name\":\"/\"},}]]", "invalid JSON" },
        { file("{\"name\":\"a\",\"asize\":\"12\"}"), "expected a number" },
        { file("{\"name\":\"a\",\"dsize\":-1}"), "negative" },
        { file("{\"name\":\"a\",\"asize\":1.5}"), "whole number" },
        { file("{\"name\":\"a\",\"mtime\":184467440737095516160}"), "mtime too large" },
        { file("{\"name\":\"a\",\"asize\":9223372036854775808}"), "past 2^63" },
        { file("{\"name\":\"a\",\"asize\":9223372036854775807},{\"name\":\"b\",\"asize\":1}"),
            "add up past" },
        { head + "," + std::string(100000, '[') + std::string(100000, ']') + "]]", "expected '{'" },
        { file("{\"name\":\"a/b\"}"), "invalid name" },
        { file("{\"name\":\"..\"}"), "invalid name" },
        { file("[{\"name\":\".\"}]"), "invalid name" },
        { file("{\"name\":\"a\\u0000b\"}"), "NUL" },
        { file("{\"name\":\"a\"},[{\"name\":\"a\"}]"), "appears twice in /r" },
        { file("{\"name\":\"" + std::string(1 << 24, 'x') + "\"}"), "longer than" },
        { file("{\"asize\":1}"), "without a name" },
        { file("{\"name\":\"a\",\"x\":" + std::string(5000, '[')), "nested deeper" },
        { file("{\"name\":\"a\"}") + " x", "after the end" },
        { gzipped(head, std::size_t(128) << 20), "decompression bomb" },
        { gzipped(head, 1).substr(0, 20), "gzip data ends early" },
    };
    TempDir dir;
    const std::string path = dir / "case.json";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.content.substr(0, 60));
        std::ofstream(path, std::ios::binary | std::ios::trunc) << c.content;
        std::string error;
        const std::optional<SavedScan> scan = load(path, &error);
        if (c.expected.starts_with("dirs=")) {
            ASSERT_TRUE(scan) << error;
            const FileNode* root = scan->tree.root;
            EXPECT_EQ("dirs=" + std::to_string(scan->directories) + " unreadable="
                    + std::to_string(scan->unreadable) + " files=" + std::to_string(root->fileCount)
                    + " size=" + std::to_string(root->size) + " logical=" + std::to_string(root->logicalSize)
                    + " twice=" + std::to_string(scan->hardLinksMayCountTwice),
                c.expected);
            continue;
        }
        EXPECT_FALSE(scan);
        EXPECT_NE(error.find(c.expected), std::string::npos) << error;
        EXPECT_EQ(error.rfind(path + ": ", 0), 0u) << error;
    }

    // Saved again, the peer's excluded item keeps its reason and the links their identity.
    std::ofstream(path, std::ios::trunc) << peer;
    const std::optional<SavedScan> scan = load(path);
    ASSERT_TRUE(scan);
    EXPECT_EQ(nodeAt(scan->tree.root, "x")->flags, NodeFlags::Directory | NodeFlags::Excluded);
    save(scan->tree, dir / "again.json");
    const std::string text = readText(dir / "again.json");
    EXPECT_NE(text.find("{\"name\":\"x\",\"excluded\":\"otherfs\"}"), std::string::npos) << text;
    EXPECT_NE(
        text.find("\"name\":\"c\",\"asize\":10,\"dsize\":4096,\"ino\":3,\"hlnkc\":true"), std::string::npos);
}

// A write that fails leaves the chosen name as it was and no temporary file behind; the
// command says so and exits non-zero.
TEST(SavedScan, FailedWritesLeaveNothingAndSaySo)
{
    TempDir dir;
    const std::string target = dir / "scan.json";
    std::ofstream(target) << "previous";
    writeFile(dir / "big", 1 << 16);
    for (int i = 0; i < 200; ++i)
        writeFile(dir / ("file" + std::to_string(i)), 0);
    Scanner scanner(dir.path());
    const FileTree tree = scanner.run();
    {
        rlimit old {};
        ::getrlimit(RLIMIT_FSIZE, &old);
        rlimit small = old;
        small.rlim_cur = 1024; // a full disk, as the process sees it
        const auto previous = std::signal(SIGXFSZ, SIG_IGN);
        ::setrlimit(RLIMIT_FSIZE, &small);
        ScanSink sink(target);
        const bool written = ScanWriter::write(tree, {}, sink) && sink.commit();
        ::setrlimit(RLIMIT_FSIZE, &old);
        std::signal(SIGXFSZ, previous);
        EXPECT_FALSE(written);
        EXPECT_NE(sink.error().find("File too large"), std::string::npos) << sink.error();
    }
    EXPECT_EQ(readText(target), "previous");
    EXPECT_EQ(capture({ "sh", "-c", "ls -A " + dir.path() + " | grep -c scan" }), "1\n");

    int status = -1;
    EXPECT_EQ(capture({ tallyfernBinary(), "--export", dir / "missing/scan.json", dir.path() }, &status), "");
    EXPECT_EQ(status, 1);
    // To standard output, the file is the output and the totals go to standard error.
    const std::string json = capture({ tallyfernBinary(), "--export", "-", dir.path() }, &status);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(json.rfind("[1,2,{\"progname\":\"tallyfern\"", 0), 0u) << json;
}

} // namespace
