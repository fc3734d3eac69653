// SPDX-License-Identifier: MIT
#include "scan/CliScan.h"
#include "scan/ScanReader.h"
#include "scan/ScanStream.h"
#include "scan/ScanWriter.h"
#include "scan/Scanner.h"
#include "scan/support/ScanFixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <fstream>
#include <sys/resource.h>
#include <unordered_set>
#include <zlib.h>

using namespace scantest;

namespace {

std::optional<SavedScan> load(const std::string& file, std::string* error = nullptr)
{
    ScanSource source(file);
    std::string message;
    std::optional<SavedScan> scan = ScanReader::read(source, message);
    if (error)
        *error = message;
    else if (!scan)
        ADD_FAILURE() << message;
    return scan;
}

void save(const FileTree& tree, const std::string& file)
{
    ScanSink sink(file);
    ASSERT_TRUE(ScanWriter::write(tree, ScanWriter::metadataFor(std::string(tree.root->name())), sink)
        && sink.commit())
        << sink.error();
}

// The first difference between two trees below their roots: names byte for byte, counts,
// flags, times and file sizes, children matched by name. Which link of a hard-linked file carries
// its sizes is the walk's choice, so those (and the totals above them) are compared only
// where `links` is empty; consistencyFaults() checks the totals. Iterative: trees may be deep.
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

std::string withoutTime(const std::string& line)
{
    return line.substr(0, line.rfind(" time="));
}

std::string loadLine(const std::string& file)
{
    int status = -1;
    const std::string out = capture({ tallyfernBinary(), "--load", file }, &status);
    return status == 0 ? withoutTime(out) : "exit " + std::to_string(status);
}

// Scan, save, load: the same tree, names byte for byte, in every compression. The peers
// write and read the same format: their files load with the totals a live scan gives
// (gdu's hard links excepted), and ncdu reads ours back entry for entry.
TEST(SavedScan, RoundTripsAndThePeersAgree)
{
    TempDir dir;
    makeDir(dir / "odd");
    for (const std::string& name : { std::string("new\nline"), std::string("q\"b\\\x01\t"),
             std::string("\xff\xfe raw"), std::string(255, 'n') })
        writeFile(dir / "odd" / name, name.size());
    const std::string mixed = sharedMixedTree();
    for (const std::string& root : { mixed, dir / "odd" }) {
        Scanner scanner(root);
        const FileTree tree = scanner.run();
        for (const char* suffix : { ".json", ".json.gz", ".zst" }) {
            const std::string file = dir / (std::string("scan") + suffix);
            save(tree, file);
            const std::optional<SavedScan> back = load(file);
            ASSERT_TRUE(back) << file;
            EXPECT_EQ(difference(tree.root, back->tree.root, tree.notes), "") << file;
            EXPECT_EQ(back->tree.root->size, tree.root->size);
            EXPECT_EQ(back->tree.root->logicalSize, tree.root->logicalSize);
            EXPECT_EQ(back->tree.root->name(), root);
            EXPECT_EQ(back->directories, scanner.progress().directories);
            EXPECT_FALSE(back->hardLinksMayCountTwice);
            EXPECT_EQ(consistencyFaults(back->tree.root), std::vector<std::string>());
        }
    }

    const std::string scanned = withoutTime(CliScan::scanLine(mixed));
    int status = -1;
    (void)capture({ "ncdu", "-o", dir / "ncdu.json", mixed }, &status);
    ASSERT_EQ(status, 0) << "ncdu -o";
    EXPECT_EQ(loadLine(dir / "ncdu.json"), scanned);

    (void)capture({ "gdu", "-n", "-o", dir / "gdu.json", mixed }, &status);
    ASSERT_EQ(status, 0) << "gdu -o";
    const std::optional<SavedScan> gdu = load(dir / "gdu.json");
    Scanner scanner(mixed);
    const FileTree live = scanner.run();
    ASSERT_TRUE(gdu);
    EXPECT_TRUE(gdu->hardLinksMayCountTwice);
    EXPECT_EQ(gdu->tree.root->fileCount, live.root->fileCount);
    EXPECT_EQ(gdu->directories, scanner.progress().directories);
    EXPECT_GT(gdu->tree.root->size, live.root->size) << "gdu's first links count again";

    save(live, dir / "ours.json");
    (void)capture({ "ncdu", "-e", "-f", dir / "ours.json", "-o", dir / "again.json" }, &status);
    EXPECT_EQ(status, 0) << "ncdu -f";
    const std::optional<SavedScan> ours = load(dir / "ours.json"), again = load(dir / "again.json");
    ASSERT_TRUE(ours && again);
    EXPECT_EQ(difference(ours->tree.root, again->tree.root), "");
}

std::string gzipped(const std::string& head, std::size_t spaces)
{
    std::string out(compressBound(uLong(head.size() + spaces)) / 64 + 4096, '\0');
    z_stream z {};
    deflateInit2(&z, 9, Z_DEFLATED, 16 + 15, 9, Z_DEFAULT_STRATEGY);
    std::string chunk(1 << 20, ' ');
    std::string result;
    auto pump = [&](const std::string& in, int flush) {
        z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.data()));
        z.avail_in = uInt(in.size());
        do {
            z.next_out = reinterpret_cast<Bytef*>(out.data());
            z.avail_out = uInt(out.size());
            deflate(&z, flush);
            result.append(out.data(), out.size() - z.avail_out);
        } while (z.avail_out == 0);
    };
    pump(head, Z_NO_FLUSH);
    for (std::size_t i = 0; i < spaces >> 20; ++i)
        pump(chunk, Z_NO_FLUSH);
    pump(std::string(), Z_FINISH);
    deflateEnd(&z);
    return result;
}

// Each kind of damaged or hostile file: one message naming the file and what is wrong,
// and no tree. A hundred thousand valid levels load.
TEST(SavedScan, BadFilesGiveOneMessageAndNoTree)
{
    const std::string head = "[1,2,{},[{\"name\":\"/r\"}";
    auto file = [&](const std::string& entry) { return head + ",\n" + entry + "]]"; };
    std::string deep = "[1,0,{\"progname\":\"x\",\"extra\":[{}]},[{\"name\":\"/\"},";
    for (int i = 0; i < 100000; ++i)
        deep += "[{\"name\":\"d\"},";
    deep += "{\"name\":\"f\",\"asize\":1}" + std::string(100000, ']') + "]]";
    const struct {
        std::string content;
        const char* message; // empty: loads
    } cases[] = {
        { deep, "" },
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
    for (const auto& c : cases) {
        const std::string path = dir / "case.json";
        std::ofstream(path, std::ios::binary | std::ios::trunc) << c.content;
        std::string error;
        const std::optional<SavedScan> scan = load(path, &error);
        const std::string label = c.content.substr(0, 60);
        if (!*c.message) {
            ASSERT_TRUE(scan) << error;
            EXPECT_EQ(scan->directories, 100001);
            EXPECT_EQ(scan->tree.root->logicalSize, 1);
            continue;
        }
        EXPECT_FALSE(scan) << label;
        EXPECT_NE(error.find(c.message), std::string::npos) << label << " gave: " << error;
        EXPECT_EQ(error.rfind(path + ": ", 0), 0u) << error;
    }
}

// Entries that are not plain files: excluded items, unreadable folders, gdu's hard links.
TEST(SavedScan, ExcludedUnreadableAndPartlyMarkedHardLinks)
{
    TempDir dir;
    const std::string path = dir / "peer.json";
    std::ofstream(path) << "[1,1,{\"progname\":\"gdu\"},[{\"name\":\"/r\",\"dev\":5},"
                           "{\"name\":\"x\",\"excluded\":\"otherfs\"},[{\"name\":\"u\",\"read_error\":true}],"
                           "{\"name\":\"a\",\"asize\":10,\"dsize\":4096},"
                           "{\"name\":\"b\",\"asize\":10,\"dsize\":4096,\"ino\":3,\"hlnkc\":true},"
                           "{\"name\":\"c\",\"asize\":10,\"dsize\":4096,\"ino\":3,\"hlnkc\":true}]]";
    const std::optional<SavedScan> scan = load(path);
    ASSERT_TRUE(scan);
    EXPECT_EQ(scan->directories, 2);
    EXPECT_EQ(scan->unreadable, 1);
    EXPECT_EQ(scan->tree.root->fileCount, 3);
    EXPECT_EQ(scan->tree.root->size, 8192);
    EXPECT_TRUE(scan->hardLinksMayCountTwice);
    const FileNode* excluded = find(scan->tree.root, "x");
    ASSERT_TRUE(excluded);
    EXPECT_EQ(excluded->flags, NodeFlags::Directory | NodeFlags::Excluded);
    // Saved again, the reason and the links' identity stay.
    save(scan->tree, dir / "again.json");
    std::ifstream in(dir / "again.json");
    const std::string text((std::istreambuf_iterator<char>(in)), {});
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
    std::ifstream in(target);
    EXPECT_EQ(std::string((std::istreambuf_iterator<char>(in)), {}), "previous");
    EXPECT_EQ(capture({ "sh", "-c", "ls -A " + dir.path() + " | grep -c scan" }), "1\n");

    int status = -1;
    const std::string out
        = capture({ tallyfernBinary(), "--export", dir / "missing/scan.json", dir.path() }, &status);
    EXPECT_EQ(status, 1);
    EXPECT_EQ(out, "");
    // To standard output, the file is the output and the totals go to standard error.
    const std::string json = capture({ tallyfernBinary(), "--export", "-", dir.path() }, &status);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(json.rfind("[1,2,{\"progname\":\"tallyfern\"", 0), 0u) << json;
}

} // namespace
