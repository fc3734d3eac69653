// SPDX-License-Identifier: MIT
#pragma once

#include "scan/FileNode.h"
#include "treemap/TMRect.h"

#include <algorithm>
#include <cmath>

// The pieces of cushion shading shared by the renderer's phases: the surface that the
// ridges of a node's ancestors build up, the light, and which pixels a rectangle owns.

// Cushion height over a pixel position: z(x, y) = a·x² + b·y² + c·x + d·y.
struct Surface {
    double a = 0;
    double b = 0;
    double c = 0;
    double d = 0;

    // Adds a parabolic ridge of height `hh`, highest along the middle of `r`, without
    // the constant terms (they do not change the slope, and only the slope is shaded).
    void addRidge(const TMRect& r, double hh)
    {
        const double kx = 4 * hh / (r.x1 - r.x0);
        a -= kx;
        c += (r.x0 + r.x1) * kx;
        const double ky = 4 * hh / (r.y1 - r.y0);
        b -= ky;
        d += (r.y0 + r.y1) * ky;
    }
};

// One independent piece of a render: a node and what its ancestors contribute.
struct Job {
    const FileNode* node = nullptr;
    TMRect rect; // in pixels
    Surface surface; // the ancestors' ridges, not yet this node's own
    double h = 0; // this node's ridge height
    bool isRoot = false;
    // Read from the node when the job is made, while the layout that made it has the node
    // in cache: a leaf is painted without touching its node again.
    bool opens = false; // its children are laid out inside it
    std::int32_t kind = 0;
    bool lit = false; // the node or a folder above it is one of the renderer's highlighted items
    std::uint32_t mtime = 0; // for colouring by age
};

// (−1, −1, 10) normalised: light from the upper left, mostly from the viewer's side.
struct Light {
    double x;
    double y;
    double z;
};
inline constexpr Light kLight { -0.09901475429766744, -0.09901475429766744, 0.9901475429766744 };

// The pixels whose centre (i + 0.5) lies in a rectangle, clamped to the image.
struct PixelSpan {
    int col0 = 0;
    int col1 = 0;
    int row0 = 0;
    int row1 = 0;

    [[nodiscard]] bool isEmpty() const { return col1 <= col0 || row1 <= row0; }

    static PixelSpan of(const TMRect& r, int width, int height)
    {
        PixelSpan span;
        span.col0 = edge(r.x0, width);
        span.col1 = std::max(span.col0, edge(r.x1, width));
        span.row0 = edge(r.y0, height);
        span.row1 = std::max(span.row0, edge(r.y1, height));
        return span;
    }

private:
    // First pixel whose centre is at or past `v`, clamped into [0, limit]; a NaN edge
    // (never produced by a sound layout) counts as 0.
    static int edge(double v, int limit)
    {
        const double e = std::ceil(v - 0.5);
        if (!(e > 0))
            return 0;
        return e >= limit ? limit : int(e);
    }
};
