// SPDX-License-Identifier: MIT
// The chooser against an injected mount table, capacities and access probe, and against
// real mounts made in a private mount namespace.
#include "platform/DisplayName.h"
#include "platform/gui/FullDiskAccessProbe.h"
#include "volumes/VolumeCellView.h"
#include "volumes/VolumesWindowController.h"
#include "widgets/Fmt.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <map>
#include <sched.h>
#include <sys/mount.h>

namespace {

// A mount table as the kernel writes it, for user "ann" with home /home/ann: the root
// file system, pseudo and system mounts, removable media (one label with a space),
// another user's medium, a snap, mounts in hidden folders, a network mount, a tmpfs under
// /mnt and two mounts stacked on /mnt/backup. The USB stick has no "important" figure,
// EMPTY reports a total of 0 bytes, the network mount and the backup no capacity at all.
constexpr const char* kHome = "/home/ann";

const char* mountInfo()
{
    return "22 1 8:1 / / rw,relatime shared:1 - ext4 /dev/sda1 rw,errors=remount-ro\n"
           "23 22 0:21 / /proc rw,nosuid shared:12 - proc proc rw\n"
           "24 22 0:5 / /dev rw,nosuid shared:2 - devtmpfs udev rw,size=8012345k\n"
           "30 22 8:2 / /boot rw,relatime shared:30 - ext4 /dev/sda2 rw\n"
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
           "51 22 0:70 / /mnt/tmpdisk rw shared:51 - tmpfs tmpfs rw\n";
}

VolumeFactsProvider factsProvider()
{
    return [](const std::string& path) -> std::optional<VolumeFacts> {
        // total, available, important
        static const std::map<std::string, VolumeFacts> table = {
            { "/", { {}, 500'000'000'000, 120'000'000'000, 120'000'000'000 } },
            { "/media/ann/USB STICK", { {}, 32'000'000'000, 8'000'000'000, std::nullopt } },
            { "/run/media/ann/CAMERA", { {}, 64'000'000'000, 60'000'000'000, 50'000'000'000 } },
            { "/media/ann/EMPTY", { {}, 0, 0, 0 } },
        };
        const auto it = table.find(path);
        if (it == table.end())
            return std::nullopt;
        VolumeFacts facts = it->second;
        facts.volumePath = path;
        return facts;
    };
}

// The last path component, as the platform names a volume without a label.
QString lastComponent(const std::string& path)
{
    if (path == "/")
        return QStringLiteral("Computer");
    return DisplayName::decode(path.substr(path.rfind('/') + 1));
}

} // namespace

class VolumesWindowTest : public QObject {
    Q_OBJECT

    std::string m_table;
    int m_probeError = ENOENT;

    VolumesWindowController::Sources sources()
    {
        VolumesWindowController::Sources s;
        s.mounts = [this] { return MountTable::parse(m_table); };
        s.facts = factsProvider();
        s.volumeName = &lastComponent;
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

    void init()
    {
        m_table = mountInfo();
        m_probeError = ENOENT;
    }

    void rowsFromTheMountTableWithHomeLast()
    {
        VolumesWindowController chooser(sources());
        // Pseudo and system mounts, boot partitions, snaps, another user's media, mounts in
        // hidden folders and a tmpfs are left out; of the two
        // mounts on /mnt/backup only one row.
        QCOMPARE(names(chooser),
            QStringList({ "Computer", "USB STICK", "remote", "CAMERA", "backup", "EMPTY", "Home Folder" }));
        QCOMPARE(chooser.table()->count(), 7);
        const std::vector<Volume>& volumes = chooser.volumes();
        QCOMPARE(volumes[1].path, std::string("/media/ann/USB STICK"));
        QCOMPARE(volumes.back().path, std::string(kHome));
        // Free space is the "important usage" figure where there is one, else "available".
        QCOMPARE(volumes[1].free, std::optional<std::int64_t>(8'000'000'000));
        QCOMPARE(volumes[3].free, std::optional<std::int64_t>(50'000'000'000));

        const auto row = [&](int i) { return VolumeCellView::configure(volumes[std::size_t(i)]); };
        QVERIFY(row(0).showsBar);
        QCOMPARE(row(0).fraction, 380.0 / 500.0);
        QCOMPARE(chooser.table()->item(0)->data(VolumeCellView::DetailRole).toString(),
            Fmt::bytes(380'000'000'000) + " used · " + Fmt::bytes(120'000'000'000) + " free of "
                + Fmt::bytes(500'000'000'000));
        // No capacity, a capacity of 0 and the home folder show the path instead of a bar.
        for (const int i : { 2, 4, 5, 6 }) {
            QVERIFY(!chooser.table()->item(i)->data(VolumeCellView::ShowsBarRole).toBool());
            QCOMPARE(row(i).detail, QString::fromStdString(volumes[std::size_t(i)].path));
        }
        QCOMPARE(chooser.table()->currentRow(), 0);
    }

    void selectionKeptOrResetAcrossReloads()
    {
        VolumesWindowController chooser(sources());
        chooser.table()->setCurrentRow(3);
        m_table += "60 22 8:113 / /media/ann/NEW rw - vfat /dev/sdi1 rw\n";
        chooser.reload();
        QCOMPARE(chooser.table()->count(), 8);
        QCOMPARE(chooser.table()->selectedItems(), QList<QListWidgetItem*> { chooser.table()->item(3) });

        // The selected row is gone: the first row is selected. In a container "/" is an
        // overlay, still the computer's disk to the user.
        chooser.table()->setCurrentRow(7);
        m_table = "1 0 0:30 / / rw - overlay overlay rw\n";
        chooser.reload();
        QCOMPARE(names(chooser), QStringList({ "Computer", "Home Folder" }));
        QCOMPARE(chooser.table()->selectedItems(), QList<QListWidgetItem*> { chooser.table()->item(0) });

        // A table that cannot be read leaves the home folder alone.
        m_table = "garbage\n\n12 x\n";
        chooser.reload();
        QCOMPARE(names(chooser), QStringList({ "Home Folder" }));
        QCOMPARE(chooser.table()->currentRow(), 0);
    }

    void probeOutcomesAndTheBanner_data()
    {
        QTest::addColumn<int>("error");
        QTest::addColumn<int>("outcome");
        QTest::newRow("granted") << 0 << int(FullDiskAccessProbe::Outcome::Granted);
        QTest::newRow("EACCES") << EACCES << int(FullDiskAccessProbe::Outcome::Missing);
        QTest::newRow("EPERM") << EPERM << int(FullDiskAccessProbe::Outcome::Missing);
        QTest::newRow("ENOENT") << ENOENT << int(FullDiskAccessProbe::Outcome::Unknown);
        QTest::newRow("EIO") << EIO << int(FullDiskAccessProbe::Outcome::Unknown);
    }

    void probeOutcomesAndTheBanner()
    {
        QFETCH(int, error);
        QFETCH(int, outcome);
        QCOMPARE(int(FullDiskAccessProbe([error](const char*) { return error; }).run()), outcome);
        // Only a missing permission shows the banner.
        m_probeError = error;
        VolumesWindowController chooser(sources());
        chooser.show();
        QVERIFY(QTest::qWaitForWindowExposed(&chooser));
        QCOMPARE(chooser.accessBanner()->isVisible(), outcome == int(FullDiskAccessProbe::Outcome::Missing));
    }

    void choosingARowOpensIt()
    {
        VolumesWindowController chooser(sources());
        std::vector<std::string> opened;
        chooser.onOpen = [&](const std::string& path) { opened.push_back(path); };
        chooser.show();
        QVERIFY(QTest::qWaitForWindowActive(&chooser));
        // A double click as a user makes it: the first click of the pair selects the row.
        const QPoint camera = chooser.table()->visualItemRect(chooser.table()->item(3)).center();
        QTest::mouseClick(chooser.table()->viewport(), Qt::LeftButton, {}, camera);
        QVERIFY(opened.empty());
        QTest::mouseDClick(chooser.table()->viewport(), Qt::LeftButton, {}, camera);
        QCOMPARE(opened, std::vector<std::string>({ "/run/media/ann/CAMERA" }));

        chooser.table()->setCurrentRow(1);
        chooser.table()->setFocus();
        QTest::keyClick(chooser.table(), Qt::Key_Return);
        // Return scans once, not also as "activated".
        QCOMPARE(opened, std::vector<std::string>({ "/run/media/ann/CAMERA", "/media/ann/USB STICK" }));
        chooser.table()->setCurrentRow(6);
        QTest::mouseClick(chooser.scanButton(), Qt::LeftButton);
        QCOMPARE(opened.back(), std::string(kHome));
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
