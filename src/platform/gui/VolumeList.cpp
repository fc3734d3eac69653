// SPDX-License-Identifier: MIT
#include "platform/gui/VolumeList.h"

#include "platform/DisplayName.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace {

bool startsWith(std::string_view text, std::string_view prefix)
{
    return text.size() >= prefix.size() && text.substr(0, prefix.size()) == prefix;
}

// True when some component of `relative` (a path below a shown root) is hidden.
bool hasHiddenComponent(std::string_view relative)
{
    std::size_t i = 0;
    while (i < relative.size()) {
        while (i < relative.size() && relative[i] == '/')
            ++i;
        if (i < relative.size() && relative[i] == '.')
            return true;
        while (i < relative.size() && relative[i] != '/')
            ++i;
    }
    return false;
}

} // namespace

VolumeList::VolumeList(std::string home, std::string user, VolumeFactsProvider facts,
    std::function<QString(const std::string&)> name)
    : m_home(MountTable::standardize(home))
    , m_user(std::move(user))
    , m_facts(facts ? std::move(facts) : VolumeFactsProvider(&VolumeFacts::of))
    , m_name(name ? std::move(name) : std::function<QString(const std::string&)>(&DisplayName::of))
{
}

bool VolumeList::isPseudoFileSystem(const std::string& fsType)
{
    static constexpr std::array<std::string_view, 28> kPseudo = {
        "proc",
        "sysfs",
        "cgroup",
        "cgroup2",
        "devpts",
        "devtmpfs",
        "tmpfs",
        "overlay",
        "squashfs",
        "securityfs",
        "debugfs",
        "tracefs",
        "fusectl",
        "configfs",
        "pstore",
        "bpf",
        "mqueue",
        "hugetlbfs",
        "autofs",
        "binfmt_misc",
        "efivarfs",
        "ramfs",
        "nsfs",
        "rpc_pipefs",
        "selinuxfs",
        "fuse.gvfsd-fuse",
        "fuse.portal",
        "nfsd",
    };
    return std::find(kPseudo.begin(), kPseudo.end(), fsType) != kPseudo.end();
}

bool VolumeList::isNetworkFileSystem(const std::string& fsType)
{
    static constexpr std::array<std::string_view, 8> kNetwork = {
        "nfs",
        "nfs4",
        "cifs",
        "smb3",
        "smbfs",
        "fuse.sshfs",
        "9p",
        "afs",
    };
    return std::find(kNetwork.begin(), kNetwork.end(), fsType) != kNetwork.end();
}

bool VolumeList::isShown(const MountEntry& mount) const
{
    const std::string point = MountTable::standardize(mount.mountPoint);
    // The root file system is always there for the user, whatever carries it.
    if (point == "/")
        return true;
    if (isPseudoFileSystem(mount.fsType))
        return false;

    std::vector<std::string> roots = { "/media/", "/mnt/" };
    if (!m_user.empty())
        roots.push_back("/run/media/" + m_user + "/");
    if (!m_home.empty() && m_home != "/")
        roots.push_back(m_home + "/");
    return std::any_of(roots.begin(), roots.end(), [&](const std::string& root) {
        return startsWith(point, root) && point.size() > root.size()
            && !hasHiddenComponent(std::string_view(point).substr(root.size()));
    });
}

std::vector<VolumeList::Entry> VolumeList::volumes(const std::vector<MountEntry>& mounts) const
{
    std::vector<Entry> entries;
    for (std::size_t i = 0; i < mounts.size(); ++i) {
        const MountEntry& mount = mounts[i];
        if (!isShown(mount))
            continue;
        const std::string point = MountTable::standardize(mount.mountPoint);
        const bool covered = std::any_of(mounts.begin() + std::ptrdiff_t(i) + 1, mounts.end(),
            [&](const MountEntry& later) { return MountTable::standardize(later.mountPoint) == point; });
        if (covered)
            continue;

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
