// SPDX-License-Identifier: MIT
// Geometry of the table cells, as pure functions of a cell's bounds.
#include "window/BarCellView.h"
#include "window/NameCellView.h"
#include "window/SwatchCellView.h"
#include "window/TextCellView.h"

#include <gtest/gtest.h>

namespace {

const QRectF kCell(0, 0, 100, 22); // track: x 3…97, 94 wide, 12 high
const QSizeF kText(20, 11);

TEST(BarCellView, LabelTextAndBarFollowTheShare)
{
    struct Case {
        double fraction;
        const char* label;
        double barWidth; // 0: no bar
    };
    const Case cases[] = {
        { 0.0, "0.0%", 0 }, { 0.0004, "0.0%", 2.0 }, // a sliver, never thinner than 2 points
        { 0.05, "5.0%", 0.05 * 94 }, { 0.0999, "10.0%", 0.0999 * 94 }, // below 0.1 keeps one fraction digit
        { 0.1, "10%", 9.4 }, { 0.5, "50%", 47 }, { 0.6, "60%", 0.6 * 94 }, { 1.0, "100%", 94 },
        { 1.7, "100%", 94 }, // clamped
        { -0.3, "0.0%", 0 }, // negative: track only
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fraction);
        const BarCellView::Layout l = BarCellView::layout(kCell, c.fraction, kText);
        EXPECT_EQ(l.label, c.label);
        if (c.barWidth == 0) {
            EXPECT_TRUE(l.bar.isEmpty());
        } else {
            EXPECT_DOUBLE_EQ(l.bar.width(), c.barWidth);
            EXPECT_DOUBLE_EQ(l.bar.left(), l.track.left());
            EXPECT_DOUBLE_EQ(l.bar.height(), l.track.height());
        }
    }
}

TEST(BarCellView, LabelSitsInsideAboveFiftyFivePercentAndAfterTheBarBelow)
{
    // 0.6: inside the bar at its left end.
    EXPECT_DOUBLE_EQ(BarCellView::layout(kCell, 0.6, kText).labelOrigin.x(), 3 + 4);
    EXPECT_DOUBLE_EQ(BarCellView::layout(kCell, 1.7, kText).labelOrigin.x(), 3 + 4);
    // 0.5: just right of the bar's end.
    EXPECT_DOUBLE_EQ(BarCellView::layout(kCell, 0.5, kText).labelOrigin.x(), 3 + 47 + 4);
    // 0 and 0.0004: beside the (empty or sliver) bar.
    EXPECT_DOUBLE_EQ(BarCellView::layout(kCell, 0, kText).labelOrigin.x(), 3 + 4);
    EXPECT_DOUBLE_EQ(BarCellView::layout(kCell, 0.0004, kText).labelOrigin.x(), 3 + 0.0004 * 94 + 4);
    EXPECT_DOUBLE_EQ(BarCellView::layout(kCell, 0.1, kText).labelOrigin.x(), 3 + 9.4 + 4);
    // Vertically centred on the track.
    const BarCellView::Layout l = BarCellView::layout(kCell, 0.5, kText);
    EXPECT_DOUBLE_EQ(l.labelOrigin.y() + kText.height() / 2, l.track.center().y());
}

TEST(BarCellView, LabelNeverRunsPastTheTrackEnd)
{
    // A narrow column: 0.5 would put the label beyond the end, so it stops 3 points short.
    const QRectF narrow(10, 0, 50, 22); // track 13…57
    const BarCellView::Layout l = BarCellView::layout(narrow, 0.5, QSizeF(30, 11));
    EXPECT_DOUBLE_EQ(l.labelOrigin.x(), 57 - 30 - 3);
    EXPECT_LE(l.labelOrigin.x() + 30, l.track.right() - 3);
}

TEST(BarCellView, TrackIsTwelvePointsHighInRowsOfEighteenOrMore)
{
    EXPECT_DOUBLE_EQ(BarCellView::trackRect(QRectF(0, 0, 80, 16)).height(), 10); // inset 3
    EXPECT_DOUBLE_EQ(BarCellView::trackRect(QRectF(0, 0, 80, 18)).height(), 12);
    EXPECT_DOUBLE_EQ(BarCellView::trackRect(QRectF(0, 0, 80, 24)).height(), 12);
    const QRectF track = BarCellView::trackRect(QRectF(5, 100, 80, 24));
    EXPECT_DOUBLE_EQ(track.left(), 8);
    EXPECT_DOUBLE_EQ(track.width(), 74);
    EXPECT_DOUBLE_EQ(track.top(), 106);
}

TEST(SwatchCellView, SquareOfAtMostFourteenCentred)
{
    EXPECT_DOUBLE_EQ(SwatchCellView::swatchRect(QRectF(0, 0, 22, 16)).width(), 12);
    EXPECT_DOUBLE_EQ(SwatchCellView::swatchRect(QRectF(0, 0, 22, 18)).width(), 14);
    const QRectF square = SwatchCellView::swatchRect(QRectF(0, 0, 22, 30));
    EXPECT_DOUBLE_EQ(square.width(), 14);
    EXPECT_DOUBLE_EQ(square.height(), 14);
    EXPECT_EQ(square.center(), QPointF(11, 15));
}

TEST(SwatchCellView, GradientRunsFromLighterToDarker)
{
    const auto stops = SwatchCellView::gradientStops(QColor::fromRgbF(0.2f, 0.4f, 0.6f));
    EXPECT_NEAR(stops[0].redF(), 0.2 + 0.8 * 0.45, 1e-3);
    EXPECT_NEAR(stops[0].blueF(), 0.6 + 0.4 * 0.45, 1e-3);
    EXPECT_NEAR(stops[1].greenF(), 0.4, 1e-3);
    EXPECT_NEAR(stops[2].redF(), 0.2 * 0.55, 1e-3);
    EXPECT_NEAR(stops[2].blueF(), 0.6 * 0.55, 1e-3);
}

TEST(CellLayout, NameAndTextCellsKeepTheirInsets)
{
    const QRect cell(40, 10, 200, 22);
    EXPECT_EQ(NameCellView::iconRect(cell), QRect(42, 13, 16, 16));
    const QRect label = NameCellView::labelRect(cell);
    EXPECT_EQ(label.left(), 42 + 16 + 5);
    EXPECT_EQ(label.right(), cell.right() - 2);
    const QRect text = TextCellView::labelRect(cell);
    EXPECT_EQ(text.left(), 42);
    EXPECT_EQ(text.right(), cell.right() - 4);
}

} // namespace
