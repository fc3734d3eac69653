// SPDX-License-Identifier: MIT
#pragma once

#include <string>

// The windowless modes, each recognised only in its exact form:
//   tallyfern --scan PATH          prints one line of totals and exits 0
//   tallyfern --export FILE PATH   scans PATH, saves it to FILE (ncdu JSON), prints the line
//   tallyfern --load FILE          reads a saved scan and prints the same line
namespace CliScan {

// True for exactly one of the forms above.
[[nodiscard]] bool matches(int argc, const char* const* argv);

// Scans `path` (used as typed) on this thread and returns the line without its newline:
// files=… dirs=… unreadable=… allocated=… logical=… time=N.NNs
[[nodiscard]] std::string scanLine(const std::string& path);

// matches() already true: runs the mode and returns the exit status (0, or 1 when a
// saved scan could not be written or read; the reason goes to standard error).
int run(int argc, const char* const* argv);

} // namespace CliScan
