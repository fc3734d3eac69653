// SPDX-License-Identifier: MIT
#include "platform/gui/VolumeList.h"
#include "platform/gui/FullDiskAccessProbe.h"
#include "volumes/support/MountFixture.h"

#include <gtest/gtest.h>

#include <cerrno>

namespace {

std::vector<VolumeList::Entry> fixtureVolumes()
{
    const VolumeList list(MountFixture::kHome, MountFixture::kUser, MountFixture::factsProvider(),
        &MountFixture::lastComponent);
    return list.volumes(MountTable::parse(MountFixture::mountInfo()));
}

} // namespace

TEST(VolumeList, ShowsWhatAFileManagerShowsInTableOrder)
{
    const auto volumes = fixtureVolumes();
    std::vector<std::string> points;
    for (const auto& v : volumes)
        points.push_back(v.mountPoint);
    // Pseudo and system mounts, boot partitions, snaps, another user's media, mounts in
    // hidden folders, a tmpfs under /mnt and the home folder's own mount are left out;
    // of the two mounts on /mnt/backup only the visible one counts, at its own place.
    const std::vector<std::string> expected = { "/", "/media/ann/USB STICK", "/home/ann/remote",
        "/run/media/ann/CAMERA", "/mnt/backup", "/media/ann/EMPTY" };
    EXPECT_EQ(points, expected);
}

TEST(VolumeList, NamesKindsAndCapacities)
{
    const auto volumes = fixtureVolumes();
    ASSERT_EQ(volumes.size(), 6u);
    EXPECT_EQ(volumes[0].name, QStringLiteral("Computer"));
    EXPECT_EQ(volumes[1].name, QStringLiteral("USB STICK"));
    EXPECT_EQ(volumes[0].kind, VolumeList::Kind::Fixed);
    EXPECT_EQ(volumes[1].kind, VolumeList::Kind::Removable);
    EXPECT_EQ(volumes[2].kind, VolumeList::Kind::Network);
    EXPECT_EQ(volumes[3].kind, VolumeList::Kind::Removable);
    EXPECT_EQ(volumes[4].kind, VolumeList::Kind::Fixed);

    EXPECT_EQ(volumes[0].total, 500'000'000'000);
    EXPECT_EQ(volumes[0].free, 120'000'000'000);
    // Free space is the "important usage" figure where there is one, else "available".
    EXPECT_EQ(volumes[1].free, 8'000'000'000);
    EXPECT_EQ(volumes[3].free, 50'000'000'000);
    // No facts: neither figure.
    EXPECT_FALSE(volumes[2].total.has_value());
    EXPECT_FALSE(volumes[2].free.has_value());
}

TEST(VolumeList, RootIsShownWhateverCarriesItAndEmptyOrBrokenTablesAreHarmless)
{
    const VolumeList list("/home/ann", "ann", MountFixture::factsProvider(), &MountFixture::lastComponent);
    // In a container "/" is an overlay: still the computer's disk to the user.
    const auto overlay = list.volumes(MountTable::parse("1 0 0:30 / / rw - overlay overlay rw\n"));
    ASSERT_EQ(overlay.size(), 1u);
    EXPECT_EQ(overlay[0].mountPoint, "/");
    EXPECT_TRUE(list.volumes({}).empty());
    EXPECT_TRUE(list.volumes(MountTable::parse("garbage\n\n12 x\n")).empty());

    // A name the platform cannot give falls back to the path.
    const VolumeList nameless(
        "/home/ann", "ann", MountFixture::factsProvider(), [](const std::string&) { return QString(); });
    EXPECT_EQ(nameless.volumes(MountTable::parse("1 0 8:1 / /mnt/x rw - ext4 /dev/sda1 rw\n")).at(0).name,
        QStringLiteral("/mnt/x"));
}

TEST(FullDiskAccessProbe, OnlyAPermissionFailureMeansAccessIsMissing)
{
    std::string opened;
    const auto probeWith = [&](int error) {
        return FullDiskAccessProbe([&, error](const char* path) {
            opened = path;
            return error;
        });
    };
    EXPECT_EQ(probeWith(0).run(), FullDiskAccessProbe::Outcome::Granted);
    EXPECT_EQ(probeWith(EPERM).run(), FullDiskAccessProbe::Outcome::Missing);
    EXPECT_EQ(probeWith(EACCES).run(), FullDiskAccessProbe::Outcome::Missing);
    EXPECT_EQ(probeWith(ENOENT).run(), FullDiskAccessProbe::Outcome::Unknown);
    EXPECT_EQ(probeWith(EIO).run(), FullDiskAccessProbe::Outcome::Unknown);
    EXPECT_TRUE(probeWith(EACCES).accessMissing());
    EXPECT_FALSE(probeWith(ENOENT).accessMissing());
    EXPECT_EQ(opened, std::string(FullDiskAccessProbe::probePath()));

    // On this system the probe file does not exist, so the real probe shows no notice.
    EXPECT_FALSE(FullDiskAccessProbe().accessMissing());
}
