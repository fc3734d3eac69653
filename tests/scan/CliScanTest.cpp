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
        { { "tallyfern" }, false },
        { { "tallyfern", "--scan" }, false },
        { { "tallyfern", "--scan", "/a", "/b" }, false },
        { { "tallyfern", "--SCAN", "/tmp" }, false },
        { { "tallyfern", "/tmp", "--scan" }, false },
        { { "tallyfern", "--export", "f.json" }, false },
        { { "tallyfern", "--load", "f.json", "--exclude", "x" }, false },
        { { "tallyfern", "--scan", "/a", "--exclude", "x", "/b" }, false },
    };
    for (const auto& [argv, matches] : cases)
        EXPECT_EQ(CliScan::matches(int(argv.size()), const_cast<const char**>(argv.data())), matches)
            << argv.size() << " arguments, the last " << argv.back();
}

// The program's line for roots of every sort: what cannot be listed is one unreadable
// folder, never a failure; a hundred thousand levels scan without deep recursion; a path
// within what a node holds but past what one open accepts (a folder rescanned deep down)
// opens component by component. What keeps a scan from a whole result is said in one
// line on standard error, with a failing status and no line of totals: a root path
// longer than a node holds (its descendants' paths would name the wrong files) and a
// descriptor limit too low to list.
TEST(CliScan, LinesForEveryRootAndFailuresOnStandardError)
{
    const std::string binary = tallyfernBinary();
    ASSERT_EQ(::access(binary.c_str(), X_OK), 0) << "build the tallyfern target first: " << binary;
    TempDir shm("/dev/shm"), dir, shmSizes("/dev/shm");
    makeChain(shm.path(), 100000, "d", 10);
    writeFile(shmSizes / "ten", 10); // the leaf's sizes, in a folder not scanned
    makeDir(dir / "empty");
    makeDir(dir / "one");
    writeFile(dir / "one/ten", 10);
    makeDir(dir / "long");
    const std::string name(250, 'p');
    makeChain(dir / "long", 160, name, 10);
    std::string deep = dir / "long";
    for (int i = 0; i < 160; ++i)
        deep += "/" + name;
    ASSERT_GT(deep.size(), 40000u);
    const auto totals = [](int files, int dirs, int unreadable, std::int64_t allocated, int logical) {
        return "0 files=" + std::to_string(files) + " dirs=" + std::to_string(dirs)
            + " unreadable=" + std::to_string(unreadable) + " allocated=" + std::to_string(allocated)
            + " logical=" + std::to_string(logical);
    };
    const std::string unlistable = totals(0, 1, 1, 0, 0);
    for (const auto& [limit, path, expected] :
        { std::tuple<std::string, std::string, std::string> { "", dir / "empty", totals(0, 1, 0, 0, 0) },
            { "", dir / "missing", unlistable }, { "", dir / "one/ten", unlistable },
            { "", dir / "one", totals(1, 1, 0, sizeOf(dir / "one/ten").allocated, 10) },
            { "", shm.path(), totals(1, 100001, 0, sizeOf(shmSizes / "ten").allocated, 10) },
            { "", deep.substr(0, (dir / "long").size() + 20 * 251),
                totals(1, 141, 0, sizeOf(dir / "one/ten").allocated, 10) },
            { "", deep, "1 tallyfern: cannot scan: the folder's path is longer than 32,767 bytes\n" },
            { "4", dir.path(),
                "1 tallyfern: cannot scan: too few file descriptors are left to scan (raise the limit with "
                "ulimit -n)\n" } }) {
        int status = -1;
        const std::string out = capture(
            { "sh", "-c",
                "exec 2>&1 3>&-; if [ -n \"$0\" ]; then ulimit -n \"$0\"; fi; exec \"$1\" --scan \"$2\"",
                limit, binary, path },
            &status);
        EXPECT_EQ(std::to_string(status) + " " + (status == 0 ? withoutTime(out) : out), expected)
            << path.substr(0, 100);
    }
    EXPECT_EQ("0 " + withoutTime(CliScan::scanLine("")), unlistable);
    Scanner scanner(deep);
    const FileTree tree = scanner.run();
    EXPECT_EQ(scanner.failure(), Scanner::Failure::PathTooLong);
    EXPECT_EQ(tree.root->name(), "") << "never a cut path";
}

} // namespace
