// SPDX-License-Identifier: MIT
#include "scan/ExcludePatterns.h"
#include "scan/CliScan.h"
#include "scan/Scanner.h"
#include "scan/support/ScanFixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <set>
#include <sstream>
#include <unistd.h>

using namespace scantest;

namespace {

// Files of the fixture; their folders are made on the way.
const std::vector<std::string> kFiles = { "a.log", "b.txt", "doc/readme.md", "doc/old.log", "src/main.cpp",
    "src/gen/x.cpp", "src/gen/deep/y.h", "build/out.o", "lib/build/keep.txt", "lib/z.tar.gz", "lib/z.gz",
    "x/y/z/w.c", "x/doc/q.txt", "x/qq", "abc", "xbc", "foo bar", "[x]", "a?b", "#hash", "!bang", "trail " };

// Every path of the fixture, each folder before what it holds.
std::set<std::string> allPaths()
{
    std::set<std::string> paths;
    for (const std::string& file : kFiles)
        for (std::size_t slash = 0; slash != std::string::npos;) {
            slash = file.find('/', slash + 1);
            paths.insert(file.substr(0, slash));
        }
    return paths;
}

bool isFolder(const std::string& path)
{
    return std::any_of(
        kFiles.begin(), kFiles.end(), [&](const std::string& f) { return f.starts_with(path + "/"); });
}

void makeFixture(const std::string& root)
{
    for (const std::string& path : allPaths())
        isFolder(path) ? makeDir(root / path) : writeFile(root / path, 5000);
}

ExcludePatterns compile(const std::vector<std::string>& lines)
{
    ExcludePatterns set;
    std::string error;
    for (const std::string& line : lines)
        EXPECT_TRUE(set.add(line, error)) << line << ": " << error;
    return set;
}

// Left out as the scanner decides: the path or one of its folders is excluded.
bool leftOut(const ExcludePatterns& set, const std::string& path)
{
    for (std::size_t start = 0;;) {
        const std::size_t slash = path.find('/', start);
        const std::string prefix = path.substr(0, slash);
        const std::string folder = start ? path.substr(0, start - 1) : std::string();
        if (set.excludes(folder, prefix.substr(start), isFolder(prefix)))
            return true;
        if (slash == std::string::npos)
            return false;
        start = slash + 1;
    }
}

TEST(ExcludePatterns, AgreeWithGitCheckIgnore)
{
    const std::vector<std::vector<std::string>> table = { { "*.log" }, { "doc" }, { "doc/" }, { "/doc" },
        { "src/gen" }, { "build/" }, { "/build" }, { "**/build" }, { "src/**" }, { "x/**/w.c" },
        { "**/gen/deep" }, { "x/*/q.txt" }, { "*.gz" }, { "*.tar.gz" }, { "?.txt" }, { "[ab].*" },
        { "[!a]*" }, { "[^a-y]*" }, { "\\[x]" }, { "a\\?b" }, { "\\#hash" }, { "\\!bang" }, { "foo*" },
        { "*bar" }, { "src/*.cpp" }, { "*/gen" }, { "[[:digit:]]*" }, { "[[:alpha:]].c" }, { "lib/z.*" },
        { "b**" }, { "*" }, { "*", "!*/" }, { "*.log", "!a.log" }, { "doc", "!doc/old.log" },
        { "lib/*", "!lib/build" }, { "*.gz", "!z.tar.gz", "*.tar.*" }, { "a*", "!*c", "a?c", "!?b*" },
        { "x/*", "!**/q.txt", "x/q*", "!*/y" }, { "build", "!build/", "lib/" }, { "trail\\ " },
        { "lib/build/k*", "src/gen/d*", "src/m*", "abc*", "a.*", "readme.m?" } };
    TempDir repo;
    const std::set<std::string> paths = allPaths();
    makeFixture(repo.path());
    ASSERT_EQ(capture({ "git", "init", "-q", repo.path() }), "");
    for (const std::vector<std::string>& patterns : table) {
        std::ofstream(repo / ".git/info/exclude") << [&] {
            std::string text;
            for (const std::string& line : patterns)
                text += line + "\n";
            return text;
        }();
        std::vector<std::string> argv = { "git", "-C", repo.path(), "check-ignore", "--no-index", "--" };
        argv.insert(argv.end(), paths.begin(), paths.end());
        std::istringstream out(capture(argv));
        std::set<std::string> git;
        for (std::string line; std::getline(out, line);)
            git.insert(line);
        const ExcludePatterns set = compile(patterns);
        for (const std::string& path : paths)
            EXPECT_EQ(leftOut(set, path), git.count(path) != 0) << patterns.front() << " on " << path;
    }
}

TEST(ExcludePatterns, MalformedPatternsAreRefusedWithAReasonAndExitStatusTwo)
{
    for (const char* bad : { "[abc", "a[", "[!]", "x\\", "[[:nope:]]", "[[:alpha:", "", "/", "!", "!/" }) {
        ExcludePatterns set;
        std::string error;
        EXPECT_FALSE(set.add(bad, error)) << bad;
        EXPECT_TRUE(error.find("pattern") != std::string::npos && set.empty()) << error;
    }
    TempDir dir;
    std::ofstream(dir / "list") << "# comment\n\n*.o\nok/\n[bad\n";
    ExcludePatterns set;
    std::string error;
    EXPECT_FALSE(set.addFile(dir / "list", error));
    EXPECT_NE(error.find("list:5:"), std::string::npos) << error;
    EXPECT_TRUE(set.empty()) << "nothing of a file with a malformed line is kept";

    for (const std::vector<std::string>& args :
        std::vector<std::vector<std::string>> { { "--scan", dir.path(), "--exclude", "[x" },
            { "--export", dir / "out.json", dir.path(), "--exclude" },
            { "--scan", dir.path(), "--exclude-from", dir / "missing" },
            { "--scan", dir.path(), "--exclude-from", "/dev/zero" } }) { // a line that never ends
        std::vector<std::string> argv = { tallyfernBinary() };
        argv.insert(argv.end(), args.begin(), args.end());
        int status = 0;
        const std::string out = capture(argv, &status);
        EXPECT_EQ(out + std::to_string(status), "2") << args.back();
    }
    EXPECT_NE(::access((dir / "out.json").c_str(), F_OK), 0) << "nothing is written after bad options";
}

// Counts what `find` keeps and prunes under the same rules.
TEST(ExcludePatterns, ScanLeavesOutWhatFindPrunesAndSavedScansKeepTheFlag)
{
    TempDir dir;
    const std::string root = dir / "root";
    makeDir(root);
    makeFixture(root);
    const ExcludePatterns set = compile({ "*.log", "build/", "src/gen", "doc/readme.md" });
    Scanner scanner(root);
    scanner.setExcludes(&set);
    const FileTree tree = scanner.run();
    EXPECT_EQ(treeFaults(tree.root), "");

    const std::vector<std::string> rule = { "(", "-name", "*.log", "-o", "-type", "d", "-name", "build", "-o",
        "-path", root / "src/gen", "-o", "-path", root / "doc/readme.md", ")" };
    auto count = [&](std::vector<std::string> tail) {
        std::vector<std::string> argv = { "find", root, "-mindepth", "1" };
        argv.insert(argv.end(), rule.begin(), rule.end());
        argv.insert(argv.end(), tail.begin(), tail.end());
        const std::string out = capture(argv);
        return std::count(out.begin(), out.end(), '\n');
    };
    const auto keptFiles = count({ "-prune", "-o", "-type", "f", "-print" });
    const auto pruned = count({ "-print", "-prune" });
    ASSERT_GT(pruned, 3);

    auto flagged = [](const FileNode* top) {
        const std::vector<FileNode*> all = preOrder(top);
        return std::count_if(all.begin(), all.end(), [](const FileNode* node) {
            return node->flags.contains(NodeFlags::Excluded) && node->fileCount == 0 && node->size == 0;
        });
    };
    EXPECT_EQ(tree.root->fileCount, keptFiles);
    EXPECT_EQ(flagged(tree.root), pruned);
    ASSERT_TRUE(nodeAt(tree.root, "src/gen"));
    EXPECT_FALSE(nodeAt(tree.root, "src/gen")->hasChildren());
    // Saved and loaded, what was left out stays out, with its reason.
    save(tree, dir / "saved.json");
    EXPECT_NE(
        readText(dir / "saved.json").find("{\"name\":\"gen\",\"excluded\":\"pattern\"}"), std::string::npos);
    const std::optional<SavedScan> loaded = load(dir / "saved.json");
    ASSERT_TRUE(loaded);
    EXPECT_EQ(loaded->tree.root->fileCount, keptFiles);
    EXPECT_EQ(flagged(loaded->tree.root), pruned);
}

} // namespace
