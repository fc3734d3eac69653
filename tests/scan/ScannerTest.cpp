// SPDX-License-Identifier: MIT
#include "scan/Scanner.h"
#include "platform/DirectoryReader.h"
#include "scan/CliScan.h"
#include "scan/support/ScanFixture.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <limits>
#include <mutex>
#include <set>
#include <thread>

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
    EXPECT_EQ(treeFaults(result.tree.root), "");
    EXPECT_EQ(result.progress.files, result.tree.root->fileCount);
    EXPECT_EQ(result.progress.bytes, result.tree.root->size);
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
    int openBeneath(int baseFd, const char* relative) const override
    {
        const std::string_view path(relative);
        if (!m_exhausted.empty() && path == m_exhausted)
            return -EMFILE;
        if (m_beforeOpenBeneath) {
            std::lock_guard lock(m_mutex);
            m_beforeOpenBeneath(path);
        }
        return DirectoryReader::openBeneath(baseFd, relative);
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
    int examine(int dirFd, const char* name, EntryFacts& facts) const override
    {
        if (std::string_view(name).starts_with("vanished"))
            return -ENOENT;
        if (const int error = DirectoryReader::examine(dirFd, name, facts))
            return error;
        if (m_brokenInode)
            facts.mountRootKnown = facts.mountRoot = false;
        if (std::string_view(name) == "elsewhere")
            facts.device += 1;
        if (std::string_view(name).starts_with("huge"))
            facts.logicalSize = facts.allocatedSize = std::int64_t(1) << 62; // 4 EiB
        return 0;
    }

    Scanner* m_cancelOnOpen = nullptr;
    bool m_noDescriptors = false; // every open relative to a held folder fails
    std::string m_exhausted; // the folder at this relative path cannot be opened: out of descriptors
    // Called (under m_mutex) with the relative path before each open below the root.
    std::function<void(std::string_view)> m_beforeOpenBeneath;
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
    ASSERT_LT(sizeOf(dir / "tree/sparse").allocated, 200 << 20) << "the file system did not keep the hole";
    // find does not follow links and counts each inode once, which is the rule here too.
    const Census expected = census(dir / "tree");

    for (const std::string& rootPath : { dir / "tree", dir / "alias", dir / "tree/" }) {
        SCOPED_TRACE(rootPath);
        const std::string base = rootPath.back() == '/' ? rootPath.substr(0, rootPath.size() - 1) : rootPath;
        const Scan s = scan(rootPath);
        const FileNode* root = s.tree.root;
        EXPECT_FALSE(root->flags.contains(NodeFlags::Unreadable));
        EXPECT_EQ(census(root, s.progress.directories), expected);

        const FileNode *first = nodeAt(root, "a/big"), *second = nodeAt(root, "b/twin");
        ASSERT_TRUE(first && second);
        // Whichever worker met the inode first carries the sizes; the other link none.
        EXPECT_EQ(std::min(first->size, second->size), 0);
        EXPECT_EQ(std::max(first->size, second->size), big.allocated);
        EXPECT_EQ(first->logicalSize + second->logicalSize, big.logical);
        // What lstat says of each entry: links are not followed, the outside link counts.
        using F = NodeFlags;
        for (const auto& [name, flags] :
            { std::pair<std::string, F> { "shared", F() }, { "sparse", F::Executable },
                { "to-large", F::Symlink }, { "loop", F::Symlink }, { "pipe", F() } }) {
            const FileNode* node = nodeAt(root, name);
            ASSERT_TRUE(node) << name;
            const DiskSize disk = sizeOf(dir / "tree" / name);
            EXPECT_EQ(std::tuple(node->size, node->logicalSize, node->flags, node->childCount()),
                std::tuple(disk.allocated, disk.logical, flags, 0u))
                << name;
        }
        for (std::size_t i = 0; i < odd.size(); ++i) {
            const FileNode* node = nodeAt(root, odd[0] + "/" + odd[i]);
            ASSERT_TRUE(node) << "odd name " << i;
            EXPECT_EQ(node->path(), base + "/" + odd[0] + "/" + odd[i]);
        }
    }
}

TEST(Scanner, FailuresFlagTheFolderKeepWhatWasListedAndNeverWrapTotals)
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
    for (const char* name : { "t/huge1", "t/huge2", "t/huge3" }) // 4 EiB each
        writeFile(dir / name, 10);

    FaultyReader reader;
    reader.m_brokenInode = sizeOf(dir / "t/broken").inode;
    const Scan s = scan(dir / "t", &reader);
    const FileNode *root = s.tree.root, *broken = nodeAt(root, "broken"), *whole = nodeAt(root, "whole");
    ASSERT_TRUE(broken && whole);
    EXPECT_TRUE(
        broken->flags.contains(NodeFlags::Unreadable) && !whole->flags.contains(NodeFlags::Unreadable));
    EXPECT_TRUE(broken->childCount() > 0 && broken->childCount() < 60u) << broken->childCount();
    // Entries that cannot be examined and other volumes are counted nowhere; sums past
    // 2^63 stay at the largest value, never wrap.
    constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
    EXPECT_EQ(std::tuple(whole->childCount(), s.progress.unreadable, root->childCount(),
                  s.progress.directories, root->fileCount, root->logicalSize, root->size),
        std::tuple(60u, 1, 5u, 3, std::int64_t(63 + broken->childCount()), kMax, kMax));
}

// Folders past the held-folder cap open by their path below the root; whatever replaces
// a folder or one of its ancestors between listing and opening must not bring another
// tree in. Out of descriptors, the run stops and says so, and counts nothing unreadable.
TEST(Scanner, FoldersReplacedBeforeTheyOpenAreNotEntered)
{
    enum class Swap { ForLink, ForOtherFolder, AncestorForLink, NoDescriptors };
    // Depth: folders of 250-byte names above the target, which is named alike; past 4096
    // bytes the path opens one component at a time.
    for (const auto& [swap, depth] : { std::pair { Swap::ForLink, 1 }, { Swap::ForOtherFolder, 1 },
             { Swap::AncestorForLink, 1 }, { Swap::ForLink, 20 }, { Swap::ForOtherFolder, 20 },
             { Swap::AncestorForLink, 20 }, { Swap::NoDescriptors, 1 } }) {
        SCOPED_TRACE(testing::Message() << int(swap) << " at depth " << depth);
        TempDir dir;
        makeDir(dir / "tree");
        makeDir(dir / "other");
        writeFile(dir / "other/secret", 1 << 20);
        const std::string level(250, 'a');
        makeChain(dir / "tree", depth + 1, level, 0);
        // Reached by descriptor: the whole path may exceed what one call accepts.
        std::string relative = level;
        int parent = ::open((dir / "tree").c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        for (int i = 0; i < depth; ++i, relative += "/" + level)
            ::close(
                std::exchange(parent, ::openat(parent, level.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)));

        FaultyReader reader;
        reader.m_noDescriptors = true;
        bool swapped = false;
        reader.m_beforeOpenBeneath = [&](std::string_view path) {
            if (swapped || path != relative)
                return;
            swapped = true;
            const std::string ancestor = dir / "tree" / relative.substr(0, relative.find('/'));
            const std::string aside = dir / "aside";
            const bool done = swap == Swap::AncestorForLink
                ? std::rename(ancestor.c_str(), aside.c_str()) == 0
                    && ::symlink(aside.c_str(), ancestor.c_str()) == 0
                : ::renameat(parent, level.c_str(), AT_FDCWD, aside.c_str()) == 0
                    && (swap == Swap::ForLink
                               ? ::symlinkat((dir / "other").c_str(), parent, level.c_str())
                               : ::renameat(AT_FDCWD, (dir / "other").c_str(), parent, level.c_str()))
                        == 0;
            EXPECT_TRUE(done) << std::strerror(errno);
        };
        if (swap == Swap::NoDescriptors)
            reader.m_exhausted = relative;
        Scanner scanner(dir / "tree", reader);
        const FileTree tree = scanner.run();
        const FileNode* target = nodeAt(tree.root, relative);
        ASSERT_TRUE(target);
        const bool exhausted = swap == Swap::NoDescriptors;
        EXPECT_EQ(std::tuple(target->flags.contains(NodeFlags::Unreadable), target->childCount(),
                      tree.root->logicalSize, scanner.progress().unreadable, scanner.failure(),
                      scanner.isCancelled()),
            std::tuple(!exhausted, 0u, 0, int(!exhausted),
                exhausted ? Scanner::Failure::TooFewDescriptors : Scanner::Failure::None, exhausted));
        ::close(parent);
    }
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
    EXPECT_EQ(treeFaults(tree.root), "");

    // Only the first level could be opened before the workers stopped; what was not
    // listed is empty, uncounted and not unreadable.
    std::int64_t listed = 1;
    for (const FileNode* folder : tree.root->children()) {
        const bool opened = reader.m_opened.count(std::string(folder->name())) != 0;
        listed += opened;
        EXPECT_EQ(std::tuple(folder->childCount(), folder->size != 0, folder->flags),
            std::tuple(opened ? 2u : 0u, opened, NodeFlags(NodeFlags::Directory)));
    }
    EXPECT_LT(listed, 41);
    EXPECT_EQ(std::tuple(progress.directories, progress.files, progress.bytes),
        std::tuple(listed, tree.root->fileCount, tree.root->size));
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

    EXPECT_EQ(treeFaults(tree.root), "");
    EXPECT_EQ(census(tree.root, scanner.progress().directories), expected);
    for (std::size_t i = 1; i < seen.size(); ++i) {
        EXPECT_LE(seen[i - 1].files, seen[i].files);
        EXPECT_LE(seen[i].files, expected.files);
        EXPECT_LE(seen[i].bytes, expected.allocated);
        EXPECT_EQ(seen[i].currentPath.empty(), seen[i].directories == 0);
    }

    ASSERT_GT(tree.arena.chunkCount(), 20u) << "the memory limits below must bite";
    // The last folder's name stays readable after the tree it came from is gone.
    const std::string last = scanner.progress().currentPath;
    tree = FileTree();
    EXPECT_FALSE(last.empty());
    EXPECT_EQ(scanner.progress().currentPath, last);
}

// Arenas get chunks from here while a test limits them: the first `s_chunksLeft`
// requests succeed, every later one fails as an exhausted system would.
std::atomic<int> s_chunksLeft { 0 };
void* limitedChunk(std::size_t bytes)
{
    return s_chunksLeft.fetch_sub(1) > 0 ? std::malloc(bytes) : nullptr;
}

std::size_t openDescriptors()
{
    std::size_t count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd"))
        ++count;
    return count;
}

// Memory that runs out at any point of a scan stops it: no abort, no descriptor left
// open, nothing of the incomplete tree presented, and the command line says so in one
// line on standard error with a failing status. A small folder costs a few KiB, not a
// chunk of a megabyte per worker.
TEST(Scanner, MemoryRunningOutStopsTheScanAndIsReported)
{
    const std::string& tree = sharedMixedTree(); // over 20 chunks, as the test above checks
    const std::size_t descriptors = openDescriptors();
    const char* argv[] = { "tallyfern", "--scan", tree.c_str() };
    for (const int chunks : { 0, 1, 2, 7, 20 }) {
        SCOPED_TRACE(std::to_string(chunks) + " chunks");
        s_chunksLeft = chunks;
        NodeArena::setChunkSource(&limitedChunk);
        Scanner scanner(tree);
        const FileTree partial = scanner.run();
        EXPECT_TRUE(scanner.ranOutOfMemory());
        EXPECT_TRUE(scanner.isCancelled());
        if (partial.root) {
            EXPECT_EQ(partial.root->childCount(), 0u);
            EXPECT_EQ(partial.root->fileCount, 0);
        }

        s_chunksLeft = chunks;
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        const int status = CliScan::run(3, argv);
        const std::string out = testing::internal::GetCapturedStdout();
        const std::string err = testing::internal::GetCapturedStderr();
        NodeArena::setChunkSource(nullptr);
        EXPECT_EQ(status, 1);
        EXPECT_EQ(out, "");
        EXPECT_TRUE(err.find('\n') == err.size() - 1 && err.find("memory") != std::string::npos) << err;
        EXPECT_EQ(openDescriptors(), descriptors);
    }

    TempDir small;
    writeFile(small / "a", 10);
    writeFile(small / "b", 10);
    Scanner scanner(small.path());
    EXPECT_LE(scanner.run().arena.reservedBytes(), 16u * 1024u);
}

} // namespace
