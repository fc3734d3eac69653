// SPDX-License-Identifier: MIT
#include "platform/gui/VolumeList.h"

#include <gtest/gtest.h>

namespace {

// A mount table for user "ann": which lines become volumes, and of which kind. (The
// chooser's own test covers pseudo and boot mounts, snaps, hidden folders, other users.)
constexpr std::string_view kTable = "22 1 8:1 / / rw - ext4 /dev/sda1 rw\n"
                                    "24 22 8:3 / /var rw - xfs /dev/sda3 rw\n"
                                    "25 22 259:2 /@home /home rw - btrfs /dev/nvme0n1p2 rw\n"
                                    "26 22 259:2 /@srv /srv rw - btrfs /dev/nvme0n1p2 rw\n"
                                    "30 22 0:40 / /run/user/1000 rw - tmpfs tmpfs rw\n"
                                    "31 30 0:41 / /run/user/1000/doc rw - fuse.portal portal rw\n"
                                    "32 22 0:50 / /net/files rw - nfs4 server:/export rw\n"
                                    "33 22 8:1 /srv/www /var/www rw - ext4 /dev/sda1 rw\n"
                                    "34 22 259:2 /@home/ann/Music /mnt/music rw - btrfs /dev/nvme0n1p2 rw\n"
                                    "35 22 8:17 / /media/ann/USB rw - vfat /dev/sdb1 rw\n"
                                    "36 22 8:17 / /media/ann/USB-again rw - vfat /dev/sdb1 rw\n"
                                    "39 22 0:60 / /home/ann/remote rw - fuse.sshfs ann@host:/ rw\n"
                                    "40 22 8:65 / /data rw - ext4 /dev/sde1 rw\n"
                                    "41 22 0:70 / /data rw - overlay overlay rw\n"
                                    "42 22 0:80 / /srv/ntfs rw - fuseblk /dev/sdf1 rw\n";

} // namespace

TEST(VolumeList, ListsRealDisksAndNetworkMountsWhereverMounted)
{
    const VolumeList list(
        "ann", [](const std::string&) { return std::nullopt; },
        [](const std::string& path) { return QString::fromStdString(path); });
    std::vector<std::pair<std::string, VolumeList::Kind>> shown;
    for (const VolumeList::Entry& e : list.volumes(MountTable::parse(kTable)))
        shown.emplace_back(e.mountPoint, e.kind);
    using K = VolumeList::Kind;
    // Left out: the portal and its tmpfs (no block device), bind mounts inside a listed
    // volume (/var/www, /mnt/music) or repeating one (USB-again), and /data's disk, which
    // an overlay covers.
    const std::vector<std::pair<std::string, K>> expected = { { "/", K::Fixed }, { "/var", K::Fixed },
        { "/home", K::Fixed }, { "/srv", K::Fixed }, { "/net/files", K::Network },
        { "/media/ann/USB", K::Removable }, { "/home/ann/remote", K::Network }, { "/srv/ntfs", K::Fixed } };
    EXPECT_EQ(shown, expected);
}
