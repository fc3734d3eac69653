// SPDX-License-Identifier: MIT
#include "platform/DisplayName.h"
#include "platform/VolumeFacts.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QSysInfo>
#include <QTemporaryDir>

TEST(DisplayName, RootHomePlainFoldersAndBytesThatAreNotUtf8)
{
    const QString root = DisplayName::of("/");
    EXPECT_TRUE(root == QSysInfo::prettyProductName() || root == "Computer") << root.toStdString();
    EXPECT_EQ(DisplayName::of("//"), root);
    const std::string home = QDir::homePath().toStdString();
    if (home != "/") {
        EXPECT_TRUE(DisplayName::of(home) == "Home" && DisplayName::of(home + "/") == "Home");
    }
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::string folder = dir.path().toStdString() + "/Projects";
    ASSERT_TRUE(QDir().mkpath(QString::fromStdString(folder)));
    EXPECT_TRUE(DisplayName::of(folder) == "Projects" && DisplayName::of(folder + "/") == "Projects");
    EXPECT_EQ(DisplayName::of("/no/such/Thing"), "Thing");

    EXPECT_EQ(DisplayName::decode("caf\xC3\xA9"), QString::fromUtf8("café"));
    EXPECT_EQ(DisplayName::decode("a\xFF"
                                  "b\xC3"),
        QStringView(u"a\uFFFDb\uFFFD"));
    EXPECT_EQ(DisplayName::decode(std::string_view("a\0b", 3)).size(), 3);
    EXPECT_EQ(DisplayName::of("/tmp/caf\xFF"), DisplayName::decode("caf\xFF"));
}

TEST(VolumeFacts, RootVolumeHasCapacitiesAndMissingPathsHaveNone)
{
    const std::optional<VolumeFacts> facts = VolumeFacts::of("/");
    ASSERT_TRUE(facts && facts->total && facts->available && facts->important);
    EXPECT_EQ(facts->volumePath, "/");
    EXPECT_TRUE(*facts->total > 0 && *facts->available >= 0 && *facts->available <= *facts->total);
    EXPECT_EQ(facts->important, facts->available);
    const std::optional<VolumeFacts> missing = VolumeFacts::of("/no/such/place/anywhere");
    ASSERT_TRUE(missing);
    EXPECT_FALSE(missing->total || missing->available);
    EXPECT_FALSE(VolumeFacts::of(""));
}
