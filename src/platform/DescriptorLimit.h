// SPDX-License-Identifier: MIT
#pragma once

// The process's file descriptors, as far as a scan plans with them. Both calls are
// thread-safe; the answers may be stale as soon as other threads open or close files.
namespace DescriptorLimit {

// Descriptors open in the whole process now (counted in /proc/self/fd, else probed).
[[nodiscard]] long openCount();

// Raises the soft limit to `wanted` when it is lower, never past the hard limit, and
// returns the soft limit then in force (capped at 2^20: more is never planned with).
[[nodiscard]] long raiseTo(long wanted);

} // namespace DescriptorLimit
