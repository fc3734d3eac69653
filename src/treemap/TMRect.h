// SPDX-License-Identifier: MIT
#pragma once

// A rectangle in a top-left, y-down system. Containment is half-open, so a point on an
// edge shared by two neighbours belongs to exactly one of them.
struct TMRect {
    double x0 = 0;
    double y0 = 0;
    double x1 = 0;
    double y1 = 0;

    [[nodiscard]] double width() const { return x1 - x0; }
    [[nodiscard]] double height() const { return y1 - y0; }
    [[nodiscard]] bool isDegenerate() const { return x1 <= x0 || y1 <= y0; }
    [[nodiscard]] bool contains(double x, double y) const { return x0 <= x && x < x1 && y0 <= y && y < y1; }
    friend bool operator==(const TMRect&, const TMRect&) = default;
};
