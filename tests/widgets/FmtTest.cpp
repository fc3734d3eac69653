// SPDX-License-Identifier: MIT
#include "widgets/Fmt.h"

#include <gtest/gtest.h>

#include <QLocale>

#include <cstdint>
#include <limits>

TEST(Fmt, BytesTakeTheDigitsOfTheirUnitAndKeepTheirSign)
{
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    // Rounding into the next unit moves up; the most negative count, which has no
    // positive twin, still formats.
    const std::pair<std::int64_t, const char*> cases[] = { { 0, "0 bytes" }, { 1, "1 byte" },
        { 999, "999 bytes" }, { 1'500, "2 KB" }, { 4'200'000, "4.2 MB" }, { 1'234'567'890, "1.23 GB" },
        { 5'000'000'000'000'000'000, "5,000 PB" }, { 999'999, "1 MB" }, { 999'499, "999 KB" },
        { -1'500, "-2 KB" }, { std::numeric_limits<std::int64_t>::min(), "-9,223.37 PB" } };
    for (const auto& [bytes, text] : cases)
        EXPECT_EQ(Fmt::bytes(bytes), text) << bytes;
    EXPECT_EQ(Fmt::count(-1'234'567), "-1,234,567");
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(Fmt::bytes(1'234'567'890), "1,23 GB");
    EXPECT_EQ(Fmt::count(1'234'567), "1.234.567");
    QLocale::setDefault(QLocale::system());
}
