// SPDX-License-Identifier: MIT
#include "scan/CliScan.h"
#include "scan/Scanner.h"
#include "scan/support/ScanFixture.h"

#include <gtest/gtest.h>

#include <random>
#include <regex>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_set>

using namespace scantest;

namespace {

// The line without its time field, after checking that field's form.
std::string withoutTime(const std::string& line)
{
    static const std::regex form("^(files=\\d+ dirs=\\d+ unreadable=\\d+ allocated=\\d+ logical=\\d+) time=\\d+\\.\\d\\ds$");
    std::smatch match;
    if (!std::regex_match(line, match, form))
        return "malformed: " + line;
    return match[1];
}

TEST(CliScan, OnlyExactlyScanAndOnePathMatch)
{
    const char* good[] = {"tallyfern", "--scan", "/tmp"};
    EXPECT_TRUE(CliScan::matches(3, good));
    const char* none[] = {"tallyfern"};
    const char* noPath[] = {"tallyfern", "--scan"};
    const char* twoPaths[] = {"tallyfern", "--scan", "/a", "/b"};
    const char* upper[] = {"tallyfern", "--SCAN", "/tmp"};
    const char* prefix[] = {"tallyfern", "--scanner", "/tmp"};
    const char* other[] = {"tallyfern", "/tmp", "--scan"};
    EXPECT_FALSE(CliScan::matches(1, none));
    EXPECT_FALSE(CliScan::matches(2, noPath));
    EXPECT_FALSE(CliScan::matches(4, twoPaths));
    EXPECT_FALSE(CliScan::matches(3, upper));
    EXPECT_FALSE(CliScan::matches(3, prefix));
    EXPECT_FALSE(CliScan::matches(3, other));
}

TEST(CliScan, LineForEmptyMissingAndSmallFolders)
{
    TempDir dir;
    makeDir(dir / "empty");
    makeDir(dir / "one");
    writeFile(dir / "one/ten", 10);
    makeDir(dir / "links");
    writeFile(dir / "links/a", 10000);
    makeLink(dir / "links/a", dir / "links/b");

    EXPECT_EQ(withoutTime(CliScan::scanLine(dir / "empty")), "files=0 dirs=1 unreadable=0 allocated=0 logical=0");
    EXPECT_EQ(withoutTime(CliScan::scanLine(dir / "missing")), "files=0 dirs=1 unreadable=1 allocated=0 logical=0");
    const DiskSize ten = sizeOf(dir / "one/ten");
    EXPECT_EQ(withoutTime(CliScan::scanLine(dir / "one")),
              "files=1 dirs=1 unreadable=0 allocated=" + std::to_string(ten.allocated) + " logical=10");
    const DiskSize linked = sizeOf(dir / "links/a");
    EXPECT_EQ(withoutTime(CliScan::scanLine(dir / "links/")),
              "files=2 dirs=1 unreadable=0 allocated=" + std::to_string(linked.allocated) + " logical=10000");
}

class CliBinary : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_binary = tallyfernBinary();
        if (::access(m_binary.c_str(), X_OK) != 0)
            FAIL() << "build the tallyfern target first: " << m_binary << " is missing";
    }

    // Runs `tallyfern --scan path`; the output must be one line and the status 0.
    std::string run(const std::string& path) const
    {
        int status = -1;
        const std::string out = capture({m_binary, "--scan", path}, &status);
        EXPECT_EQ(status, 0);
        EXPECT_TRUE(!out.empty() && out.back() == '\n' && out.find('\n') == out.size() - 1) << out;
        return withoutTime(out.substr(0, out.size() - 1));
    }

    std::string m_binary;
};

TEST_F(CliBinary, HundredThousandLevelsDeepScanAndExitCleanly)
{
    TempDir dir("/dev/shm");
    constexpr int kLevels = 100000;
    const DiskSize leaf = makeChain(dir.path(), kLevels, "d", 10);

    Scanner scanner(dir.path());
    const FileTree tree = scanner.run();
    EXPECT_EQ(scanner.progress().directories, kLevels + 1);
    EXPECT_EQ(tree.root->fileCount, 1);
    EXPECT_EQ(tree.root->logicalSize, 10);
    EXPECT_EQ(consistencyFaults(tree.root), std::vector<std::string>());

    EXPECT_EQ(run(dir.path()), "files=1 dirs=100001 unreadable=0 allocated=" + std::to_string(leaf.allocated)
                                   + " logical=10");
}

// What an independent walk finds: find -xdev, hard links once.
struct Census {
    std::int64_t files = 0;
    std::int64_t dirs = 0;
    std::int64_t allocated = 0;
    std::int64_t logical = 0;
};

Census census(const std::string& root)
{
    Census c;
    std::istringstream entries(capture({"find", root, "-xdev", "!", "-type", "d", "-printf", "%i %n %b %s\\n"}));
    std::unordered_set<std::uint64_t> seen;
    std::uint64_t inode;
    std::int64_t links, blocks, size;
    while (entries >> inode >> links >> blocks >> size) {
        ++c.files;
        if (links >= 2 && !seen.insert(inode).second)
            continue;
        c.allocated += blocks * 512;
        c.logical += size;
    }
    const std::string dirs = capture({"find", root, "-xdev", "-type", "d", "-printf", "x"});
    c.dirs = std::int64_t(dirs.size());
    return c;
}

// About 20,000 entries: files of many sizes, sparse files, hard links inside and to
// a file outside, symbolic links, FIFOs, empty folders and names that are not UTF-8.
void buildMixedTree(const std::string& root, const std::string& outside)
{
    std::mt19937 random(7);
    std::vector<std::string> folders {root};
    std::vector<std::string> files;
    writeFile(outside, 7000);
    for (int i = 0; i < 20000; ++i) {
        const std::string& parent = folders[random() % folders.size()];
        std::string name = i % 97 == 0 ? std::string("\xff\xfe", 2) : std::string("e");
        name += std::to_string(i);
        const std::string path = parent + "/" + name;
        const unsigned pick = random() % 1000;
        if (pick < 60) {
            makeDir(path);
            folders.push_back(path);
        } else if (pick < 75 && !files.empty()) {
            makeLink(files[random() % files.size()], path);
        } else if (pick < 77) {
            makeLink(outside, path);
        } else if (pick < 90) {
            makeSymlink(pick % 2 ? "/usr" : "../nowhere", path);
        } else if (pick < 95) {
            makeFifo(path);
        } else if (pick < 105) {
            writeSparse(path, 1 + std::int64_t(random() % 50) * (1 << 20));
            files.push_back(path);
        } else {
            writeFile(path, random() % 3 == 0 ? 0 : random() % 20000);
            files.push_back(path);
        }
    }
}

TEST_F(CliBinary, TotalsEqualAnIndependentCount)
{
    TempDir dir;
    makeDir(dir / "tree");
    buildMixedTree(dir / "tree", dir / "outside");
    const Census expected = census(dir / "tree");
    ASSERT_GT(expected.files, 15000);
    std::ostringstream line;
    line << "files=" << expected.files << " dirs=" << expected.dirs << " unreadable=0 allocated=" << expected.allocated
         << " logical=" << expected.logical;
    EXPECT_EQ(run(dir / "tree"), line.str());
}

} // namespace
