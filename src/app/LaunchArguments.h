// SPDX-License-Identifier: MIT
#pragma once

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

// `arguments` without the program name, after the toolkit took its own options out.
// Each folder is made absolute against `workingFolder` and resolved where it exists;
// names stay bytes. Options and their values are skipped, except after "--". A URL that
// does not name a local file is left out with a line on standard error.
[[nodiscard]] std::vector<std::string> folders(
    const std::vector<std::string>& arguments, const std::string& workingFolder);

// The local path of a file: URL (the scheme in any case), percent-escapes decoded to
// bytes; empty when the text is not a local file URL.
[[nodiscard]] std::string pathOfFileUrl(std::string_view url);

} // namespace LaunchArguments
