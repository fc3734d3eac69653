// SPDX-License-Identifier: MIT
#include "platform/MountTable.h"
#include "platform/VolumeFacts.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <climits>
#include <cstdlib>

TEST(VolumeFacts, RootVolumeHasCapacities)
{
    const std::optional<VolumeFacts> facts = VolumeFacts::of("/");
    ASSERT_TRUE(facts);
    EXPECT_EQ(facts->volumePath, "/");
    ASSERT_TRUE(facts->total && facts->available && facts->important);
    EXPECT_GT(*facts->total, 0);
    EXPECT_GE(*facts->available, 0);
    EXPECT_LE(*facts->available, *facts->total);
    EXPECT_EQ(facts->important, facts->available);
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

TEST(VolumeFacts, MissingPathsHaveNoCapacityAndEmptyPathsNoFacts)
{
    const std::optional<VolumeFacts> facts = VolumeFacts::of("/no/such/place/anywhere");
    ASSERT_TRUE(facts);
    EXPECT_FALSE(facts->total);
    EXPECT_FALSE(facts->available);
    EXPECT_FALSE(VolumeFacts::of(""));
}
