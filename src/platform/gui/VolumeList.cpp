// SPDX-License-Identifier: MIT
#include "platform/gui/VolumeList.h"

#include "platform/DisplayName.h"

#include <libmount/libmount.h>

#include <algorithm>
#include <string_view>

namespace {

bool startsWith(std::string_view text, std::string_view prefix)
{
    return text.size() >= prefix.size() && text.substr(0, prefix.size()) == prefix;
}

// True when some component of `path` is hidden.
bool hasHiddenComponent(std::string_view path)
{
    std::size_t i = 0;
    while (i < path.size()) {
        while (i < path.size() && path[i] == '/')
            ++i;
        if (i < path.size() && path[i] == '.')
            return true;
        while (i < path.size() && path[i] != '/')
            ++i;
    }
    return false;
}

} // namespace

VolumeList::VolumeList(
    std::string user, VolumeFactsProvider facts, std::function<QString(const std::string&)> name)
    : m_user(std::move(user))
    , m_facts(facts ? std::move(facts) : VolumeFactsProvider(&VolumeFacts::of))
    , m_name(name ? std::move(name) : std::function<QString(const std::string&)>(&DisplayName::of))
{
}

bool VolumeList::isPseudoFileSystem(const std::string& fsType)
{
    return ::mnt_fstype_is_pseudofs(fsType.c_str()) == 1;
}

bool VolumeList::isNetworkFileSystem(const std::string& fsType)
{
    return ::mnt_fstype_is_netfs(fsType.c_str()) == 1;
}

bool VolumeList::isShown(const MountEntry& mount) const
{
    const std::string point = MountTable::standardize(mount.mountPoint);
    // The root file system is always there for the user, whatever carries it.
    if (point == "/")
        return true;
    if (isPseudoFileSystem(mount.fsType) || hasHiddenComponent(point) || point == "/boot"
        || startsWith(point, "/boot/"))
        return false;
    if (startsWith(point, "/run/media/") && !startsWith(point, "/run/media/" + m_user + "/"))
        return false;
    if (isNetworkFileSystem(mount.fsType))
        return true;
    // A local file system counts when a block device carries it; a loop device carries
    // an image (a snap, a mounted ISO), not a disk.
    return startsWith(mount.source, "/dev/") && !startsWith(mount.source, "/dev/loop");
}

std::vector<VolumeList::Entry> VolumeList::volumes(const std::vector<MountEntry>& mounts) const
{
    // The mounts a user can see: shown, and not covered by a later mount on the same point.
    std::vector<const MountEntry*> visible;
    for (std::size_t i = 0; i < mounts.size(); ++i) {
        const std::string point = MountTable::standardize(mounts[i].mountPoint);
        const bool covered = std::any_of(mounts.begin() + std::ptrdiff_t(i) + 1, mounts.end(),
            [&](const MountEntry& later) { return MountTable::standardize(later.mountPoint) == point; });
        if (!covered && isShown(mounts[i]))
            visible.push_back(&mounts[i]);
    }

    std::vector<Entry> entries;
    for (std::size_t i = 0; i < visible.size(); ++i) {
        const MountEntry& mount = *visible[i];
        // A bind mount repeats a listed volume when another visible mount of the same file
        // system shows a folder that holds this one's (or the same folder, listed first).
        const bool repeats = !mount.device.empty()
            && std::any_of(visible.begin(), visible.end(), [&](const MountEntry* other) {
                   if (other == &mount || other->device != mount.device)
                       return false;
                   if (other->root == mount.root)
                       return other < &mount;
                   return other->root == "/" || startsWith(mount.root, other->root + "/");
               });
        if (repeats)
            continue;
        const std::string point = MountTable::standardize(mount.mountPoint);

        Entry entry;
        entry.mountPoint = point;
        entry.name = m_name(point);
        if (entry.name.isEmpty())
            entry.name = DisplayName::decode(point);
        if (isNetworkFileSystem(mount.fsType))
            entry.kind = Kind::Network;
        else if (startsWith(point, "/media/") || startsWith(point, "/run/media/"))
            entry.kind = Kind::Removable;
        if (const std::optional<VolumeFacts> facts = m_facts(point)) {
            entry.total = facts->total;
            entry.free = facts->important ? facts->important : facts->available;
        }
        entries.push_back(std::move(entry));
    }
    return entries;
}
