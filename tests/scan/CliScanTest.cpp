// SPDX-License-Identifier: MIT
#include "scan/CliScan.h"
#include "scan/Scanner.h"
#include "scan/support/ScanFixture.h"

#include <gtest/gtest.h>

#include <tuple>
#include <unistd.h>

using namespace scantest;

namespace {

TEST(CliScan, OnlyExactlyScanAndOnePathMatch)
{
    const std::vector<std::pair<std::vector<const char*>, bool>> cases {
        { { "tallyfern", "--scan", "/tmp" }, true },
        { { "tallyfern", "--load", "f.json" }, true },
        { { "tallyfern", "--export", "f.json", "/tmp" }, true },
        { { "tallyfern", "--scan", "/tmp", "--exclude", "x", "--cross-file-systems", "--exclude-from", "f" },
            true },
        { { "tallyfern", "--export", "f.json", "/tmp", "--exclude", "x" }, true },
        { { "tallyfern" }, false },
        { { "tallyfern", "--scan" }, false },
        { { "tallyfern", "--scan", "/a", "/b" }, false },
        { { "tallyfern", "--SCAN", "/tmp" }, false },
        { { "tallyfern", "--scanner", "/tmp" }, false },
        { { "tallyfern", "/tmp", "--scan" }, false },
        { { "tallyfern", "--load" }, false },
        { { "tallyfern", "--export", "f.json" }, false },
        { { "tallyfern", "--load", "a", "b" }, false },
        { { "tallyfern", "--load", "f.json", "--exclude", "x" }, false },
        { { "tallyfern", "--scan", "/a", "--exclude", "x", "/b" }, false },
    };
    for (const auto& [argv, matches] : cases)
        EXPECT_EQ(CliScan::matches(int(argv.size()), const_cast<const char**>(argv.data())), matches)
            << argv.size() << " arguments, the last " << argv.back();
}

TEST(CliScan, LineForEmptyMissingNonFolderAndSmallRoots)
{
    TempDir dir;
    makeDir(dir / "empty");
    makeDir(dir / "one");
    writeFile(dir / "one/ten", 10);
    // What cannot be listed is one unreadable folder, never a failure of the whole run.
    const std::string unlistable = "files=0 dirs=1 unreadable=1 allocated=0 logical=0";
    for (const auto& [root, line] : { std::pair<std::string, std::string> { dir / "empty",
                                          "files=0 dirs=1 unreadable=0 allocated=0 logical=0" },
             { dir / "missing", unlistable }, { dir / "one/ten", unlistable }, { "", unlistable },
             { dir / "one",
                 "files=1 dirs=1 unreadable=0 allocated=" + std::to_string(sizeOf(dir / "one/ten").allocated)
                     + " logical=10" } })
        EXPECT_EQ(withoutTime(CliScan::scanLine(root)), line) << root;
}

// A hundred thousand levels scan without deep recursion, in the library and in the
// program, which prints one line and exits cleanly. What keeps a scan from a whole
// result is said in one line on standard error, with a failing status and no line of
// totals: a root path longer than a node holds (its descendants' paths would name the
// wrong files) and a descriptor limit too low to list.
TEST(CliScan, DeepTreesScanAndFailuresAreOneLineOnStandardError)
{
    const std::string binary = tallyfernBinary();
    ASSERT_EQ(::access(binary.c_str(), X_OK), 0) << "build the tallyfern target first: " << binary;
    TempDir shm("/dev/shm");
    const DiskSize deepLeaf = makeChain(shm.path(), 100000, "d", 10);

    TempDir dir;
    const std::string name(250, 'p');
    const DiskSize leaf = makeChain(dir.path(), 160, name, 10);
    std::string deep = dir.path();
    for (int i = 0; i < 160; ++i)
        deep += "/" + name;
    ASSERT_GT(deep.size(), 40000u);
    for (const auto& [limit, path, expected] :
        { std::tuple<std::string, std::string, std::string> { "", shm.path(), "" },
            { "", deep, "tallyfern: cannot scan: the folder's path is longer than 32,767 bytes\n" },
            { "4", dir.path(),
                "tallyfern: cannot scan: too few file descriptors are left to scan (raise the limit with "
                "ulimit -n)\n" } }) {
        int status = -1;
        const std::string out = capture(
            { "sh", "-c",
                "exec 2>&1 3>&-; if [ -n \"$0\" ]; then ulimit -n \"$0\"; fi; exec \"$1\" --scan \"$2\"",
                limit, binary, path },
            &status);
        EXPECT_EQ(status, expected.empty() ? 0 : 1) << limit;
        EXPECT_EQ(expected.empty() ? withoutTime(out) : out,
            expected.empty() ? "files=1 dirs=100001 unreadable=0 allocated="
                    + std::to_string(deepLeaf.allocated) + " logical=10"
                             : expected);
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
