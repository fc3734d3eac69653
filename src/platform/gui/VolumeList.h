// SPDX-License-Identifier: MIT
#pragma once

#include "platform/MountTable.h"
#include "platform/VolumeFacts.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

// The volumes a user would name, from a mount table: the root file system, every file
// system on a real block device wherever it is mounted (a separate /home, /var, media),
// and network file systems. Never pseudo or system file systems (as libmount knows
// them), loop-mounted images such as snaps, boot partitions, mounts in hidden folders,
// another user's media, or a bind mount that repeats part of a listed volume.
class VolumeList {
public:
    enum class Kind { Fixed, Removable, Network };

    struct Entry {
        std::string mountPoint;
        QString name;
        Kind kind = Kind::Fixed;
        std::optional<std::int64_t> total;
        std::optional<std::int64_t> free;
    };

    // `user` is the login name (for /run/media/<user>/); `facts` and `name` default to
    // the platform's.
    explicit VolumeList(std::string user, VolumeFactsProvider facts = {},
        std::function<QString(const std::string&)> name = {});

    // Entries in the order of the table; of mounts stacked on one point, only the last
    // (the visible one) is kept, at its own place; of the same folder of one file system
    // mounted twice, only the first.
    [[nodiscard]] std::vector<Entry> volumes(const std::vector<MountEntry>& mounts) const;
    [[nodiscard]] bool isShown(const MountEntry& mount) const;

    [[nodiscard]] static bool isPseudoFileSystem(const std::string& fsType);
    [[nodiscard]] static bool isNetworkFileSystem(const std::string& fsType);

private:
    std::string m_user;
    VolumeFactsProvider m_facts;
    std::function<QString(const std::string&)> m_name;
};
