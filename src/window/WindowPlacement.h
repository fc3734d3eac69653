// SPDX-License-Identifier: MIT
#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

#include <optional>
#include <span>

// Where windows go on a screen, as rectangles of the screen's free area (without panels
// and docks), so that no part of a window opens out of reach.
namespace WindowPlacement {

// Offset of a window from one it would otherwise cover exactly.
inline constexpr int kCascadeStep = 28;

// A new window of `wanted` size, shrunk to fit `available`, at `preferred` where it
// then fits whole, else centred; stepped down and right past the top-left corners in
// `taken` (other windows). A step that would leave the area cuts what sticks out while
// half the area remains, else starts again at the area's corner.
[[nodiscard]] QRect place(
    QSize wanted, const QRect& available, std::optional<QPoint> preferred, std::span<const QPoint> taken);

// A panel of `wanted` size beside `anchor`: to its right where that fits, else to its
// left, else inside the area at the anchor's right edge; shrunk to fit `available`.
[[nodiscard]] QRect beside(const QRect& anchor, QSize wanted, const QRect& available);

} // namespace WindowPlacement
