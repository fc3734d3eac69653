// SPDX-License-Identifier: MIT
#include "window/WindowPlacement.h"

#include <algorithm>

namespace WindowPlacement {

namespace {

QRect keptInside(QRect frame, const QRect& available)
{
    frame.moveLeft(std::clamp(frame.left(), available.left(), available.right() - frame.width() + 1));
    frame.moveTop(std::clamp(frame.top(), available.top(), available.bottom() - frame.height() + 1));
    return frame;
}

} // namespace

QRect place(
    QSize wanted, const QRect& available, std::optional<QPoint> preferred, std::span<const QPoint> taken)
{
    QRect frame(QPoint(), wanted.boundedTo(available.size()).expandedTo(QSize(1, 1)));
    if (preferred && available.contains(QRect(*preferred, frame.size())))
        frame.moveTopLeft(*preferred);
    else
        frame.moveCenter(available.center());
    const auto isTaken = [&taken](QPoint corner) {
        return std::ranges::any_of(
            taken, [corner](QPoint other) { return (other - corner).manhattanLength() < kCascadeStep / 2; });
    };
    // Bounded: on a small area the steps may come round to corners already taken.
    for (std::size_t step = 0; step <= taken.size() && isTaken(frame.topLeft()); ++step) {
        frame.translate(kCascadeStep, kCascadeStep);
        if (available.contains(frame))
            continue;
        // Past the area's edge the window gives up what sticks out while at least half
        // the area remains, then starts again at the corner.
        const QRect shrunk = frame.intersected(available);
        if (shrunk.width() >= available.width() / 2 && shrunk.height() >= available.height() / 2)
            frame = shrunk;
        else
            frame.moveTopLeft(available.topLeft());
    }
    return frame;
}

QRect beside(const QRect& anchor, QSize wanted, const QRect& available)
{
    QRect frame(QPoint(), wanted.boundedTo(available.size()).expandedTo(QSize(1, 1)));
    frame.moveTop(anchor.top());
    if (anchor.right() + frame.width() < available.right())
        frame.moveLeft(anchor.right() + 1);
    else if (anchor.left() - frame.width() >= available.left())
        frame.moveRight(anchor.left() - 1);
    else
        frame.moveRight(anchor.right());
    return keptInside(frame, available);
}

} // namespace WindowPlacement
