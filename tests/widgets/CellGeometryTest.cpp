// SPDX-License-Identifier: MIT
// The "% of Folder" cell over shares from below 0 to above 1: what a reader of the bar
// relies on, not the arithmetic that places it.
#include "widgets/BarCellView.h"

#include <gtest/gtest.h>

TEST(BarCellView, BarStaysInItsTrackAndGrowsWithTheShare)
{
    const QRectF cell(10, 0, 100, 22);
    const QSizeF text(20, 11);
    double previous = 0;
    const std::pair<double, const char*> cases[]
        = { { -0.3, "0.0%" }, { 0.0, "0.0%" }, { 0.0004, "0.0%" }, { 0.0999, "10.0%" }, { 0.1, "10%" },
              { 0.5, "50%" }, { 0.6, "60%" }, { 1.0, "100%" }, { 1.7, "100%" } };
    for (const auto& [fraction, label] : cases) {
        SCOPED_TRACE(fraction);
        const BarCellView::Layout l = BarCellView::layout(cell, fraction, text);
        EXPECT_EQ(l.label, label);
        EXPECT_TRUE(cell.contains(l.track));
        EXPECT_EQ(l.bar.isEmpty(), fraction <= 0); // a sliver shows any share above 0
        if (!l.bar.isEmpty()) {
            EXPECT_GE(l.bar.width(), 2.0);
            EXPECT_GE(l.bar.width(), previous);
            EXPECT_TRUE(l.track.contains(l.bar));
            previous = l.bar.width();
        }
        // Inside the bar beyond 55 %, after its end below; never past the track.
        EXPECT_EQ(l.labelOrigin.x() < l.track.left() + l.bar.width() - 1, fraction > 0.55);
        EXPECT_LE(l.labelOrigin.x() + text.width(), l.track.right());
    }
    EXPECT_EQ(
        BarCellView::layout(cell, 1.7, text).bar.width(), BarCellView::layout(cell, 1, text).track.width());
    const BarCellView::Layout narrow = BarCellView::layout(QRectF(10, 0, 50, 22), 0.5, QSizeF(30, 11));
    EXPECT_LE(narrow.labelOrigin.x() + 30, narrow.track.right()); // a narrow column too
}
