// SPDX-License-Identifier: MIT
#pragma once

// Whether a scan may enter a file system mounted below its root: only disk file systems
// known to be local. Network, pseudo, memory and FUSE file systems (which may be
// either) are never entered.
namespace LocalFileSystem {

// `fd` is open on the mounted folder; false when the system cannot say.
[[nodiscard]] bool isLocalDisk(int fd);
// The same for a statfs f_type.
[[nodiscard]] bool isLocalDiskType(unsigned long type);

} // namespace LocalFileSystem
