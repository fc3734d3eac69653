// SPDX-License-Identifier: MIT
#include "platform/VolumeFacts.h"

#include "platform/MountTable.h"

#include <climits>
#include <cstdlib>
#include <limits>
#include <sys/statvfs.h>

namespace {

// statvfs counts are unsigned and may be absurd on odd file systems; never let a
// product wrap into a negative size.
std::int64_t bytes(unsigned long long count, unsigned long long unit)
{
    unsigned long long product = 0;
    if (__builtin_mul_overflow(count, unit, &product)
        || product > static_cast<unsigned long long>(std::numeric_limits<std::int64_t>::max()))
        return std::numeric_limits<std::int64_t>::max();
    return static_cast<std::int64_t>(product);
}

std::string resolved(const std::string& path)
{
    char buffer[PATH_MAX];
    if (::realpath(path.c_str(), buffer))
        return buffer;
    return MountTable::standardize(path);
}

} // namespace

std::optional<VolumeFacts> VolumeFacts::of(const std::string& path)
{
    if (path.empty())
        return std::nullopt;
    const std::vector<MountEntry> mounts = MountTable::current();
    const MountEntry* mount = MountTable::holding(mounts, resolved(path));
    if (!mount)
        return std::nullopt;

    VolumeFacts facts;
    facts.volumePath = mount->mountPoint;
    struct statvfs st { };
    if (::statvfs(path.c_str(), &st) == 0 && st.f_frsize > 0) {
        facts.total = bytes(st.f_blocks, st.f_frsize);
        facts.available = bytes(st.f_bavail, st.f_frsize);
        facts.important = facts.available;
    }
    return facts;
}
