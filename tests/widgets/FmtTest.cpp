// SPDX-License-Identifier: MIT
#include "widgets/Fmt.h"

#include <gtest/gtest.h>

#include <QLocale>

#include <cstdint>
#include <limits>

namespace {

class FmtTest : public testing::Test {
protected:
    void SetUp() override { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }
    void TearDown() override { QLocale::setDefault(QLocale::system()); }
};

TEST_F(FmtTest, BytesTakeTheDigitsOfTheirUnitAndKeepTheirSign)
{
    const std::pair<std::int64_t, const char*> cases[] = {
        { 0, "0 bytes" },
        { 1, "1 byte" },
        { 999, "999 bytes" },
        { 1'500, "2 KB" }, // no fraction for KB, rounded
        { 4'000'000, "4 MB" },
        { 4'200'000, "4.2 MB" }, // trailing zeros dropped
        { 1'234'567'890, "1.23 GB" },
        { 3'456'000'000'000'000, "3.46 PB" },
        { 5'000'000'000'000'000'000, "5,000 PB" }, // past the largest unit: grouping
        { 999'999, "1 MB" },
        { 999'499, "999 KB" }, // rounding into the next unit moves up
        { -1, "-1 byte" },
        { -1'500, "-2 KB" },
        { -1'234'567'890, "-1.23 GB" },
        // The most negative count has no positive twin; it must still format.
        { std::numeric_limits<std::int64_t>::min(), "-9,223.37 PB" },
    };
    for (const auto& [bytes, text] : cases)
        EXPECT_EQ(Fmt::bytes(bytes), text) << bytes;
}

TEST_F(FmtTest, CountsAndSeparatorsFollowTheLocale)
{
    const std::pair<std::int64_t, const char*> cases[] = { { 0, "0" }, { 1, "1" }, { 999, "999" },
        { 1'500, "1,500" }, { 1'234'567'890, "1,234,567,890" }, { -1'234, "-1,234" } };
    for (const auto& [n, text] : cases) {
        EXPECT_EQ(Fmt::number(n), QString::fromLatin1(text));
        EXPECT_EQ(Fmt::count(n), QString::fromLatin1(text));
    }
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(Fmt::bytes(1'234'567'890), "1,23 GB");
    EXPECT_EQ(Fmt::bytes(5'000'000'000'000'000'000), "5.000 PB");
    EXPECT_EQ(Fmt::number(1'234'567), QString("1.234.567"));
}

} // namespace
