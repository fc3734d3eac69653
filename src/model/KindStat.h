// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>

// Totals of one kind within the part of the tree being looked at.
struct KindStat {
    std::int32_t kind = 0;
    std::int64_t size = 0; // bytes, of the sizes shown (allocated unless apparent)
    std::int64_t count = 0; // items
    friend bool operator==(const KindStat&, const KindStat&) = default;
};
