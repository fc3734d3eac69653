// SPDX-License-Identifier: MIT
#include "platform/DescriptorLimit.h"

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/resource.h>

namespace {

constexpr long kLargest = 1L << 20;

long softLimit()
{
    rlimit limit {};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY)
        return kLargest;
    return long(std::min<rlim_t>(limit.rlim_cur, kLargest));
}

} // namespace

namespace DescriptorLimit {

long openCount()
{
    if (DIR* dir = ::opendir("/proc/self/fd")) {
        long count = 0;
        while (const dirent* entry = ::readdir(dir))
            count += entry->d_name[0] != '.';
        ::closedir(dir);
        return count - 1; // the listing's own descriptor
    }
    // No descriptor left to list with counts as all taken; without /proc, probe each.
    if (errno == EMFILE || errno == ENFILE)
        return softLimit();
    long count = 0;
    for (int fd = 0, end = int(softLimit()); fd < end; ++fd)
        count += ::fcntl(fd, F_GETFD) != -1;
    return count;
}

long raiseTo(long wanted)
{
    rlimit limit {};
    if (::getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY
        && limit.rlim_cur < rlim_t(wanted) && limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur
            = limit.rlim_max == RLIM_INFINITY ? rlim_t(wanted) : std::min(limit.rlim_max, rlim_t(wanted));
        ::setrlimit(RLIMIT_NOFILE, &limit);
    }
    return softLimit();
}

} // namespace DescriptorLimit
