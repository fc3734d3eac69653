// SPDX-License-Identifier: MIT
#pragma once

#include <string>

// The windowless mode: `tallyfern --scan PATH` prints one line of totals and exits 0.
namespace CliScan {

// True for exactly the arguments "--scan" and one path after the program name.
[[nodiscard]] bool matches(int argc, const char* const* argv);

// Scans `path` (used as typed) on this thread and returns the line without its newline:
// files=… dirs=… unreadable=… allocated=… logical=… time=N.NNs
[[nodiscard]] std::string scanLine(const std::string& path);

// matches() already true: prints the line and returns the exit status (always 0).
int run(int argc, const char* const* argv);

} // namespace CliScan
