// SPDX-License-Identifier: MIT
#include "platform/TypeDatabase.h"

#include <gtest/gtest.h>

#include <QMimeDatabase>

TEST(TypeDatabase, DataTypesComeFromSharedMimeInfoAndPackagesFromTheBuiltInTable)
{
    const TypeDatabase& db = TypeDatabase::system();
    EXPECT_EQ(db.packageType("app")->description, "Application bundle");
    EXPECT_FALSE(db.packageType("app")->isDynamic);
    for (const char* none : { "xyz", "jpg", "APP" }) // extensions arrive in lower case
        EXPECT_FALSE(db.packageType(QString::fromLatin1(none))) << none;
    if (!QMimeDatabase().mimeTypeForName("image/jpeg").isValid())
        GTEST_SKIP() << "no shared-mime-info on this machine";
    const std::optional<ContentType> jpg = db.dataType("jpg");
    const std::optional<ContentType> jpeg = db.dataType("jpeg");
    ASSERT_TRUE(jpg && jpeg);
    EXPECT_EQ(jpg->name, "image/jpeg");
    EXPECT_FALSE(jpg->isDynamic || jpg->description.isEmpty() || jpg->iconName.isEmpty());
    EXPECT_EQ(jpg->description, jpeg->description);
    const std::optional<ContentType> unknown = db.dataType("qqzzqq");
    ASSERT_TRUE(unknown);
    EXPECT_TRUE(unknown->isDynamic);
    EXPECT_FALSE(db.dataType(""));
}
