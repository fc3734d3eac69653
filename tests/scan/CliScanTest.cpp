// SPDX-License-Identifier: MIT
#include "scan/CliScan.h"
#include "scan/Scanner.h"
#include "scan/support/ScanFixture.h"

#include <gtest/gtest.h>

#include <regex>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

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

TEST_F(CliBinary, TotalsEqualAnIndependentCount)
{
    const Census expected = census(sharedMixedTree());
    ASSERT_GT(expected.files, 15000);
    std::ostringstream line;
    line << "files=" << expected.files << " dirs=" << expected.dirs << " unreadable=0 allocated=" << expected.allocated
         << " logical=" << expected.logical;
    EXPECT_EQ(run(sharedMixedTree()), line.str());
}

} // namespace
