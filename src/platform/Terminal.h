// SPDX-License-Identifier: MIT
#pragma once

#include <string>

// The desktop's terminal emulator, started in a folder: the command in $TERMINAL where
// set (split into words as QProcess::splitCommand does, never through a shell), else
// Debian's x-terminal-emulator alternative.
namespace Terminal {

// Starts the terminal detached with `folder` (file system bytes, any encoding) as its
// working directory. The folder is opened first, refusing a symbolic link in its place,
// and the terminal enters that very folder. False when the folder cannot be opened or
// the program cannot be started.
[[nodiscard]] bool openIn(const std::string& folder);

} // namespace Terminal
