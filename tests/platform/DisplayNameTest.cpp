// SPDX-License-Identifier: MIT
#include "platform/DisplayName.h"

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
        EXPECT_EQ(DisplayName::of(home), "Home");
        EXPECT_EQ(DisplayName::of(home + "/"), "Home");
    }
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::string folder = dir.path().toStdString() + "/Projects";
    ASSERT_TRUE(QDir().mkpath(QString::fromStdString(folder)));
    EXPECT_EQ(DisplayName::of(folder), "Projects");
    EXPECT_EQ(DisplayName::of(folder + "/"), "Projects");
    EXPECT_EQ(DisplayName::of("/no/such/Thing"), "Thing");

    EXPECT_EQ(DisplayName::decode("caf\xC3\xA9"), QString::fromUtf8("café"));
    EXPECT_EQ(DisplayName::decode("a\xFF"
                                  "b\xC3"),
        QStringView(u"a\uFFFDb\uFFFD"));
    EXPECT_EQ(DisplayName::decode(std::string_view("a\0b", 3)).size(), 3);
    EXPECT_EQ(DisplayName::of("/tmp/caf\xFF"), DisplayName::decode("caf\xFF"));
}
