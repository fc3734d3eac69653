// SPDX-License-Identifier: MIT
#include "platform/MountTable.h"
#include "platform/gui/VolumeList.h"

#include <gtest/gtest.h>

namespace {

// Lines in the kernel's shape: optional fields of any number before the "-".
constexpr std::string_view kTable = R"(22 27 0:21 / /proc rw,relatime - proc proc rw
27 1 254:0 / / rw,relatime shared:1 - ext4 /dev/vda1 rw,discard
40 27 8:17 / /media/anna/My\040Disk rw,nosuid,nodev shared:50 master:3 - vfat /dev/sdb1 rw,uid=1000
41 27 8:17 /photos /home/anna/Pictures rw,relatime - vfat /dev/sdb1 rw
42 27 7:3 / /mnt/tab\011new\012line\134back ro - squashfs /dev/loop3 ro
43 27 0:50 / /mnt rw - tmpfs tmpfs rw
44 27 0:51 / /mnt rw - tmpfs second rw
45 27 0:52 / /mnt/deep rw - xfs /dev/sdc1 rw
this line is not a mount
46 27 0:53 / /no/dash rw ext4 /dev/sdd1 rw
47 27 0:54 / relative rw - ext4 /dev/sde1 rw
x 27 0:55 / /bad/id rw - ext4 /dev/sdf1 rw
)";

} // namespace

TEST(MountTable, ParsesFieldsAndDecodesOnlyOctalEscapes)
{
    const std::vector<MountEntry> mounts = MountTable::parse(kTable);
    ASSERT_EQ(mounts.size(), 8u) << "the four malformed lines are skipped";
    EXPECT_EQ(mounts[1],
        (MountEntry { 27, 1, "/", "/", "rw,relatime", "ext4", "/dev/vda1", "rw,discard", "254:0" }));
    EXPECT_EQ(mounts[2].mountPoint, "/media/anna/My Disk");
    EXPECT_EQ(mounts[2].fsType + " " + mounts[2].source, "vfat /dev/sdb1")
        << "two optional fields before the dash";
    EXPECT_EQ(mounts[3].root, "/photos") << "a bind mount of a subfolder";
    EXPECT_EQ(mounts[4].mountPoint + " " + mounts[4].options, "/mnt/tab\tnew\nline\\back ro");
    for (const char* kept : { R"(end\04)", R"(\x41\9)", R"(\777)", "" }) // \777 is beyond a byte
        EXPECT_EQ(MountTable::unescape(kept), kept);
}

TEST(MountTable, HoldingPicksTheLongestMountOnAComponentBoundary)
{
    const std::vector<MountEntry> mounts = MountTable::parse(kTable);
    const std::pair<std::string_view, std::string> cases[] = {
        { "/", "/ /dev/vda1" },
        { "/home/anna", "/ /dev/vda1" },
        { "/media/anna/My Disk", "/media/anna/My Disk /dev/sdb1" },
        { "/media/anna/My Disk/a/b", "/media/anna/My Disk /dev/sdb1" },
        { "/media/anna/My Diskette", "/ /dev/vda1" },
        { "/mnt/file", "/mnt second" }, // of stacked mounts the last one is visible
        { "/mnt/deep/x", "/mnt/deep /dev/sdc1" },
        { "/home/anna/Pictures/2024", "/home/anna/Pictures /dev/sdb1" },
        { "relative/path", "none" },
    };
    for (const auto& [path, expected] : cases) {
        const MountEntry* m = MountTable::holding(mounts, path);
        EXPECT_EQ(m ? m->mountPoint + " " + m->source : "none", expected) << path;
    }
    EXPECT_EQ(MountTable::holding({}, "/"), nullptr);
    const std::vector<MountEntry> current = MountTable::current();
    const MountEntry* root = MountTable::holding(current, "/");
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(root->mountPoint, "/");
}

TEST(MountTable, StandardizeIsLexical)
{
    const std::pair<std::string_view, std::string_view> cases[] = { { "/", "/" }, { "//", "/" },
        { "/a/b/", "/a/b" }, { "/a//b/./c", "/a/b/c" }, { "/a/b/../c", "/a/c" }, { "/../a", "/a" },
        { "/a/..", "/" }, { "a/../../b", "../b" }, { "", "." }, { "/Volumes/Data/.", "/Volumes/Data" } };
    for (const auto& [in, out] : cases)
        EXPECT_EQ(MountTable::standardize(in), out) << in;
}

namespace {

// A mount table for user "ann": which lines become volumes, and of which kind. (The
// chooser's own test covers pseudo and boot mounts, snaps, hidden folders, other users.)
constexpr std::string_view kVolumeTable
    = "22 1 8:1 / / rw - ext4 /dev/sda1 rw\n"
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
    for (const VolumeList::Entry& e : list.volumes(MountTable::parse(kVolumeTable)))
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
