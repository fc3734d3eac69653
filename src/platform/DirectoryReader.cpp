// SPDX-License-Identifier: MIT
#include "platform/DirectoryReader.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <linux/openat2.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace {

// Only what the scanner reads: the rest may cost the file system extra work.
constexpr unsigned kWanted
    = STATX_TYPE | STATX_MODE | STATX_NLINK | STATX_INO | STATX_SIZE | STATX_BLOCKS | STATX_MTIME;
constexpr int kNoFollow = AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT | AT_STATX_DONT_SYNC;

bool fill(const struct statx& sx, DirectoryReader::EntryFacts& facts)
{
    if (!(sx.stx_mask & STATX_TYPE))
        return false;
    facts.device = makedev(sx.stx_dev_major, sx.stx_dev_minor);
    facts.inode = sx.stx_ino;
    facts.linkCount = (sx.stx_mask & STATX_NLINK) ? sx.stx_nlink : 1;
    // Sizes past the signed range (a hostile or broken file system) are held at its top.
    constexpr std::uint64_t kLargest = std::numeric_limits<std::int64_t>::max();
    facts.logicalSize
        = (sx.stx_mask & STATX_SIZE) ? std::int64_t(std::min<std::uint64_t>(sx.stx_size, kLargest)) : 0;
    facts.allocatedSize = (sx.stx_mask & STATX_BLOCKS)
        ? std::int64_t(std::min<std::uint64_t>(sx.stx_blocks, kLargest / 512) * 512)
        : 0;
    facts.mtimeKnown = (sx.stx_mask & STATX_MTIME) != 0;
    facts.mtime = facts.mtimeKnown ? sx.stx_mtime.tv_sec : 0;
    if (S_ISDIR(sx.stx_mode))
        facts.type = DirectoryReader::EntryType::Directory;
    else if (S_ISLNK(sx.stx_mode))
        facts.type = DirectoryReader::EntryType::Symlink;
    else if (S_ISREG(sx.stx_mode))
        facts.type = DirectoryReader::EntryType::Other;
    else
        facts.type = DirectoryReader::EntryType::Special;
    facts.executable = (sx.stx_mask & STATX_MODE) && S_ISREG(sx.stx_mode) && (sx.stx_mode & 0111) != 0;
    facts.mountRootKnown = (sx.stx_attributes_mask & STATX_ATTR_MOUNT_ROOT) != 0;
    facts.mountRoot = facts.mountRootKnown && (sx.stx_attributes & STATX_ATTR_MOUNT_ROOT) != 0;
    return true;
}

// A path longer than one open accepts (a folder rescanned deep down, or reopened by path
// when descriptors ran short), resolved one component at a time as the kernel would:
// links followed, and only search permission needed on the folders passed through.
int openLongPath(const char* path)
{
    int at = AT_FDCWD;
    if (*path == '/') {
        at = ::open("/", O_PATH | O_DIRECTORY | O_CLOEXEC);
        if (at < 0)
            return -errno;
    }
    const char* p = path;
    char component[NAME_MAX + 1];
    for (;;) {
        while (*p == '/')
            ++p;
        const char* end = std::strchr(p, '/');
        if (!end)
            end = p + std::strlen(p);
        const std::size_t length = std::size_t(end - p);
        if (length > NAME_MAX) {
            if (at != AT_FDCWD)
                ::close(at);
            return -ENAMETOOLONG;
        }
        std::memcpy(component, length ? p : ".", length ? length : 1);
        component[length ? length : 1] = '\0';
        p = end;
        while (*p == '/')
            ++p;
        const bool last = *p == '\0';
        const int fd = ::openat(at, component, (last ? O_RDONLY : O_PATH) | O_DIRECTORY | O_CLOEXEC);
        const int error = errno;
        if (at != AT_FDCWD)
            ::close(at);
        if (fd < 0)
            return -error;
        if (last)
            return fd;
        at = fd;
    }
}

// The fallback of openBeneath: every component opened relative to the one before with
// O_NOFOLLOW, so a link anywhere fails the open instead of being followed.
int openComponents(int baseFd, const char* relative)
{
    int at = baseFd;
    const char* p = relative;
    char component[NAME_MAX + 1];
    for (;;) {
        const char* end = std::strchr(p, '/');
        if (!end)
            end = p + std::strlen(p);
        const std::size_t length = std::size_t(end - p);
        const bool last = *end == '\0';
        int fd = -ENAMETOOLONG;
        if (length > 0 && length <= NAME_MAX) {
            std::memcpy(component, p, length);
            component[length] = '\0';
            do
                fd = ::openat(
                    at, component, (last ? O_RDONLY : O_PATH) | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            while (fd < 0 && errno == EINTR);
            if (fd < 0)
                fd = -errno;
        } else if (length == 0) {
            fd = -ENOENT;
        }
        if (at != baseFd)
            ::close(at);
        if (fd < 0 || last)
            return fd;
        at = fd;
        p = end + 1;
    }
}

} // namespace

const DirectoryReader& DirectoryReader::system()
{
    static const DirectoryReader reader;
    return reader;
}

int DirectoryReader::openPath(const char* path) const
{
    const int fd = ::open(path, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0)
        return fd;
    return errno == ENAMETOOLONG ? openLongPath(path) : -errno;
}

int DirectoryReader::openChild(int parentFd, const char* name) const
{
    int fd;
    do
        fd = ::openat(parentFd, name, O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOFOLLOW);
    while (fd < 0 && errno == EINTR);
    return fd >= 0 ? fd : -errno;
}

int DirectoryReader::openBeneath(int baseFd, const char* relative) const
{
    open_how how {};
    how.flags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
    how.resolve = RESOLVE_NO_SYMLINKS | RESOLVE_NO_XDEV | RESOLVE_BENEATH;
    long fd;
    do
        fd = ::syscall(SYS_openat2, baseFd, relative, &how, sizeof how);
    while (fd < 0 && (errno == EINTR || errno == EAGAIN));
    if (fd >= 0)
        return int(fd);
    // An old kernel or a seccomp filter (ENOSYS, EPERM, EINVAL), or a path past PATH_MAX.
    if (errno == ENOSYS || errno == EPERM || errno == EINVAL || errno == E2BIG || errno == ENAMETOOLONG)
        return openComponents(baseFd, relative);
    return -errno;
}

long DirectoryReader::readBatch(int fd, char* buffer, std::size_t size) const
{
    for (;;) {
        const long n = ::syscall(SYS_getdents64, fd, buffer, size);
        if (n >= 0)
            return n;
        if (errno != EINTR)
            return -errno;
    }
}

int DirectoryReader::examine(int dirFd, const char* name, EntryFacts& facts) const
{
    struct statx sx;
    int rc;
    do
        rc = ::statx(dirFd, name, kNoFollow, kWanted, &sx);
    while (rc < 0 && errno == EINTR);
    if (rc < 0)
        return -errno;
    return fill(sx, facts) ? 0 : -EIO;
}

bool DirectoryReader::examineOpen(int fd, EntryFacts& facts) const
{
    struct statx sx;
    return ::statx(fd, "", AT_EMPTY_PATH | AT_STATX_DONT_SYNC, kWanted, &sx) == 0 && fill(sx, facts);
}

void DirectoryReader::close(int fd) const
{
    // A descriptor is released even when close reports EINTR; never retry.
    ::close(fd);
}
