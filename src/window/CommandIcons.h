// SPDX-License-Identifier: MIT
#pragma once

#include "window/Command.h"

#include <QIcon>

// Icons of the document commands for the toolbar and the context menu: the desktop
// theme's where it has one, else the drawing shipped with the application.
namespace CommandIcons {

// Null for commands that have no icon (the two toggles).
[[nodiscard]] QIcon forCommand(Command command);

} // namespace CommandIcons
