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

} // namespace Palette
