// SPDX-License-Identifier: MIT
#include "window/Fmt.h"

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

TEST_F(FmtTest, BytesBelowAThousandUseTheUnitWordInDigits)
{
    EXPECT_EQ(Fmt::bytes(0), "0 bytes");
    EXPECT_EQ(Fmt::bytes(1), "1 byte");
    EXPECT_EQ(Fmt::bytes(2), "2 bytes");
    EXPECT_EQ(Fmt::bytes(999), "999 bytes");
}

TEST_F(FmtTest, BytesTakeTheFractionDigitsOfTheirUnit)
{
    EXPECT_EQ(Fmt::bytes(1'000), "1 KB");
    EXPECT_EQ(Fmt::bytes(1'500), "2 KB"); // no fraction for KB, rounded
    EXPECT_EQ(Fmt::bytes(12'345), "12 KB");
    EXPECT_EQ(Fmt::bytes(4'200'000), "4.2 MB");
    EXPECT_EQ(Fmt::bytes(4'000'000), "4 MB"); // trailing zero dropped
    EXPECT_EQ(Fmt::bytes(1'234'567'890), "1.23 GB");
    EXPECT_EQ(Fmt::bytes(1'200'000'000), "1.2 GB");
    EXPECT_EQ(Fmt::bytes(212'430'000'000), "212.43 GB");
    EXPECT_EQ(Fmt::bytes(2'000'000'000'000), "2 TB");
    EXPECT_EQ(Fmt::bytes(3'456'000'000'000'000), "3.46 PB");
    // Past the largest unit the value grows with grouping instead.
    EXPECT_EQ(Fmt::bytes(5'000'000'000'000'000'000), "5,000 PB");
}

TEST_F(FmtTest, RoundingIntoTheNextUnitMovesUp)
{
    EXPECT_EQ(Fmt::bytes(999'999), "1 MB");
    EXPECT_EQ(Fmt::bytes(999'960'000), "1 GB");
    EXPECT_EQ(Fmt::bytes(999'499), "999 KB");
}

TEST_F(FmtTest, NegativeCountsKeepTheirSign)
{
    EXPECT_EQ(Fmt::bytes(-1), "-1 byte");
    EXPECT_EQ(Fmt::bytes(-999), "-999 bytes");
    EXPECT_EQ(Fmt::bytes(-1'500), "-2 KB");
    EXPECT_EQ(Fmt::bytes(-1'234'567'890), "-1.23 GB");
    // The most negative count has no positive twin; it must still format.
    EXPECT_EQ(Fmt::bytes(std::numeric_limits<std::int64_t>::min()), "-9,223.37 PB");
}

TEST_F(FmtTest, CountsUseTheLocaleGrouping)
{
    EXPECT_EQ(Fmt::number(0), QString("0"));
    EXPECT_EQ(Fmt::number(1), QString("1"));
    EXPECT_EQ(Fmt::number(999), QString("999"));
    EXPECT_EQ(Fmt::number(1'500), QString("1,500"));
    EXPECT_EQ(Fmt::number(1'234'567), QString("1,234,567"));
    EXPECT_EQ(Fmt::number(1'234'567'890), QString("1,234,567,890"));
    EXPECT_EQ(Fmt::number(-1'234), QString("-1,234"));
    EXPECT_EQ(Fmt::count(-1'234'567), "-1,234,567");
}

TEST_F(FmtTest, SeparatorsFollowTheLocale)
{
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(Fmt::bytes(1'234'567'890), "1,23 GB");
    EXPECT_EQ(Fmt::bytes(4'000'000), "4 MB");
    EXPECT_EQ(Fmt::bytes(5'000'000'000'000'000'000), "5.000 PB");
    EXPECT_EQ(Fmt::number(1'234'567), QString("1.234.567"));
}

} // namespace
