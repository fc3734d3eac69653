// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>
#include <functional>

namespace Dispatch {

// Runs body(0) … body(count - 1) on a process-wide pool of
// std::thread::hardware_concurrency() threads, the calling thread taking iterations
// too, and returns when every iteration has finished. Several callers may run at once.
// `maxHelpers` caps the pool threads that join in (0: the caller alone); by default
// all of them may.
void parallelFor(std::size_t count, const std::function<void(std::size_t)>& body, unsigned maxHelpers = ~0u);

// Number of pool threads besides the caller.
[[nodiscard]] unsigned poolSize();

} // namespace Dispatch
