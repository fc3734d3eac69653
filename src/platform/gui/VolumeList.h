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

// The volumes a desktop file manager shows, from a mount table: the root file system,
// removable media, mounts under /mnt and mounts inside the home folder; never pseudo or
// system file systems, boot partitions or mounts in hidden folders.
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

    // `home` is the user's home folder, `user` the login name (for /run/media/<user>/).
    // `facts` and `name` default to the platform's.
    VolumeList(std::string home, std::string user, VolumeFactsProvider facts = {},
        std::function<QString(const std::string&)> name = {});

    // Entries in the order of the table; of mounts stacked on one point, only the last
    // (the visible one) is kept, at its own place.
    [[nodiscard]] std::vector<Entry> volumes(const std::vector<MountEntry>& mounts) const;
    [[nodiscard]] bool isShown(const MountEntry& mount) const;

    [[nodiscard]] static bool isPseudoFileSystem(const std::string& fsType);
    [[nodiscard]] static bool isNetworkFileSystem(const std::string& fsType);

private:
    std::string m_home;
    std::string m_user;
    VolumeFactsProvider m_facts;
    std::function<QString(const std::string&)> m_name;
};
