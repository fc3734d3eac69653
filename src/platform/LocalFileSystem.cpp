// SPDX-License-Identifier: MIT
#include "platform/LocalFileSystem.h"

#include <algorithm>
#include <array>
#include <sys/vfs.h>

namespace LocalFileSystem {

bool isLocalDiskType(unsigned long type)
{
    // Magic numbers from <linux/magic.h> and the file systems' own headers.
    static constexpr std::array<unsigned long, 17> kLocal = {
        0xEF53, // ext2, ext3, ext4
        0x58465342, // xfs
        0x9123683E, // btrfs
        0xF2F52010, // f2fs
        0x4d44, // vfat
        0x2011BAB0, // exfat
        0x5346544e, // ntfs
        0x7366746e, // ntfs3
        0x9660, // iso9660
        0x15013346, // udf
        0x2fc12fc1, // zfs
        0x3153464a, // jfs
        0x52654973, // reiserfs
        0x4244, // hfs
        0x482b, // hfsplus
        0x3434, // nilfs2
        0xca451a4e, // bcachefs
    };
    return std::find(kLocal.begin(), kLocal.end(), type) != kLocal.end();
}

bool isLocalDisk(int fd)
{
    struct statfs facts { };
    return ::fstatfs(fd, &facts) == 0 && isLocalDiskType(static_cast<unsigned long>(facts.f_type));
}

} // namespace LocalFileSystem
