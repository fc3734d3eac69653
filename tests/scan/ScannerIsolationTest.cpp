// SPDX-License-Identifier: MIT
// Cases that need another user or another mount table: each scans in a forked child
// and sends its findings back as one line over a pipe.
#include "scan/Scanner.h"
#include "scan/support/ScanFixture.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <grp.h>
#include <sched.h>
#include <sstream>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <tuple>
#include <unistd.h>

using namespace scantest;

namespace {

// Runs `body` in a child process and returns what it wrote.
std::string inChild(const std::function<std::string()>& body)
{
    int fds[2];
    if (::pipe(fds) != 0)
        return "error pipe";
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(fds[0]);
        const std::string line = body();
        ssize_t ignored = ::write(fds[1], line.data(), line.size());
        (void)ignored;
        ::_exit(0);
    }
    ::close(fds[1]);
    std::string out;
    char buffer[4096];
    ssize_t n;
    while ((n = ::read(fds[0], buffer, sizeof buffer)) > 0)
        out.append(buffer, std::size_t(n));
    ::close(fds[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (!WIFEXITED(status))
        return "error child died";
    return out;
}

std::string describe(const std::string& root, const std::string& probe)
{
    Scanner scanner(root);
    const FileTree tree = scanner.run();
    const Progress progress = scanner.progress();
    const FileNode* node = nodeAt(tree.root, probe);
    std::ostringstream line;
    line << "present=" << (node != nullptr);
    if (node)
        line << " unreadable=" << node->flags.contains(NodeFlags::Unreadable)
             << " children=" << node->childCount();
    line << " files=" << tree.root->fileCount << " size=" << tree.root->size
         << " dirs=" << progress.directories << " unreadableCount=" << progress.unreadable
         << " faults=" << treeFaults(tree.root).size();
    return line.str();
}

// A folder that cannot be listed, and one that can be listed but not entered (every
// entry's statx refused): both are incomplete, so both are flagged and counted.
TEST(ScannerIsolation, UnreadableFolderIsFlaggedEmptyAndCounted)
{
    // Modes for the scanning user: as root the folder belongs to root and nobody scans.
    for (const auto& [ownedByRoot, ownedByUser] : { std::pair { 0700, 0 }, std::pair { 0744, 0444 } }) {
        SCOPED_TRACE(ownedByUser);
        TempDir dir;
        makeDir(dir / "t");
        makeDir(dir / "t/open");
        writeFile(dir / "t/open/file", 10);
        makeDir(dir / "t/locked");
        makeDir(dir / "t/locked/inner");
        writeFile(dir / "t/locked/inner/big", 1 << 20);
        writeFile(dir / "t/locked/plain", 1 << 20);
        ::chmod((dir / "t/locked").c_str(), mode_t(ownedByRoot));
        const std::int64_t visible = sizeOf(dir / "t/open/file").allocated;

        // Root reads everything, so the child scans as nobody.
        const std::string line = inChild([&]() -> std::string {
            if (::geteuid() == 0) {
                const gid_t nogroup = 65534;
                if (::setgroups(1, &nogroup) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0)
                    return std::string("error drop privileges: ") + std::strerror(errno);
            } else {
                ::chmod((dir / "t/locked").c_str(), mode_t(ownedByUser));
            }
            return describe(dir / "t", "locked");
        });
        ::chmod((dir / "t/locked").c_str(), 0700);
        EXPECT_EQ(line,
            "present=1 unreadable=1 children=0 files=1 size=" + std::to_string(visible)
                + " dirs=3 unreadableCount=1 faults=0");
    }
}

TEST(ScannerIsolation, VolumeMountedInsideTheTreeIsLeftOutEntirely)
{
    TempDir dir;
    makeDir(dir / "t");
    makeDir(dir / "t/mnt");
    writeFile(dir / "t/file", 10);
    const std::int64_t visible = sizeOf(dir / "t/file").allocated;

    const std::string line = inChild([&]() -> std::string {
        if (::unshare(CLONE_NEWNS) != 0)
            return std::string("skip unshare(CLONE_NEWNS): ") + std::strerror(errno);
        if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
            return std::string("skip making / private: ") + std::strerror(errno);
        if (::mount("tmpfs", (dir / "t/mnt").c_str(), "tmpfs", 0, "size=4m") != 0)
            return std::string("skip mount tmpfs: ") + std::strerror(errno);
        writeFile(dir / "t/mnt/inside", 1 << 20);
        return describe(dir / "t", "mnt");
    });
    if (line.starts_with("skip"))
        GTEST_SKIP() << line;
    EXPECT_EQ(
        line, "present=0 files=1 size=" + std::to_string(visible) + " dirs=1 unreadableCount=0 faults=0");
}

// At any descriptor limit a scan is either whole or stops with a failure; it never
// flags readable folders unreadable for want of descriptors. A soft limit below the hard
// one is raised.
TEST(ScannerIsolation, TreesThatBranchAtEveryLevelOutlastTheDescriptorLimit)
{
    // Every level holds a side folder and the next level, so each level's folder waits
    // for a subfolder while the walk goes deeper: far more levels than descriptors.
    constexpr int kLevels = 1000;
    TempDir dir;
    std::string path = dir / "wide";
    makeDir(path);
    for (int level = 0; level < kLevels; ++level) {
        // Side names vary and come after "d", so that in any listing order many levels
        // go deeper before their side folder has been opened.
        makeDir(path / "d");
        makeDir(path / ("side" + std::to_string(level)));
        path = path / "d";
    }
    const std::string whole = "dirs=" + std::to_string(2 * kLevels + 1) + " unreadable=0 failure=0";
    // Limits above the descriptors already open: none spare, a few, a soft limit to raise.
    for (const auto& [soft, hard, expected] :
        { std::tuple<rlim_t, rlim_t, std::string> { 0, 0, "dirs=0 unreadable=0 failure=1" }, { 8, 8, whole },
            { 1, 4096, whole + " raised" } }) {
        SCOPED_TRACE(testing::Message() << soft << "/" << hard);
        const std::string line = inChild([&]() -> std::string {
            rlim_t open = 0;
            for (int fd = 0; fd < 1024; ++fd)
                open += ::fcntl(fd, F_GETFD) != -1;
            rlimit limit { open + soft, open + hard };
            if (::setrlimit(RLIMIT_NOFILE, &limit) != 0)
                return std::string("skip setrlimit: ") + std::strerror(errno);
            Scanner scanner(dir / "wide");
            const FileTree tree = scanner.run();
            const Progress progress = scanner.progress();
            ::getrlimit(RLIMIT_NOFILE, &limit);
            return "dirs=" + std::to_string(progress.directories) + " unreadable="
                + std::to_string(progress.unreadable) + " failure=" + std::to_string(int(scanner.failure()))
                + (limit.rlim_cur > open + soft ? " raised" : "");
        });
        if (line.starts_with("skip"))
            GTEST_SKIP() << line;
        EXPECT_EQ(line, expected);
    }
}

} // namespace
