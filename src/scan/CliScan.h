// SPDX-License-Identifier: MIT
#pragma once

#include <string>

// The windowless mode: `tallyfern --scan PATH` prints one line of totals and exits 0.
namespace CliScan {

// True for exactly the arguments "--scan" and one path after the program name.
[[nodiscard]] bool matches(int argc, const char* const* argv);

// Scans `path` (used as typed) on this thread and returns the line without its newline:
// files=… dirs=… unreadable=… allocated=… logical=… time=N.NNs
// When the run fails (see Scanner::Failure), returns nothing and puts the reason in
// `failure`.
[[nodiscard]] std::string scanLine(const std::string& path, std::string* failure = nullptr);

// matches() already true: prints the line, or one line of failure on standard error, and
// returns the exit status (0, or 1 after a failure).
int run(int argc, const char* const* argv);

} // namespace CliScan
