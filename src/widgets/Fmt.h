// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

#include <cstdint>
#include <optional>

// The one way every window writes byte counts and item counts, in the user's locale.
// Main thread only (QLocale's default may be changed there).
namespace Fmt {

// File-style byte count: decimal units (1 KB = 1,000 bytes) up to PB, the largest unit
// in which the value is at least 1; no fraction digits for bytes and KB, one for MB,
// two from GB on, trailing zeros dropped; "bytes" ("byte" for one), zero in digits;
// a negative count keeps its sign.
[[nodiscard]] QString bytes(std::int64_t count);

// A count with the locale's grouping and no fraction; absent when the locale yields
// no text.
[[nodiscard]] std::optional<QString> number(std::int64_t count);

// number(), or the plain decimal digits when it yields nothing.
[[nodiscard]] QString count(std::int64_t count);

} // namespace Fmt
