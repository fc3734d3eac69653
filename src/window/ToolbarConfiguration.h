// SPDX-License-Identifier: MIT
#pragma once

#include "window/CommandTable.h"

#include <QIcon>
#include <QString>
#include <QStringList>

#include <vector>

// The items a document window's toolbar may hold, its default arrangement, and the
// arrangement the user chose, kept with QSettings under the toolbar's identifier.
// Identifiers are strings: one per command item, plus the two kinds of space.
class ToolbarConfiguration {
public:
    static const QString kIdentifier; // "TallyfernDocument"
    static const QString kFlexibleSpace; // takes the room that is left
    static const QString kSpace; // a fixed gap

    // The identifiers of the command items, in the command table's order.
    [[nodiscard]] static QStringList commandItems();
    // The command of a command item, or null.
    [[nodiscard]] static const CommandInfo* item(const QString& identifier);

    [[nodiscard]] static QStringList defaultItems();
    // What the customization offers: the default items followed by the fixed space.
    [[nodiscard]] static QStringList allowedItems();
    // Known identifiers only, each command item at most once (the first wins); spaces
    // may repeat.
    [[nodiscard]] static QStringList sanitized(const QStringList& identifiers);

    // The saved arrangement, or the default one when nothing was saved.
    [[nodiscard]] static QStringList load();
    static void save(const QStringList& identifiers);
    static void forget();

    // Label, tool tip and accessible name.
    [[nodiscard]] static QString label(const QString& identifier);
    [[nodiscard]] static QIcon icon(const QString& identifier);
};
