// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

// What the document needs to know about the volume that holds a path.
struct VolumeFacts {
    std::string volumePath; // mount point of the volume holding the path
    std::optional<std::int64_t> total; // capacity in bytes
    std::optional<std::int64_t> available; // what an unprivileged user may still write
    std::optional<std::int64_t> important; // "available for important usage" (= available here)

    // The facts of the volume holding `path`, from /proc/self/mountinfo (longest
    // matching mount point) and statvfs; absent when they cannot be had.
    [[nodiscard]] static std::optional<VolumeFacts> of(const std::string& path);
};

// Injectable source of volume facts (tests feed fixed figures).
using VolumeFactsProvider = std::function<std::optional<VolumeFacts>(const std::string& path)>;
