// SPDX-License-Identifier: MIT
#include "volumes/support/MountFixture.h"

#include "platform/DisplayName.h"

namespace MountFixture {

const char* mountInfo()
{
    return "22 1 8:1 / / rw,relatime shared:1 - ext4 /dev/sda1 rw,errors=remount-ro\n"
           "23 22 0:21 / /proc rw,nosuid shared:12 - proc proc rw\n"
           "24 22 0:5 / /dev rw,nosuid shared:2 - devtmpfs udev rw,size=8012345k\n"
           "25 22 0:22 / /sys rw shared:7 - sysfs sysfs rw\n"
           "30 22 8:2 / /boot rw,relatime shared:30 - ext4 /dev/sda2 rw\n"
           "31 30 8:3 / /boot/efi rw,relatime shared:31 - vfat /dev/sda3 rw\n"
           "40 22 0:40 / /run/user/1000 rw,nosuid shared:40 - tmpfs tmpfs rw,size=1600000k\n"
           "41 22 8:17 / /media/ann/USB\\040STICK rw,nosuid shared:41 - vfat /dev/sdb1 rw\n"
           "42 22 7:0 / /snap/core/1 ro,nodev shared:42 - squashfs /dev/loop0 ro\n"
           "43 22 0:50 / /home/ann/.cache/doc rw shared:43 - fuse.portal portal rw\n"
           "44 22 8:33 / /mnt/backup rw shared:44 - ext4 /dev/sdc1 rw\n"
           "45 22 0:60 / /home/ann/remote rw shared:45 - fuse.sshfs ann@host:/ rw\n"
           "46 22 0:61 / /run/media/ann/CAMERA rw shared:46 - exfat /dev/sdd1 rw\n"
           "47 22 0:62 / /run/media/bob/OTHER rw shared:47 - exfat /dev/sde1 rw\n"
           "48 22 8:65 / /home/ann/.local/disk rw shared:48 - ext4 /dev/sdf1 rw\n"
           "49 44 8:34 / /mnt/backup rw shared:49 - ext4 /dev/sdc2 rw\n"
           "50 22 8:81 / /media/ann/EMPTY rw shared:50 - vfat /dev/sdg1 rw\n"
           "51 22 0:70 / /mnt/tmpdisk rw shared:51 - tmpfs tmpfs rw\n"
           "52 22 8:97 / /home/ann rw shared:52 - ext4 /dev/sdh1 rw\n";
}

std::map<std::string, VolumeFacts>& facts()
{
    static std::map<std::string, VolumeFacts> table = [] {
        std::map<std::string, VolumeFacts> t;
        const auto add = [&](const std::string& path, std::int64_t total, std::int64_t available,
                             std::optional<std::int64_t> important) {
            VolumeFacts f;
            f.volumePath = path;
            f.total = total;
            f.available = available;
            f.important = important;
            t[path] = f;
        };
        add("/", 500'000'000'000, 120'000'000'000, 120'000'000'000);
        add("/media/ann/USB STICK", 32'000'000'000, 8'000'000'000, std::nullopt); // only "available"
        add("/run/media/ann/CAMERA", 64'000'000'000, 60'000'000'000, 50'000'000'000);
        add("/mnt/backup", 2'000'000'000'000, 1'500'000'000'000, 1'500'000'000'000);
        add("/media/ann/EMPTY", 0, 0, 0);
        return t;
    }();
    return table;
}

VolumeFactsProvider factsProvider()
{
    return [](const std::string& path) -> std::optional<VolumeFacts> {
        const auto it = facts().find(path);
        if (it == facts().end())
            return std::nullopt;
        return it->second;
    };
}

QString lastComponent(const std::string& path)
{
    if (path == "/")
        return QStringLiteral("Computer");
    return DisplayName::decode(path.substr(path.rfind('/') + 1));
}

} // namespace MountFixture
