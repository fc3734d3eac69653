// SPDX-License-Identifier: MIT
#include "platform/DisplayName.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QSysInfo>
#include <QTemporaryDir>

TEST(DisplayName, RootHomeAndPlainFolders)
{
    const QString system = QSysInfo::prettyProductName();
    const QString root = DisplayName::of("/");
    EXPECT_TRUE(root == system || root == "Computer") << root.toStdString();
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
}

TEST(DisplayName, DecodeReplacesBytesThatAreNotUtf8)
{
    EXPECT_EQ(DisplayName::decode("caf\xC3\xA9"), QString::fromUtf8("café"));
    const QString bad = DisplayName::decode("a\xFF" "b\xC3");
    EXPECT_TRUE(bad.startsWith('a'));
    EXPECT_TRUE(bad.contains(QChar::ReplacementCharacter));
    EXPECT_TRUE(bad.contains('b'));
    EXPECT_EQ(DisplayName::decode(std::string_view("a\0b", 3)).size(), 3);
    EXPECT_EQ(DisplayName::of("/tmp/caf\xFF"), DisplayName::decode("caf\xFF"));
}
