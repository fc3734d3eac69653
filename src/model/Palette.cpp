// SPDX-License-Identifier: MIT
#include "model/Palette.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace {

// Scales the channels so that their mean is `mean`, none above 1.
RGB normalized(RGB c, double mean)
{
    const double m = (c.r + c.g + c.b) / 3;
    if (m <= 0)
        return c;
    const double k = mean / m;
    return { std::min(c.r * k, 1.0), std::min(c.g * k, 1.0), std::min(c.b * k, 1.0) };
}

// Hexcone conversion of hue, saturation and brightness (all 0…1).
RGB fromHsb(double h, double s, double v)
{
    const double scaled = h * 6;
    const double sector = std::floor(scaled);
    const double f = scaled - sector;
    const double p = v * (1 - s);
    const double q = v * (1 - s * f);
    const double t = v * (1 - s * (1 - f));
    switch (static_cast<int>(sector) % 6) {
    case 0:
        return { v, t, p };
    case 1:
        return { q, v, p };
    case 2:
        return { p, v, t };
    case 3:
        return { p, q, v };
    case 4:
        return { t, p, v };
    default:
        return { v, p, q };
    }
}

std::vector<RGB> build()
{
    constexpr std::array<RGB, 18> base { {
        { 0.2, 0.45, 0.95 },
        { 0.92, 0.22, 0.22 },
        { 0.2, 0.75, 0.25 },
        { 0.95, 0.8, 0.1 },
        { 0.6, 0.3, 0.9 },
        { 0.1, 0.8, 0.85 },
        { 0.98, 0.52, 0.1 },
        { 0.95, 0.35, 0.7 },
        { 0.62, 0.85, 0.15 },
        { 0.05, 0.58, 0.52 },
        { 0.62, 0.42, 0.22 },
        { 0.35, 0.35, 0.85 },
        { 0.98, 0.58, 0.5 },
        { 0.55, 0.6, 0.12 },
        { 0.45, 0.72, 0.98 },
        { 0.8, 0.15, 0.62 },
        { 0.5, 0.92, 0.68 },
        { 0.8, 0.62, 0.05 },
    } };
    std::vector<RGB> colors;
    colors.reserve(48);
    for (const RGB& c : base)
        colors.push_back(normalized(c, 0.6));
    for (int i = 0; i < 30; ++i) {
        double whole = 0;
        const double hue = std::modf(i * 0.618034 + 0.08, &whole);
        const double saturation = i % 2 ? 0.65 : 0.45;
        const double brightness = i % 3 == 0 ? 0.7 : 0.9;
        colors.push_back(normalized(fromHsb(hue, saturation, brightness), 0.55));
    }
    return colors;
}

} // namespace

namespace Palette {

const std::vector<RGB>& colors()
{
    static const std::vector<RGB> table = build();
    return table;
}

double ageFraction(double ageSeconds)
{
    // NaN and future dates are new; log1p keeps the first day from taking half the scale.
    if (!(ageSeconds > 0))
        return 0;
    return std::min(1.0, std::log1p(ageSeconds / kDaySeconds) / std::log1p(kOldestAge / kDaySeconds));
}

RGB ageColor(double fraction)
{
    // Yellow, orange, magenta, blue: hues far apart, brightness falling with age.
    static constexpr std::array<RGB, 4> kStops { RGB { 0.98, 0.84, 0.22 }, RGB { 0.95, 0.46, 0.18 },
        RGB { 0.72, 0.24, 0.55 }, RGB { 0.22, 0.32, 0.68 } };
    const double t = std::clamp(std::isnan(fraction) ? 0.0 : fraction, 0.0, 1.0) * (kStops.size() - 1);
    const std::size_t low = std::min(std::size_t(t), kStops.size() - 2);
    const double f = t - double(low);
    const RGB& a = kStops[low];
    const RGB& b = kStops[low + 1];
    return { a.r + (b.r - a.r) * f, a.g + (b.g - a.g) * f, a.b + (b.b - a.b) * f };
}

} // namespace Palette
