// SPDX-License-Identifier: MIT
#include "ReferencePixel.h"

#include "treemap/Treemap.h"

#include <cmath>

namespace {
std::uint32_t toChannel(double v)
{
    const double capped = v < 255.0 ? v : 255.0;
    return std::uint32_t(std::trunc(capped));
}
} // namespace

std::uint32_t ReferencePixel::shade(RGB c, double gx, double gy)
{
    const double lx = -1 / std::sqrt(102.0);
    const double ly = -1 / std::sqrt(102.0);
    const double lz = 10 / std::sqrt(102.0);
    const double cosine = (lz - ly * gy - lx * gx) / std::sqrt(gy * gy + gx * gx + 1);
    double intensity;
    if (cosine > 1) {
        intensity = 1.0;
    } else {
        const double t = 0.87 * cosine;
        intensity = t < 0 ? 0.13 : t + 0.13;
    }
    const double gain = 1.4666666666666668;
    return 0xFF000000u | toChannel(c.r * 255 * gain * intensity) << 16
        | toChannel(c.g * 255 * gain * intensity) << 8 | toChannel(c.b * 255 * gain * intensity);
}

std::uint32_t ReferencePixel::at(const FileNode* root, int width, int height, int col, int row) const
{
    constexpr std::uint32_t grey = 0xFF808080u;
    const TMRect in { 0, 0, double(width), double(height) };
    const double x = col + 0.5;
    const double y = row + 0.5;
    const FileNode* leaf = Treemap::hitTest(root, in, x, y, showPackageContents);
    if (!leaf)
        return grey;
    // A folder under the point means a sliver or an empty-sized folder: nothing painted.
    const bool hidden = leaf->flags.contains(NodeFlags::Package) && !showPackageContents;
    if (leaf->isDirectory() && leaf->hasChildren() && !hidden)
        return grey;

    std::vector<const FileNode*> path;
    for (const FileNode* n = leaf; n != root; n = n->parent)
        path.insert(path.begin(), n);
    double a = 0, b = 0, c = 0, d = 0;
    double h = 0.38;
    for (const FileNode* n : path) {
        h *= 0.91;
        const TMRect r = *Treemap::rect(n, root, in, showPackageContents);
        const double kx = 4 * h / (r.x1 - r.x0);
        const double ky = 4 * h / (r.y1 - r.y0);
        a -= kx;
        c += (r.x0 + r.x1) * kx;
        b -= ky;
        d += (r.y0 + r.y1) * ky;
    }

    RGB base { 0.62, 0.62, 0.62 };
    if (leaf->kind >= 0 && std::size_t(leaf->kind) < colors.size())
        base = colors[std::size_t(leaf->kind)];
    if (highlightKind && *highlightKind != leaf->kind) {
        const double m = (base.r + base.g + base.b) / 3 * 0.35;
        base = RGB { m, m, m };
    }
    return shade(base, c + 2 * a * x, d + 2 * b * y);
}
