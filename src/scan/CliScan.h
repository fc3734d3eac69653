// SPDX-License-Identifier: MIT
#pragma once

#include <string>

// The windowless mode: `tallyfern --scan PATH` prints one line of totals and exits 0, or,
// when memory runs out, one line to standard error and exits 1.
namespace CliScan {

// True for exactly the arguments "--scan" and one path after the program name.
[[nodiscard]] bool matches(int argc, const char* const* argv);

// Scans `path` (used as typed) on this thread and returns the line without its newline:
// files=… dirs=… unreadable=… allocated=… logical=… time=N.NNs
// Empty when memory ran out: incomplete totals are never printed.
[[nodiscard]] std::string scanLine(const std::string& path);

// matches() already true: prints the line and returns the exit status.
int run(int argc, const char* const* argv);

} // namespace CliScan
