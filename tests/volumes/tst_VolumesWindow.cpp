// SPDX-License-Identifier: MIT
// The chooser against an injected mount table, capacities and access probe, and against
// real mounts in a private mount namespace.
#include "platform/DisplayName.h"
#include "volumes/VolumeCellView.h"
#include "volumes/VolumesWindowController.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <sched.h>
#include <sys/mount.h>

namespace {

// A mount table as the kernel writes it, for user "ann" with home /home/ann: the root
// file system, pseudo and system mounts, removable media (one label with a space),
// another user's medium, a snap, mounts in hidden folders, a network mount, a tmpfs under
// /mnt and two mounts stacked on /mnt/backup. The network mount and the backup have no
// capacity at all.
constexpr const char* kHome = "/home/ann";

constexpr const char* kMountInfo
    = "22 1 8:1 / / rw,relatime shared:1 - ext4 /dev/sda1 rw,errors=remount-ro\n"
      "23 22 0:21 / /proc rw,nosuid shared:12 - proc proc rw\n"
      "30 22 8:2 / /boot rw,relatime shared:30 - ext4 /dev/sda2 rw\n"
      "41 22 8:17 / /media/ann/USB\\040STICK rw,nosuid shared:41 - vfat /dev/sdb1 rw\n"
      "42 22 7:0 / /snap/core/1 ro,nodev shared:42 - squashfs /dev/loop0 ro\n"
      "44 22 8:33 / /mnt/backup rw shared:44 - ext4 /dev/sdc1 rw\n"
      "45 22 0:60 / /home/ann/remote rw shared:45 - fuse.sshfs ann@host:/ rw\n"
      "46 22 0:61 / /run/media/ann/CAMERA rw shared:46 - exfat /dev/sdd1 rw\n"
      "47 22 0:62 / /run/media/bob/OTHER rw shared:47 - exfat /dev/sde1 rw\n"
      "48 22 8:65 / /home/ann/.local/disk rw shared:48 - ext4 /dev/sdf1 rw\n"
      "49 44 8:34 / /mnt/backup rw shared:49 - ext4 /dev/sdc2 rw\n"
      "50 22 8:81 / /media/ann/EMPTY rw shared:50 - vfat /dev/sdg1 rw\n"
      "51 22 0:70 / /mnt/tmpdisk rw shared:51 - tmpfs tmpfs rw\n";

} // namespace

class VolumesWindowTest : public QObject {
    Q_OBJECT

    std::string m_table;
    int m_probeError = ENOENT;

    VolumesWindowController::Sources sources()
    {
        VolumesWindowController::Sources s;
        s.mounts = [this] { return MountTable::parse(m_table); };
        // Total, available, important: the stick has no "important" figure, EMPTY a total of 0.
        s.facts = [](const std::string& path) -> std::optional<VolumeFacts> {
            const std::int64_t GB = 1'000'000'000;
            if (path == "/")
                return VolumeFacts { path, 500 * GB, 120 * GB, 120 * GB };
            if (path == "/media/ann/USB STICK")
                return VolumeFacts { path, 32 * GB, 8 * GB, std::nullopt };
            if (path == "/run/media/ann/CAMERA")
                return VolumeFacts { path, 64 * GB, 60 * GB, 50 * GB };
            return path == "/media/ann/EMPTY" ? std::optional(VolumeFacts { path, 0, 0, 0 }) : std::nullopt;
        };
        s.volumeName = [](const std::string& path) {
            return path == "/" ? QStringLiteral("Computer")
                               : DisplayName::decode(path.substr(path.rfind('/') + 1));
        };
        s.home = kHome;
        s.user = "ann";
        s.probeOpener = [this](const char*) { return m_probeError; };
        s.watchMounts = false;
        return s;
    }

    static QStringList names(const VolumesWindowController& chooser)
    {
        QStringList out;
        for (const Volume& v : chooser.volumes())
            out << v.name;
        return out;
    }

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    void rowsOpeningAndReloads()
    {
        m_table = kMountInfo;
        for (const int error : { 0, EPERM, ENOENT, EIO }) { // no banner unless the permission is missing
            m_probeError = error;
            VolumesWindowController chooser(sources());
            chooser.show();
            QVERIFY(QTest::qWaitForWindowExposed(&chooser));
            QCOMPARE(chooser.accessBanner()->isVisible(), error == EPERM);
        }
        m_probeError = EACCES;
        VolumesWindowController chooser(sources());
        std::vector<std::string> opened;
        chooser.onOpen = [&](const std::string& path) { opened.push_back(path); };
        chooser.show();
        QVERIFY(QTest::qWaitForWindowActive(&chooser));
        QVERIFY(chooser.accessBanner()->isVisible());
        // Pseudo and system mounts, boot partitions, snaps, another user's media, mounts in
        // hidden folders and a tmpfs are left out; of the two on /mnt/backup only one row.
        QCOMPARE(names(chooser),
            QStringList({ "Computer", "USB STICK", "remote", "CAMERA", "backup", "EMPTY", "Home Folder" }));
        const std::vector<Volume>& volumes = chooser.volumes();
        // Free space is the "important usage" figure where there is one, else "available".
        QCOMPARE(volumes[1].free, std::optional<std::int64_t>(8'000'000'000));
        QCOMPARE(volumes[3].free, std::optional<std::int64_t>(50'000'000'000));
        // No capacity, a capacity of 0 and the home folder show the path instead of a bar.
        for (std::size_t i = 0; i < volumes.size(); ++i) {
            const VolumeCellView::Row row = VolumeCellView::configure(volumes[i]);
            QCOMPARE(row.showsBar, i == 0 || i == 1 || i == 3);
            QCOMPARE(row.detail == QString::fromStdString(volumes[i].path), !row.showsBar);
        }
        QCOMPARE(VolumeCellView::configure(volumes[0]).fraction, 380.0 / 500.0);
        QCOMPARE(chooser.table()->currentRow(), 0);

        // A double click as a user makes it: the first click of the pair selects the row.
        const QPoint camera = chooser.table()->visualItemRect(chooser.table()->item(3)).center();
        QTest::mouseClick(chooser.table()->viewport(), Qt::LeftButton, {}, camera);
        QVERIFY(opened.empty());
        QTest::mouseDClick(chooser.table()->viewport(), Qt::LeftButton, {}, camera);
        chooser.table()->setCurrentRow(1);
        QTest::keyClick(chooser.table(), Qt::Key_Return); // once, not also as "activated"
        chooser.table()->setCurrentRow(6);
        QTest::mouseClick(chooser.scanButton(), Qt::LeftButton);
        QCOMPARE(
            opened, std::vector<std::string>({ "/run/media/ann/CAMERA", "/media/ann/USB STICK", kHome }));

        // A new medium keeps the selected row; when that row is gone, the first is selected.
        chooser.table()->setCurrentRow(3);
        m_table += "60 22 8:113 / /media/ann/NEW rw - vfat /dev/sdi1 rw\n";
        chooser.reload();
        QCOMPARE(chooser.table()->count(), 8);
        QCOMPARE(chooser.table()->selectedItems(), QList<QListWidgetItem*> { chooser.table()->item(3) });
        // In a container "/" is an overlay, still the computer's disk to the user.
        m_table = "1 0 0:30 / / rw - overlay overlay rw\n";
        chooser.reload();
        QCOMPARE(names(chooser), QStringList({ "Computer", "Home Folder" }));
        QCOMPARE(chooser.table()->selectedItems(), QList<QListWidgetItem*> { chooser.table()->item(0) });
        // A table that cannot be read leaves the home folder alone.
        m_table = "garbage\n\n12 x\n";
        chooser.reload();
        QCOMPARE(names(chooser), QStringList({ "Home Folder" }));
    }

    // Runs last: it moves the whole program into its own mount namespace.
    void listFollowsRealMounts()
    {
        QTemporaryDir dir;
        const QByteArray point = QFile::encodeName(dir.path() + QStringLiteral("/disk"));
        QVERIFY(QDir().mkpath(QFile::decodeName(point)));
        if (::unshare(CLONE_NEWNS) != 0 || ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0
            || ::mount("tallyfern-test", point.constData(), "tmpfs", 0, "size=1m") != 0)
            QSKIP("no right to mount in a private namespace");
        ::umount(point.constData());
        VolumesWindowController::Sources s = sources();
        s.watchMounts = true;
        s.home = QFile::encodeName(dir.path()).toStdString();
        // The scratch tmpfs stands in for a disk; a real tmpfs would be left out.
        s.mounts = [point = point.toStdString()] {
            std::vector<MountEntry> mounts = MountTable::current();
            for (MountEntry& mount : mounts)
                if (mount.mountPoint == point) {
                    mount.fsType = "ext4";
                    mount.source = "/dev/sdz1";
                }
            return mounts;
        };
        VolumesWindowController chooser(s);
        const int rows = chooser.table()->count();
        QCOMPARE(::mount("tallyfern-test", point.constData(), "tmpfs", 0, "size=1m"), 0);
        QTRY_COMPARE(chooser.table()->count(), rows + 1);
        QVERIFY(names(chooser).contains(QStringLiteral("disk")));
        QCOMPARE(::umount(point.constData()), 0);
        QTRY_COMPARE(chooser.table()->count(), rows);
    }
};

QTEST_MAIN(VolumesWindowTest)
#include "tst_VolumesWindow.moc"
