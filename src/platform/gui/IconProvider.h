// SPDX-License-Identifier: MIT
#pragma once

#include "platform/TypeDatabase.h"

#include <QIcon>
#include <QString>

#include <string>

// Icons for content types, items and symbols: the desktop's icon theme where it has the
// freedesktop name, else a small set of icons drawn for this program, so the window
// looks finished on a machine without a theme. Main thread only.
namespace IconProvider {

// The icon of a content type (its icon name, then its generic icon name).
[[nodiscard]] QIcon forType(const ContentType& type);
// The icon of one item on disk: a drive for a mount point, a folder for a folder, the
// package's type icon for a package. Not cached.
[[nodiscard]] QIcon forItem(const std::string& path, bool directory, const ContentType* packageType);
// System symbols by name: "circle.dashed", "questionmark.circle",
// "exclamationmark.triangle.fill". An unknown name gives a null icon.
[[nodiscard]] QIcon symbol(const QString& name);
// One of the shipped icons by its freedesktop name ("folder", "text-x-generic", ...);
// the generic document when there is no such drawing.
[[nodiscard]] QIcon shipped(const QString& name);

} // namespace IconProvider
