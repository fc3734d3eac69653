// SPDX-License-Identifier: MIT
#include "window/WindowPlacement.h"

#include <gtest/gtest.h>

#include <vector>

using WindowPlacement::kCascadeStep;

TEST(WindowPlacement, NewWindowsFitTheirScreenAndStepAsideFromOthers)
{
    const QRect desk(0, 0, 1920, 1080);
    const QRect small(0, 30, 800, 464); // a panel above; a screen at scale 2
    const QPoint centred(320, 140);
    const struct {
        const char* what;
        QSize wanted;
        QRect available;
        std::optional<QPoint> preferred;
        std::vector<QPoint> taken;
        QRect expected;
    } cases[] = {
        { "fits", { 1280, 800 }, desk, {}, {}, { centred, QSize(1280, 800) } },
        { "shrunk", { 1280, 800 }, small, {}, {}, small },
        { "preferred", { 1280, 800 }, desk, QPoint(10, 20), {}, { 10, 20, 1280, 800 } },
        { "preferred off-screen", { 1280, 800 }, desk, QPoint(-478, -260), {},
            { centred, QSize(1280, 800) } },
        { "cascades", { 1280, 800 }, desk, {}, { centred + QPoint(3, -2) },
            { centred + QPoint(kCascadeStep, kCascadeStep), QSize(1280, 800) } },
        { "full area gives up a step", { 1280, 800 }, small, {}, { small.topLeft() },
            small.adjusted(kCascadeStep, kCascadeStep, 0, 0) },
        { "bottom corner starts again at the top", { 260, 210 }, { 0, 0, 500, 400 }, QPoint(240, 190),
            { QPoint(240, 190) }, { 0, 0, 260, 210 } },
    };
    for (const auto& c : cases) {
        const QRect placed = WindowPlacement::place(c.wanted, c.available, c.preferred, c.taken);
        EXPECT_EQ(placed, c.expected) << c.what;
        EXPECT_TRUE(c.available.contains(placed)) << c.what;
    }
}
