// SPDX-License-Identifier: MIT
#pragma once

#include "model/ScanPreferences.h"

#include <string>
#include <string_view>
#include <vector>

// The command line of the graphical start: the folders handed over as the file manager
// passes them (paths or file:// URLs, through the desktop file's %U) or as typed in a
// terminal, and the conventions of a command-line program (--help, --version, unknown
// options refused).
namespace LaunchArguments {

// What a launch that is not a windowless mode asks for, judged before any window opens.
struct Verdict {
    enum class Action { Open, Help, Version, Refuse };
    Action action = Action::Open;
    std::string text; // Help: the usage; Version: the version line; Refuse: why, one line
};

// `arguments` without the program name. Accepts our options, the toolkit's own (-style,
// -platform, ...) and folders; anything else, or an option without its value, is refused.
[[nodiscard]] Verdict check(const std::vector<std::string>& arguments);

// What the windows opened at launch show, and how they scan.
struct Launch {
    std::vector<std::string> folders; // see folders()
    LaunchScanOptions scan;
};

// `arguments` without the program name, check() passed. The folders, and the scan options
// (--exclude PATTERN, repeatable, --exclude-from FILE, --cross-file-systems) that every
// scan of their windows uses. False with a one-line reason, before anything is scanned,
// when a pattern is malformed, a pattern file cannot be read, or scan options come
// without a folder to scan (none named, or a saved scan among them: its entries are read,
// not scanned).
[[nodiscard]] bool plan(const std::vector<std::string>& arguments, const std::string& workingFolder,
    Launch& launch, std::string& error);

// `arguments` without the program name (the toolkit's options may still be in them).
// Each folder is made absolute against `workingFolder` and resolved where it exists;
// names stay bytes. Options and their values are skipped, except after "--". A URL that
// does not name a local file is left out with a line on standard error.
[[nodiscard]] std::vector<std::string> folders(
    const std::vector<std::string>& arguments, const std::string& workingFolder);

// The local path of a file: URL (the scheme in any case), percent-escapes decoded to
// bytes; empty when the text is not a local file URL.
[[nodiscard]] std::string pathOfFileUrl(std::string_view url);

} // namespace LaunchArguments
