// SPDX-License-Identifier: MIT
#pragma once

#include <string>
#include <string_view>
#include <vector>

// The folders handed over on the command line, as the file manager passes them (paths
// or file:// URLs, through the desktop file's %U) or as typed in a terminal.
namespace LaunchArguments {

// `arguments` without the program name, after the toolkit took its own options out.
// Each folder is made absolute against `workingFolder` and resolved where it exists;
// names stay bytes. Options (a leading dash) are skipped, except after "--".
[[nodiscard]] std::vector<std::string> folders(
    const std::vector<std::string>& arguments, const std::string& workingFolder);

// The local path of a file:// URL, percent-escapes decoded to bytes; empty when the
// text is not a local file URL.
[[nodiscard]] std::string pathOfFileUrl(std::string_view url);

} // namespace LaunchArguments
