// SPDX-License-Identifier: MIT
#pragma once

#include "window/Command.h"

#include <QIcon>
#include <QKeySequence>
#include <QList>
#include <QString>

#include <span>

// Everything the interface shows of a document command, in one entry per command: the
// menu bar, the toolbar and its customization, the context menu and the shortcuts help
// are all built from this table.
struct CommandInfo {
    Command command;
    const char* identifier; // toolbar and settings identifier; null: not offered there
    const char* text; // menu text, untranslated
    const char* iconText; // toolbar label where it differs from the menu text
    const char* tip;
    QKeyCombination keys[2]; // unused slots hold Qt::Key_unknown
    const char* themeIcon; // null: no icon
    const char* shippedIcon; // under :/icons, for desktops without an icon theme
    bool checkable;

    // Translated for the user.
    [[nodiscard]] QString displayText() const;
    [[nodiscard]] QString displayIconText() const;
    [[nodiscard]] QString displayTip() const;
    [[nodiscard]] QList<QKeySequence> shortcuts() const;
    // The theme's icon, else the shipped drawing; null for commands without one.
    [[nodiscard]] QIcon icon() const;
};

namespace CommandTable {

[[nodiscard]] std::span<const CommandInfo> all();
[[nodiscard]] const CommandInfo& of(Command command);
// The entry with this toolbar identifier, or null.
[[nodiscard]] const CommandInfo* find(const QString& identifier);

} // namespace CommandTable
