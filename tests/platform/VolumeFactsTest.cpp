// SPDX-License-Identifier: MIT
#include "platform/VolumeFacts.h"
#include "platform/MountTable.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <climits>
#include <cstdlib>

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

TEST(VolumeFacts, AFolderBelowAMountIsNotItsVolumeRoot)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::string path = dir.path().toStdString() + "/sub/../";
    const std::optional<VolumeFacts> facts = VolumeFacts::of(path);
    ASSERT_TRUE(facts);
    char real[PATH_MAX];
    ASSERT_NE(::realpath(dir.path().toLocal8Bit().constData(), real), nullptr);
    const std::vector<MountEntry> mounts = MountTable::current();
    const MountEntry* expected = MountTable::holding(mounts, real);
    ASSERT_NE(expected, nullptr);
    EXPECT_EQ(facts->volumePath, expected->mountPoint);
    EXPECT_NE(facts->volumePath, MountTable::standardize(path));
}
