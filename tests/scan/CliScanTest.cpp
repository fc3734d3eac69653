// SPDX-License-Identifier: MIT
#include "scan/CliScan.h"
#include "scan/Scanner.h"
#include "scan/support/ScanFixture.h"

#include <gtest/gtest.h>

#include <regex>
#include <tuple>
#include <unistd.h>

using namespace scantest;

namespace {

// The line without its time field, after checking that field's form.
std::string withoutTime(const std::string& line)
{
    static const std::regex form(
        "^(files=\\d+ dirs=\\d+ unreadable=\\d+ allocated=\\d+ logical=\\d+) time=\\d+\\.\\d\\ds$");
    std::smatch match;
    return std::regex_match(line, match, form) ? std::string(match[1]) : "malformed: " + line;
}

TEST(CliScan, OnlyExactlyScanAndOnePathMatch)
{
    const std::vector<std::vector<const char*>> good { { "tallyfern", "--scan", "/tmp" },
        { "tallyfern", "--load", "f.json" }, { "tallyfern", "--export", "f.json", "/tmp" },
        { "tallyfern", "--scan", "/tmp", "--exclude", "x", "--cross-file-systems", "--exclude-from", "f" },
        { "tallyfern", "--export", "f.json", "/tmp", "--exclude", "x" } };
    for (const auto& argv : good)
        EXPECT_TRUE(CliScan::matches(int(argv.size()), const_cast<const char**>(argv.data()))) << argv[1];
    const std::vector<std::vector<const char*>> bad { { "tallyfern" }, { "tallyfern", "--scan" },
        { "tallyfern", "--scan", "/a", "/b" }, { "tallyfern", "--SCAN", "/tmp" },
        { "tallyfern", "--scanner", "/tmp" }, { "tallyfern", "/tmp", "--scan" }, { "tallyfern", "--load" },
        { "tallyfern", "--export", "f.json" }, { "tallyfern", "--load", "a", "b" },
        { "tallyfern", "--load", "f.json", "--exclude", "x" },
        { "tallyfern", "--scan", "/a", "--exclude", "x", "/b" } };
    for (const auto& argv : bad)
        EXPECT_FALSE(CliScan::matches(int(argv.size()), const_cast<const char**>(argv.data())))
            << argv.size() << " arguments";
}

TEST(CliScan, LineForEmptyMissingNonFolderAndSmallRoots)
{
    TempDir dir;
    makeDir(dir / "empty");
    makeDir(dir / "one");
    writeFile(dir / "one/ten", 10);
    EXPECT_EQ(
        withoutTime(CliScan::scanLine(dir / "empty")), "files=0 dirs=1 unreadable=0 allocated=0 logical=0");
    // What cannot be listed is one unreadable folder, never a failure of the whole run.
    for (const std::string& unlistable : { dir / "missing", dir / "one/ten", std::string() })
        EXPECT_EQ(
            withoutTime(CliScan::scanLine(unlistable)), "files=0 dirs=1 unreadable=1 allocated=0 logical=0")
            << unlistable;
    EXPECT_EQ(withoutTime(CliScan::scanLine(dir / "one")),
        "files=1 dirs=1 unreadable=0 allocated=" + std::to_string(sizeOf(dir / "one/ten").allocated)
            + " logical=10");
}

TEST(CliScan, HundredThousandLevelsDeepScanAndTheProgramExitsCleanly)
{
    const std::string binary = tallyfernBinary();
    ASSERT_EQ(::access(binary.c_str(), X_OK), 0) << "build the tallyfern target first: " << binary;
    TempDir dir("/dev/shm");
    constexpr int kLevels = 100000;
    const DiskSize leaf = makeChain(dir.path(), kLevels, "d", 10);

    Scanner scanner(dir.path());
    const FileTree tree = scanner.run();
    EXPECT_EQ(scanner.progress().directories, kLevels + 1);
    EXPECT_EQ(tree.root->logicalSize, 10);
    EXPECT_EQ(consistencyFaults(tree.root), std::vector<std::string>());

    int status = -1;
    const std::string out = capture({ binary, "--scan", dir.path() }, &status);
    EXPECT_EQ(status, 0);
    ASSERT_EQ(out.find('\n'), out.size() - 1) << "one line: " << out;
    EXPECT_EQ(withoutTime(out.substr(0, out.size() - 1)),
        "files=1 dirs=100001 unreadable=0 allocated=" + std::to_string(leaf.allocated) + " logical=10");
}

// What keeps a scan from a whole result is said in one line on standard error, with a
// failing status and no line of totals: a root path longer than a node holds (its
// descendants' paths would name the wrong files) and a descriptor limit too low to list.
TEST(CliScan, FailuresAreOneLineOnStandardErrorAndAFailingStatus)
{
    const std::string binary = tallyfernBinary();
    ASSERT_EQ(::access(binary.c_str(), X_OK), 0) << "build the tallyfern target first: " << binary;
    TempDir dir;
    const std::string name(250, 'p');
    const DiskSize leaf = makeChain(dir.path(), 160, name, 10);
    std::string deep = dir.path();
    for (int i = 0; i < 160; ++i)
        deep += "/" + name;
    ASSERT_GT(deep.size(), 40000u);

    for (const auto& [limit, path, expected] : { std::tuple<std::string, std::string, std::string> { "", deep,
                                                     "the folder's path is longer than 32,767 bytes" },
             { "4", dir.path(),
                 "too few file descriptors are left to scan (raise the limit with ulimit -n)" } }) {
        int status = -1;
        const std::string out = capture(
            { "sh", "-c",
                "exec 2>&1 3>&-; if [ -n \"$0\" ]; then ulimit -n \"$0\"; fi; exec \"$1\" --scan \"$2\"",
                limit, binary, path },
            &status);
        EXPECT_EQ(status, 1) << limit;
        EXPECT_EQ(out, "tallyfern: cannot scan: " + expected + "\n");
    }
    Scanner scanner(deep);
    const FileTree tree = scanner.run();
    EXPECT_EQ(scanner.failure(), Scanner::Failure::PathTooLong);
    EXPECT_EQ(tree.root->name(), "") << "never a cut path";
    // Within what a node holds but past what one open accepts (a folder rescanned deep
    // down): opened component by component, listed rather than lost as unreadable.
    EXPECT_EQ(withoutTime(CliScan::scanLine(deep.substr(0, dir.path().size() + 20 * 251))),
        "files=1 dirs=141 unreadable=0 allocated=" + std::to_string(leaf.allocated) + " logical=10");
}

} // namespace
