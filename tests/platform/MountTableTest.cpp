// SPDX-License-Identifier: MIT
#include "platform/MountTable.h"

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
        { "/mntx", "/ /dev/vda1" },
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
