// SPDX-License-Identifier: MIT
#include "app/Links.h"

#include <QSysInfo>
#include <QUrlQuery>

#include <gtest/gtest.h>

TEST(Links, VersionFallsBackToDevAndZeroForEachMissingPart)
{
    EXPECT_EQ(Links::versionString("1.2", "45"), QStringLiteral("1.2 (45)"));
    EXPECT_EQ(Links::versionString(nullptr, nullptr), QStringLiteral("dev (0)"));
    EXPECT_EQ(Links::versionString("", ""), QStringLiteral("dev (0)"));
    EXPECT_EQ(Links::versionString("2.0", nullptr), QStringLiteral("2.0 (0)"));
    EXPECT_EQ(Links::versionString(nullptr, "7"), QStringLiteral("dev (7)"));
    EXPECT_EQ(Links::appVersion(), Links::versionString(TALLYFERN_VERSION, TALLYFERN_BUILD_NUMBER));
}

TEST(Links, FeedbackMailHasSubjectAndBody)
{
    const QUrl url = Links::feedbackEmail();
    ASSERT_TRUE(url.isValid()) << url.errorString().toStdString();
    EXPECT_EQ(url.scheme(), QStringLiteral("mailto"));
    EXPECT_EQ(url.path(), Links::supportAddress());
    const auto items = QUrlQuery(url).queryItems(QUrl::FullyDecoded);
    ASSERT_EQ(items.size(), 2);
    EXPECT_EQ(items[0], qMakePair(QStringLiteral("subject"), QStringLiteral("Tallyfern feedback")));
    EXPECT_EQ(items[1].first, QStringLiteral("body"));
    const QString body = items[1].second;
    EXPECT_TRUE(body.startsWith(
        QStringLiteral("\n\n\n\u2014\nTallyfern ") + Links::appVersion() + QLatin1Char('\n')));
    EXPECT_TRUE(body.contains(QSysInfo::prettyProductName()));
    EXPECT_TRUE(body.endsWith(QStringLiteral(" \u00B7 ") + QSysInfo::currentCpuArchitecture()));
}
