// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <string>

// A scanner's running counters, copied out under its lock.
struct Progress {
    std::int64_t files = 0; // non-folder entries added so far (each hard link counts)
    std::int64_t directories = 0; // folders whose listing finished, unreadable ones included
    std::int64_t bytes = 0; // allocated bytes of the files counted, hard links once
    std::int64_t unreadable = 0; // folders flagged unreadable
    std::string currentPath; // folder whose listing finished most recently
};
