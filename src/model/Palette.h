// SPDX-License-Identifier: MIT
#pragma once

#include "model/RGB.h"

#include <vector>

namespace Palette {

// The 48 kind colours in rank order: 18 normalised base colours, then 30 generated
// ones. Computed once, thread-safely, on first use.
[[nodiscard]] const std::vector<RGB>& colors();

// Grey for kinds without a rank; also what the renderer uses for unknown kinds.
inline constexpr RGB kUnranked { 0.62, 0.62, 0.62 };
inline constexpr RGB kFreeSpace { 0.88, 0.88, 0.88 };
inline constexpr RGB kOtherSpace { 0.36, 0.36, 0.36 };

// The age scale, one rule for the treemap and its legend: an age in seconds (negative,
// from a date in the future, counts as 0) placed from 0 (now) to 1 (ten years or more)
// on a logarithmic scale that gives days, months and years their room.
[[nodiscard]] double ageFraction(double ageSeconds);
// The colour at a point of the scale, from warm (recent) to cool (old), continuous;
// `fraction` is clamped to 0…1.
[[nodiscard]] RGB ageColor(double fraction);
inline constexpr double kDaySeconds = 86400;
inline constexpr double kOldestAge = 10 * 365.25 * kDaySeconds;

} // namespace Palette
