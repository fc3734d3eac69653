// SPDX-License-Identifier: MIT
#pragma once

#include "platform/VolumeFacts.h"

// For documents that are not a whole volume.
[[nodiscard]] inline VolumeFactsProvider noVolume()
{
    return [](const std::string&) { return std::optional<VolumeFacts>(); };
}

// A volume mounted at `mountPoint` with these capacities, whatever path is asked about.
[[nodiscard]] inline VolumeFactsProvider volume(std::string mountPoint, std::optional<std::int64_t> total,
    std::optional<std::int64_t> available, std::optional<std::int64_t> important)
{
    return [=](const std::string&) {
        return std::optional<VolumeFacts>(VolumeFacts { mountPoint, total, available, important });
    };
}
