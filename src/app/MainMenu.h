// SPDX-License-Identifier: MIT
#pragma once

class ApplicationActions;
class CommandActions;
class QMenuBar;

// The menu bar: the complete keyboard map of the application. Every window gets one,
// built from the one shared set of actions, so a key does the same everywhere.
namespace MainMenu {

// A new menu bar (the caller takes it, normally through QMainWindow::setMenuBar).
// Opening any of its menus re-validates the actions against the active window.
[[nodiscard]] QMenuBar* build(CommandActions& commands, ApplicationActions& application);

} // namespace MainMenu
