// SPDX-License-Identifier: MIT
#include "scan/Scanner.h"
#include "platform/DirectoryReader.h"
#include "scan/support/ScanFixture.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <filesystem>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

using namespace scantest;

namespace {

struct Scan {
    FileTree tree;
    Progress progress;
};

Scan scan(const std::string& path, const DirectoryReader* reader = nullptr)
{
    Scanner scanner = reader ? Scanner(path, *reader) : Scanner(path);
    Scan result;
    result.tree = scanner.run();
    result.progress = scanner.progress();
    EXPECT_FALSE(scanner.isCancelled());
    EXPECT_EQ(consistencyFaults(result.tree.root), std::vector<std::string>());
    return result;
}

// Passes every call to the system reader except the ones a test makes fail.
class FaultyReader : public DirectoryReader {
public:
    int openChild(int parentFd, const char* name) const override
    {
        {
            std::lock_guard lock(m_mutex);
            m_opened.insert(name);
            if (m_cancelOnOpen)
                m_cancelOnOpen->cancel();
        }
        if (m_noDescriptors)
            return -EMFILE;
        return DirectoryReader::openChild(parentFd, name);
    }
    long readBatch(int fd, char* buffer, std::size_t size) const override
    {
        if (!m_brokenInode)
            return DirectoryReader::readBatch(fd, buffer, size);
        EntryFacts self;
        const bool broken = examineOpen(fd, self) && self.inode == m_brokenInode;
        const long n = DirectoryReader::readBatch(fd, buffer, 600);
        std::lock_guard lock(m_mutex);
        if (broken && n > 0 && ++m_brokenReads > 1)
            return -EIO;
        return n;
    }
    bool examine(int dirFd, const char* name, EntryFacts& facts) const override
    {
        if (std::string_view(name).starts_with("vanished"))
            return false;
        if (!DirectoryReader::examine(dirFd, name, facts))
            return false;
        if (m_brokenInode)
            facts.mountRootKnown = facts.mountRoot = false;
        if (std::string_view(name) == "elsewhere")
            facts.device += 1;
        return true;
    }

    Scanner* m_cancelOnOpen = nullptr;
    bool m_noDescriptors = false;
    // Non-zero: small batches, the second read of this folder fails, no mount attribute.
    std::uint64_t m_brokenInode = 0;
    mutable std::mutex m_mutex;
    mutable std::set<std::string> m_opened;
    mutable int m_brokenReads = 0;
};

TEST(Scanner, SpecialEntriesCountByTheirOwnSizesWhateverTheRootPathLooksLike)
{
    TempDir dir;
    for (const char* folder : { "outside", "large", "tree", "tree/a", "tree/b" })
        makeDir(dir / folder);
    writeFile(dir / "tree/a/big", 1 << 20);
    makeLink(dir / "tree/a/big", dir / "tree/b/twin");
    writeFile(dir / "outside/shared", 40000);
    makeLink(dir / "outside/shared", dir / "tree/shared");
    writeFile(dir / "large/payload", 3 << 20);
    writeSparse(dir / "tree/sparse", 200 << 20);
    makeSymlink(dir / "large", dir / "tree/to-large");
    makeSymlink("loop", dir / "tree/loop"); // points at itself
    makeFifo(dir / "tree/pipe");
    for (const char* executable : { "tree/sparse", "tree/pipe" }) // only a regular file is one
        std::filesystem::permissions(
            dir / executable, std::filesystem::perms::owner_exec, std::filesystem::perm_options::add);
    const std::vector<std::string> odd { std::string("\xff\xfe-latin1-\xe9", 11), "line\nbreak", " lead",
        std::string(255, 'n'), "\xe2\x82\xac" };
    makeDir(dir / "tree" / odd[0]);
    for (std::size_t i = 0; i < odd.size(); ++i)
        writeFile(dir / "tree" / odd[0] / odd[i], 100 + i);
    makeSymlink(dir / "tree", dir / "alias");
    const DiskSize big = sizeOf(dir / "tree/a/big");
    const DiskSize sparse = sizeOf(dir / "tree/sparse");
    ASSERT_LT(sparse.allocated, sparse.logical) << "the file system did not keep the hole";
    // find does not follow links and counts each inode once, which is the rule here too.
    const Census expected = census(dir / "tree");

    for (const std::string& rootPath : { dir / "tree", dir / "alias", dir / "tree/" }) {
        SCOPED_TRACE(rootPath);
        const std::string base = rootPath.back() == '/' ? rootPath.substr(0, rootPath.size() - 1) : rootPath;
        const Scan s = scan(rootPath);
        const FileNode* root = s.tree.root;
        EXPECT_FALSE(root->flags.contains(NodeFlags::Unreadable));
        EXPECT_EQ(root->fileCount, expected.files);
        EXPECT_EQ(root->size, expected.allocated);
        EXPECT_EQ(root->logicalSize, expected.logical);
        EXPECT_EQ(s.progress.directories, expected.dirs);
        EXPECT_EQ(s.progress.files, root->fileCount);
        EXPECT_EQ(s.progress.bytes, root->size);

        const FileNode* first = find(root, "a/big");
        const FileNode* second = find(root, "b/twin");
        ASSERT_TRUE(first && second);
        EXPECT_EQ(first->path(), base + "/a/big");
        // Whichever worker met the inode first carries the sizes; the other link none.
        EXPECT_EQ(std::min(first->size, second->size), 0);
        EXPECT_EQ(std::max(first->size, second->size), big.allocated);
        EXPECT_EQ(first->logicalSize + second->logicalSize, big.logical);
        EXPECT_EQ(find(root, "shared")->size, sizeOf(dir / "outside/shared").allocated);
        EXPECT_EQ(find(root, "sparse")->size, sparse.allocated);
        EXPECT_EQ(find(root, "sparse")->logicalSize, std::int64_t(200) << 20);
        EXPECT_EQ(find(root, "sparse")->flags, NodeFlags(NodeFlags::Executable));

        const FileNode* link = find(root, "to-large");
        ASSERT_TRUE(link);
        EXPECT_EQ(link->flags, NodeFlags(NodeFlags::Symlink));
        EXPECT_FALSE(link->hasChildren());
        EXPECT_EQ(link->logicalSize, std::int64_t((dir / "large").size()));
        EXPECT_TRUE(find(root, "loop")->flags.contains(NodeFlags::Symlink));
        EXPECT_TRUE(find(root, "pipe")->flags.isEmpty());

        const FileNode* folder = find(root, odd[0]);
        ASSERT_TRUE(folder);
        EXPECT_EQ(folder->childCount(), odd.size());
        for (std::size_t i = 0; i < odd.size(); ++i) {
            const FileNode* node = find(folder, odd[i]);
            ASSERT_TRUE(node) << "odd name " << i;
            EXPECT_EQ(node->path(), base + "/" + odd[0] + "/" + odd[i]);
            EXPECT_EQ(sizeOf(node->path()).logical, std::int64_t(100 + i)) << "the path names the real file";
        }
    }
}

TEST(Scanner, EmptyFoldersCountButSortLastAndTiesGoByName)
{
    TempDir dir;
    makeDir(dir / "t");
    for (const char* name : { "b", "a", "B", "f", "e\xcc\x81" })
        writeFile(dir / "t" / name, 10);
    writeFile(dir / "t/huge", 100000);
    makeDir(dir / "t/empty");
    makeDir(dir / "t/empty/also-empty");
    makeDir(dir / "t/full");
    writeFile(dir / "t/full/x", 10);

    const Scan s = scan(dir / "t");
    std::vector<std::string> names;
    for (const FileNode* child : s.tree.root->children())
        names.emplace_back(child->name());
    // full (one 10-byte file) ties with the files by size and name; the NFC form of
    // "e\u0301" is U+00E9, after "f".
    EXPECT_EQ(names, std::vector<std::string>({ "huge", "B", "a", "b", "f", "full", "e\xcc\x81", "empty" }));
    const FileNode* empty = find(s.tree.root, "empty");
    EXPECT_EQ(empty->size, 0);
    EXPECT_EQ(empty->fileCount, 0);
    EXPECT_EQ(empty->childCount(), 1u);
    EXPECT_EQ(s.progress.directories, 4);
    EXPECT_EQ(s.progress.unreadable, 0);
    EXPECT_EQ(s.tree.root->fileCount, 7);
}

TEST(Scanner, PathsLongerThanTheSystemAllowsAreListedRelativeToTheirParents)
{
    TempDir dir;
    const std::string name(250, 'd');
    makeChain(dir.path(), 24, name, 10); // about 6000 bytes of path
    makeDir(dir / "short");
    writeFile(dir / "short/file", 10);
    std::string deepest;
    for (int i = 0; i < 24; ++i)
        deepest += "/" + name;

    const Scan s = scan(dir.path());
    EXPECT_EQ(s.progress.directories, 26);
    EXPECT_EQ(s.progress.unreadable, 0);
    const FileNode* bottom = find(s.tree.root, deepest.substr(1));
    ASSERT_TRUE(bottom);
    EXPECT_EQ(bottom->path().size(), dir.path().size() + deepest.size());

    // A folder that deep rescanned on its own: its path, too long for one open, still
    // reaches it, so its contents are listed rather than lost as unreadable.
    const std::string middle = dir.path() + deepest.substr(0, 20 * 251);
    const Scan rescan = scan(middle);
    EXPECT_EQ(rescan.progress.unreadable, 0);
    EXPECT_EQ(rescan.progress.directories, 5);
    EXPECT_EQ(rescan.tree.root->fileCount, 1);
    EXPECT_EQ(rescan.tree.root->logicalSize, 10);

    // Without descriptors to spare, folders open by their full path, however long.
    FaultyReader reader;
    reader.m_noDescriptors = true;
    const Scan byPath = scan(dir.path(), &reader);
    EXPECT_EQ(find(byPath.tree.root, "short/file")->logicalSize, 10);
    EXPECT_EQ(byPath.progress.unreadable, 0);
    EXPECT_EQ(byPath.progress.directories, 26);
    EXPECT_EQ(byPath.tree.root->fileCount, 2);
}

TEST(Scanner, FailuresFlagTheFolderAndKeepWhatWasListed)
{
    TempDir dir;
    makeDir(dir / "t");
    for (const std::string folder : { "t/broken", "t/whole" }) {
        makeDir(dir / folder);
        for (int i = 0; i < 60; ++i)
            writeFile(dir / folder / ("entry-" + std::to_string(i)), 10);
    }
    writeFile(dir / "t/vanished-file", 10);
    makeDir(dir / "t/vanished-folder");
    makeDir(dir / "t/elsewhere"); // reported on another device: a mount point
    writeFile(dir / "t/elsewhere/hidden", 10);

    FaultyReader reader;
    reader.m_brokenInode = sizeOf(dir / "t/broken").inode;
    const Scan s = scan(dir / "t", &reader);
    const FileNode* broken = find(s.tree.root, "broken");
    const FileNode* whole = find(s.tree.root, "whole");
    ASSERT_TRUE(broken && whole);
    EXPECT_TRUE(broken->flags.contains(NodeFlags::Unreadable));
    EXPECT_GT(broken->childCount(), 0u);
    EXPECT_LT(broken->childCount(), 60u);
    EXPECT_FALSE(whole->flags.contains(NodeFlags::Unreadable));
    EXPECT_EQ(whole->childCount(), 60u);
    EXPECT_EQ(s.progress.unreadable, 1);
    // Entries that cannot be examined and other volumes are counted nowhere.
    EXPECT_EQ(s.tree.root->childCount(), 2u);
    EXPECT_EQ(s.progress.directories, 3);
    EXPECT_EQ(s.tree.root->fileCount, std::int64_t(60 + broken->childCount()));
    EXPECT_EQ(s.progress.files, s.tree.root->fileCount);
}

TEST(Scanner, CancellingLeavesUnlistedFoldersEmptyAndUncounted)
{
    TempDir dir;
    makeDir(dir / "t");
    for (int i = 0; i < 40; ++i) {
        const std::string folder = dir / ("t/f" + std::to_string(i));
        makeDir(folder);
        makeDir(folder + "/inner");
        writeFile(folder + "/file", 5000);
        writeFile(folder + "/inner/file", 5000);
    }
    FaultyReader reader;
    Scanner scanner(dir / "t", reader);
    reader.m_cancelOnOpen = &scanner;
    const FileTree tree = scanner.run();
    const Progress progress = scanner.progress();
    EXPECT_TRUE(scanner.isCancelled());
    EXPECT_EQ(consistencyFaults(tree.root), std::vector<std::string>());

    std::int64_t listed = 1;
    std::int64_t unlisted = 0;
    for (const FileNode* folder : tree.root->children()) {
        const bool opened = reader.m_opened.count(std::string(folder->name())) != 0;
        if (opened) {
            ++listed;
            EXPECT_EQ(folder->childCount(), 2u);
        } else {
            ++unlisted;
            EXPECT_FALSE(folder->hasChildren());
            EXPECT_EQ(folder->size, 0);
            EXPECT_FALSE(folder->flags.contains(NodeFlags::Unreadable));
        }
    }
    EXPECT_GT(unlisted, 0);
    // Only the first level could be opened before the workers stopped.
    EXPECT_EQ(progress.directories, listed);
    EXPECT_EQ(progress.files, tree.root->fileCount);
    EXPECT_EQ(progress.bytes, tree.root->size);
}

TEST(Scanner, TotalsEqualAnIndependentCountAndProgressNeverRunsAhead)
{
    const Census expected = census(sharedMixedTree());
    ASSERT_GT(expected.files, 15000);
    Scanner scanner(sharedMixedTree());
    std::atomic<bool> done { false };
    std::vector<Progress> seen;
    std::thread poller([&] {
        while (!done.load()) {
            Progress now = scanner.progress();
            if (seen.empty() || seen.back().directories != now.directories)
                seen.push_back(std::move(now));
            std::this_thread::yield();
        }
    });
    FileTree tree = scanner.run();
    done.store(true);
    poller.join();

    EXPECT_EQ(consistencyFaults(tree.root), std::vector<std::string>());
    EXPECT_EQ(tree.root->fileCount, expected.files);
    EXPECT_EQ(tree.root->size, expected.allocated);
    EXPECT_EQ(tree.root->logicalSize, expected.logical);
    EXPECT_EQ(scanner.progress().directories, expected.dirs);
    for (std::size_t i = 1; i < seen.size(); ++i) {
        EXPECT_LE(seen[i - 1].files, seen[i].files);
        EXPECT_LE(seen[i].files, expected.files);
        EXPECT_LE(seen[i].bytes, expected.allocated);
        EXPECT_EQ(seen[i].currentPath.empty(), seen[i].directories == 0);
    }

    // The last folder's name stays readable after the tree it came from is gone.
    const std::string last = scanner.progress().currentPath;
    tree = FileTree();
    EXPECT_FALSE(last.empty());
    EXPECT_EQ(scanner.progress().currentPath, last);
}

TEST(Scanner, WorkerCountIsTwiceTheProcessorsWithinFourToSixteen)
{
    for (const auto& [processors, workers] :
        { std::pair { 0, 4 }, { 1, 4 }, { 2, 4 }, { 3, 6 }, { 8, 16 }, { 12, 16 }, { 32, 16 } })
        EXPECT_EQ(Scanner::workerCount(processors), workers) << processors << " processors";
}

} // namespace
