// SPDX-License-Identifier: MIT
#pragma once

#include "platform/VolumeFacts.h"

#include <QString>

#include <map>
#include <string>

// A mount table as the kernel writes it, for user "ann" with home /home/ann: the root
// file system, pseudo and system mounts, removable media (one label with a space),
// another user's medium, a snap, mounts in hidden folders, a network mount and two
// mounts stacked on /mnt/backup.
namespace MountFixture {

inline constexpr const char* kHome = "/home/ann";
inline constexpr const char* kUser = "ann";

const char* mountInfo();

// Capacities by mount point; "/media/ann/EMPTY" reports a total of 0 bytes and
// "/home/ann/remote" none at all.
std::map<std::string, VolumeFacts>& facts();
VolumeFactsProvider factsProvider();

// The last path component, as the platform names a volume without a label.
QString lastComponent(const std::string& path);

} // namespace MountFixture
