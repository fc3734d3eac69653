// SPDX-License-Identifier: MIT
#include "app/Links.h"

#include <QSysInfo>
#include <QUrlQuery>

#include <gtest/gtest.h>

namespace {

QString queryValue(const QUrl& url, const QString& key)
{
    return QUrlQuery(url).queryItemValue(key, QUrl::FullyDecoded);
}

} // namespace

TEST(Links, VersionFallsBackToDevAndZeroForEachMissingPart)
{
    EXPECT_EQ(Links::versionString("1.2", "45"), QStringLiteral("1.2 (45)"));
    EXPECT_EQ(Links::versionString(nullptr, nullptr), QStringLiteral("dev (0)"));
    EXPECT_EQ(Links::versionString("", ""), QStringLiteral("dev (0)"));
    EXPECT_EQ(Links::versionString("2.0", nullptr), QStringLiteral("2.0 (0)"));
    EXPECT_EQ(Links::versionString(nullptr, "7"), QStringLiteral("dev (7)"));
    // The build's own version is the project version with the configured build number.
    EXPECT_EQ(Links::appVersion(), Links::versionString(TALLYFERN_VERSION, TALLYFERN_BUILD_NUMBER));
}

TEST(Links, FeedbackMailHasSubjectAndBodyWithThreeLeadingLineFeeds)
{
    const QUrl url = Links::feedbackEmail();
    ASSERT_TRUE(url.isValid()) << url.errorString().toStdString();
    EXPECT_EQ(url.scheme(), QStringLiteral("mailto"));
    EXPECT_EQ(url.path(), Links::supportAddress());
    EXPECT_EQ(queryValue(url, QStringLiteral("subject")), QStringLiteral("Tallyfern feedback"));

    const QString body = queryValue(url, QStringLiteral("body"));
    EXPECT_EQ(body, Links::feedbackBody(Links::appVersion()));
    EXPECT_TRUE(body.startsWith(
        QStringLiteral("\n\n\n\u2014\nTallyfern ") + Links::appVersion() + QLatin1Char('\n')));
    EXPECT_TRUE(body.contains(QSysInfo::prettyProductName()));
    EXPECT_TRUE(body.endsWith(QStringLiteral(" \u00B7 ") + QSysInfo::currentCpuArchitecture()));
    // Query items come in the order subject, body.
    const auto items = QUrlQuery(url).queryItems();
    ASSERT_EQ(items.size(), 2);
    EXPECT_EQ(items[0].first, QStringLiteral("subject"));
    EXPECT_EQ(items[1].first, QStringLiteral("body"));
}

TEST(Links, ReservedCharactersInTheBodyDoNotSplitTheQuery)
{
    // A version or system name with '&', '=', '+' or '#' must arrive whole.
    const QString body = Links::feedbackBody(QStringLiteral("1&2=3+4#5 (0)"));
    EXPECT_TRUE(body.contains(QStringLiteral("Tallyfern 1&2=3+4#5 (0)\n")));
    const QByteArray encoded = "mailto:x@y.z?body=" + QUrl::toPercentEncoding(body);
    const QUrl url = QUrl::fromEncoded(encoded, QUrl::StrictMode);
    EXPECT_EQ(queryValue(url, QStringLiteral("body")), body);
    EXPECT_EQ(url.fragment(), QString());
}

TEST(Links, ConfiguredLinksAreHttpsPagesOfTheWebsite)
{
    for (const QUrl* url : { &Links::website(), &Links::support(), &Links::privacy(), &Links::releases() }) {
        EXPECT_EQ(url->scheme(), QStringLiteral("https"));
        EXPECT_EQ(url->host(), Links::website().host());
    }
    EXPECT_NE(Links::support(), Links::privacy());
    EXPECT_EQ(Links::fullDiskAccessSettings().toString(),
        QStringLiteral("x-apple.systempreferences:com.apple.preference.security?Privacy_AllFiles"));
}
