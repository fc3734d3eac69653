// SPDX-License-Identifier: MIT
#pragma once

#include "scan/ExcludePatterns.h"

#include <string>
#include <string_view>
#include <vector>

// The windowless modes, each recognised only in its exact form:
//   tallyfern --scan PATH          prints one line of totals and exits 0
//   tallyfern --export FILE PATH   scans PATH, saves it to FILE (ncdu JSON), prints the line
//   tallyfern --load FILE          reads a saved scan and prints the same line
// When memory runs out, each prints one line to standard error and exits 1.
// --scan and --export may be followed by scan options:
//   --exclude PATTERN (repeatable), --exclude-from FILE, --cross-file-systems
namespace CliScan {

// What the scan options ask for.
struct ScanOptions {
    ExcludePatterns excludes;
    bool crossFileSystems = false;
};

// True when `argument` is a scan option; `takesValue` tells whether the next argument
// is its value.
[[nodiscard]] bool isScanOption(std::string_view argument, bool& takesValue);
// Reads scan options only; false with a reason on anything else, a missing value or a
// malformed pattern (then `options` must not be used).
[[nodiscard]] bool parseScanOptions(
    const std::vector<std::string_view>& arguments, ScanOptions& options, std::string& error);

// True for exactly one of the forms above (options not yet checked).
[[nodiscard]] bool matches(int argc, const char* const* argv);

// Scans `path` (used as typed) on this thread and returns the line without its newline:
// files=… dirs=… unreadable=… allocated=… logical=… time=N.NNs
// When the run fails (see Scanner::Failure), returns nothing and puts the reason in
// `failure`: incomplete totals are never printed.
[[nodiscard]] std::string scanLine(
    const std::string& path, const ScanOptions& options = {}, std::string* failure = nullptr);

// matches() already true: runs the mode and returns the exit status (0; 1 when the scan
// failed or a saved scan could not be written or read; 2 when the options are wrong,
// before any scan; the reason goes to standard error).
int run(int argc, const char* const* argv);

} // namespace CliScan
