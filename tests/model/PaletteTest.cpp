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
    return {std::min(r * mean / m, 1.0), std::min(g * mean / m, 1.0), std::min(b * mean / m, 1.0)};
}

} // namespace

TEST(Palette, HasFortyEightColoursWithinRange)
{
    const std::vector<RGB>& colors = Palette::colors();
    ASSERT_EQ(colors.size(), 48u);
    for (const RGB& c : colors)
        for (double channel : {c.r, c.g, c.b}) {
            EXPECT_GE(channel, 0.0);
            EXPECT_LE(channel, 1.0);
        }
    EXPECT_EQ(&Palette::colors(), &colors) << "computed once";
}

TEST(Palette, BaseColoursAreBroughtToAMeanOfPointSix)
{
    const std::vector<RGB>& colors = Palette::colors();
    // (0.2, 0.45, 0.95) has mean 0.5333…: blue would pass 1 and is clipped.
    EXPECT_DOUBLE_EQ(colors[0].r, 0.225);
    EXPECT_DOUBLE_EQ(colors[0].g, 0.50625);
    EXPECT_DOUBLE_EQ(colors[0].b, 1.0);
    const RGB last = meanTo(0.8, 0.62, 0.05, 0.6);
    EXPECT_DOUBLE_EQ(colors[17].r, last.r);
    EXPECT_DOUBLE_EQ(colors[17].g, last.g);
    EXPECT_DOUBLE_EQ(colors[17].b, last.b);
}

TEST(Palette, GeneratedColoursMatchAnIndependentHsvConversion)
{
    const std::vector<RGB>& colors = Palette::colors();
    // QColor converts HSV with its own code (16-bit channels, hence the tolerance).
    for (int i : {0, 1, 2, 7, 29}) {
        const double hue = std::fmod(i * 0.618034 + 0.08, 1.0);
        const QColor c = QColor::fromHsvF(float(hue), i % 2 ? 0.65f : 0.45f, i % 3 == 0 ? 0.7f : 0.9f);
        const RGB expected = meanTo(c.redF(), c.greenF(), c.blueF(), 0.55);
        const RGB& got = colors[std::size_t(18 + i)];
        EXPECT_NEAR(got.r, expected.r, 2e-4) << "generated colour " << i;
        EXPECT_NEAR(got.g, expected.g, 2e-4) << "generated colour " << i;
        EXPECT_NEAR(got.b, expected.b, 2e-4) << "generated colour " << i;
        EXPECT_NEAR((got.r + got.g + got.b) / 3, 0.55, 0.02);
    }
}
