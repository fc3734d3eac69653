// SPDX-License-Identifier: MIT
// The "% of Folder" cell's bar and label, as pure functions of the cell's bounds.
#include "widgets/BarCellView.h"

#include <gtest/gtest.h>

namespace {

TEST(BarCellView, LabelTextBarAndLabelPlacementFollowTheShare)
{
    const QRectF cell(0, 0, 100, 22); // track: x 3…97, 94 wide
    const QSizeF text(20, 11);
    struct Case {
        double fraction;
        const char* label;
        double barWidth; // 0: no bar
        double labelX; // inside the bar above 55 %, after it below
    };
    const Case cases[] = {
        { 0.0, "0.0%", 0, 3 + 4 },
        { 0.0004, "0.0%", 2.0, 3 + 0.0004 * 94 + 4 }, // a sliver is never thinner than 2
        { 0.0999, "10.0%", 0.0999 * 94, 3 + 0.0999 * 94 + 4 }, // below 0.1: one fraction digit
        { 0.1, "10%", 9.4, 3 + 9.4 + 4 }, { 0.5, "50%", 47, 3 + 47 + 4 }, { 0.6, "60%", 0.6 * 94, 3 + 4 },
        { 1.7, "100%", 94, 3 + 4 }, // clamped
        { -0.3, "0.0%", 0, 3 + 4 }, // negative: the track only
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fraction);
        const BarCellView::Layout l = BarCellView::layout(cell, c.fraction, text);
        EXPECT_EQ(l.label, c.label);
        EXPECT_DOUBLE_EQ(l.labelOrigin.x(), c.labelX);
        EXPECT_DOUBLE_EQ(l.labelOrigin.y() + text.height() / 2, l.track.center().y());
        if (c.barWidth == 0) {
            EXPECT_TRUE(l.bar.isEmpty());
        } else {
            EXPECT_DOUBLE_EQ(l.bar.width(), c.barWidth);
            EXPECT_DOUBLE_EQ(l.bar.left(), l.track.left());
            EXPECT_DOUBLE_EQ(l.bar.height(), l.track.height());
        }
    }
    // A narrow column: the label stops 3 short of the track's end instead of running past it.
    const BarCellView::Layout narrow = BarCellView::layout(QRectF(10, 0, 50, 22), 0.5, QSizeF(30, 11));
    EXPECT_DOUBLE_EQ(narrow.labelOrigin.x(), 57 - 30 - 3);
}

} // namespace
