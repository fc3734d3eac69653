// SPDX-License-Identifier: MIT
#include "model/Palette.h"

#include <gtest/gtest.h>

#include <QColor>

#include <algorithm>
#include <cmath>

namespace {

RGB meanTo(double r, double g, double b, double mean)
{
    const double m = (r + g + b) / 3;
    return { std::min(r * mean / m, 1.0), std::min(g * mean / m, 1.0), std::min(b * mean / m, 1.0) };
}

void expectNear(const RGB& got, const RGB& expected, double tolerance)
{
    EXPECT_NEAR(got.r, expected.r, tolerance);
    EXPECT_NEAR(got.g, expected.g, tolerance);
    EXPECT_NEAR(got.b, expected.b, tolerance);
}

} // namespace

TEST(Palette, FortyEightColoursFromBaseAndGeneratedHues)
{
    const std::vector<RGB>& colors = Palette::colors();
    ASSERT_EQ(colors.size(), 48u);
    // Base colours are brought to a mean of 0.6, clipped at 1.
    expectNear(colors[0], meanTo(0.2, 0.45, 0.95, 0.6), 1e-12);
    // Generated ones, recomputed with QColor's own HSV conversion (16-bit channels).
    for (int i : { 1, 29 }) {
        SCOPED_TRACE(i);
        const double hue = std::fmod(i * 0.618034 + 0.08, 1.0);
        const QColor c = QColor::fromHsvF(float(hue), i % 2 ? 0.65f : 0.45f, i % 3 == 0 ? 0.7f : 0.9f);
        expectNear(colors[std::size_t(18 + i)], meanTo(c.redF(), c.greenF(), c.blueF(), 0.55), 2e-4);
    }
}
