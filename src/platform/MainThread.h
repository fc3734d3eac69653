// SPDX-License-Identifier: MIT
#pragma once

#include <functional>

namespace Dispatch {

// Queues `task` to run on the main thread at a later turn of its event loop. Safe from
// any thread. Without an application object the task is dropped.
void postToMain(std::function<void()> task);

// Runs `task` on a background thread (the shared pool of Qt for short work that may
// block on I/O, such as a folder rescan).
void runInBackground(std::function<void()> task);

} // namespace Dispatch
