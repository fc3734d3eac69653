// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

// The desktop entry the user chose to open a content type with, as the freedesktop.org
// MIME applications associations describe it: the first installed entry listed for the
// type in the [Default Applications] group of the first mimeapps.list that names one, the
// desktop-specific lists ($desktop-mimeapps.list) before the general ones, the user's
// before the system's. Empty when no list names one (the desktop then picks among the
// entries that claim the type).
namespace DefaultApplication {

[[nodiscard]] QString forType(const QString& mimeType);

} // namespace DefaultApplication
