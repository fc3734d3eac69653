// SPDX-License-Identifier: MIT
#pragma once

#include "app/LaunchArguments.h"

// The graphical application lives in a module of its own (tallyfern-gui.so) that the
// launcher loads only when it is not asked for `--scan`, so that the windowless mode
// never maps the window system's libraries.

// The module's entry point: runs the application with the process's arguments (for the
// toolkit's own options) and what the launcher made of the rest; returns the exit status.
extern "C" int tallyfernGuiMain(int argc, char** argv, const LaunchArguments::Launch& launch);

namespace GuiMain {
using Entry = int (*)(int argc, char** argv, const LaunchArguments::Launch& launch);
inline constexpr const char* kEntrySymbol = "tallyfernGuiMain";
inline constexpr const char* kModuleName = "tallyfern-gui.so";
} // namespace GuiMain
