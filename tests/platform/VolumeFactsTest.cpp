// SPDX-License-Identifier: MIT
#include "platform/VolumeFacts.h"

#include <gtest/gtest.h>

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
