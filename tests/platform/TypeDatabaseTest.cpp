// SPDX-License-Identifier: MIT
#include "platform/TypeDatabase.h"

#include <gtest/gtest.h>

#include <QMimeDatabase>

TEST(TypeDatabase, DataTypesComeFromSharedMimeInfo)
{
    if (!QMimeDatabase().mimeTypeForName("image/jpeg").isValid())
        GTEST_SKIP() << "no shared-mime-info on this machine";
    const TypeDatabase& db = TypeDatabase::system();
    const std::optional<ContentType> jpg = db.dataType("jpg");
    const std::optional<ContentType> jpeg = db.dataType("jpeg");
    ASSERT_TRUE(jpg && jpeg);
    EXPECT_EQ(jpg->name, "image/jpeg");
    EXPECT_FALSE(jpg->isDynamic);
    EXPECT_FALSE(jpg->description.isEmpty());
    EXPECT_FALSE(jpg->iconName.isEmpty());
    EXPECT_EQ(jpg->description, jpeg->description);

    const std::optional<ContentType> unknown = db.dataType("qqzzqq");
    ASSERT_TRUE(unknown);
    EXPECT_TRUE(unknown->isDynamic);
    EXPECT_FALSE(db.dataType(""));
}

TEST(TypeDatabase, PackagesComeFromTheBuiltInTable)
{
    const TypeDatabase& db = TypeDatabase::system();
    for (const char* extension : {"app", "bundle", "framework", "plugin", "kext", "xcodeproj", "photoslibrary", "rtfd"}) {
        const std::optional<ContentType> type = db.packageType(QString::fromLatin1(extension));
        ASSERT_TRUE(type) << extension;
        EXPECT_FALSE(type->isDynamic);
        EXPECT_FALSE(type->description.isEmpty()) << extension;
    }
    EXPECT_EQ(db.packageType("app")->description, "Application bundle");
    EXPECT_FALSE(db.packageType("xyz"));
    EXPECT_FALSE(db.packageType("jpg"));
    EXPECT_FALSE(db.packageType("APP")) << "extensions arrive in lower case";
}
