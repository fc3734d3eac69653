// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

#include <string>
#include <string_view>

namespace DisplayName {

// The name a file manager shows for a location: the last path component; "Home" for
// the home folder; a volume root's label (or its last component, or the system's name
// for "/").
[[nodiscard]] QString of(const std::string& path);

// Bytes of a file system name or path decoded for display, invalid sequences replaced.
[[nodiscard]] QString decode(std::string_view bytes);

} // namespace DisplayName
