// SPDX-License-Identifier: MIT
#include "platform/DirectoryReader.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace {

// Only what the scanner reads: the rest may cost the file system extra work.
constexpr unsigned kWanted = STATX_TYPE | STATX_MODE | STATX_NLINK | STATX_INO | STATX_SIZE | STATX_BLOCKS;
constexpr int kNoFollow = AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT | AT_STATX_DONT_SYNC;

bool fill(const struct statx& sx, DirectoryReader::EntryFacts& facts)
{
    if (!(sx.stx_mask & STATX_TYPE))
        return false;
    facts.device = makedev(sx.stx_dev_major, sx.stx_dev_minor);
    facts.inode = sx.stx_ino;
    facts.linkCount = (sx.stx_mask & STATX_NLINK) ? sx.stx_nlink : 1;
    facts.logicalSize = (sx.stx_mask & STATX_SIZE) ? static_cast<std::int64_t>(sx.stx_size) : 0;
    facts.allocatedSize = (sx.stx_mask & STATX_BLOCKS) ? static_cast<std::int64_t>(sx.stx_blocks) * 512 : 0;
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

bool DirectoryReader::examine(int dirFd, const char* name, EntryFacts& facts) const
{
    struct statx sx;
    int rc;
    do
        rc = ::statx(dirFd, name, kNoFollow, kWanted, &sx);
    while (rc < 0 && errno == EINTR);
    return rc == 0 && fill(sx, facts);
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
