// SPDX-License-Identifier: MIT
#pragma once

#include <QVariant>

// Data roles the outline and kinds models answer beyond Qt's own.
namespace ItemRoles {
inline constexpr int Node = Qt::UserRole + 1; // FileNode* as void*
inline constexpr int Fraction = Qt::UserRole + 2; // double, the bar of "% of Folder"
inline constexpr int Swatch = Qt::UserRole + 3; // QColor of a kind
inline constexpr int Secondary = Qt::UserRole + 4; // bool: text in the secondary label colour

// Figures line up on the right, words on the left, both centred in the row.
[[nodiscard]] inline QVariant alignment(bool figure)
{
    return QVariant::fromValue((figure ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter);
}
} // namespace ItemRoles
