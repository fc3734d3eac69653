// SPDX-License-Identifier: MIT
#include "platform/gui/MountWatcher.h"
#include "volumes/VolumesWindowController.h"
#include "volumes/support/MountFixture.h"

#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <cstring>
#include <sched.h>
#include <sys/mount.h>

// Real mounts in a private mount namespace: the watcher hears them and the chooser's
// list follows. Needs the right to mount (root in most CI containers); skipped without.
class MountWatchTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QByteArray m_point;
    bool m_canMount = false;
    QString m_why;

private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        QVERIFY(m_dir.isValid());
        m_point = QFile::encodeName(m_dir.path() + QStringLiteral("/disk"));
        QVERIFY(QDir().mkpath(m_dir.path() + QStringLiteral("/disk")));
        // Mounts made here stay in this process's own namespace.
        if (::unshare(CLONE_NEWNS) != 0
            || ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
            m_why = QStringLiteral("no private mount namespace: %1")
                        .arg(QString::fromLocal8Bit(std::strerror(errno)));
            return;
        }
        if (::mount("tallyfern-test", m_point.constData(), "tmpfs", 0, "size=1m") != 0) {
            m_why = QStringLiteral("cannot mount: %1").arg(QString::fromLocal8Bit(std::strerror(errno)));
            return;
        }
        ::umount(m_point.constData());
        m_canMount = true;
    }

    void watcherHearsMountAndUnmount()
    {
        if (!m_canMount)
            QSKIP(qPrintable(m_why));
        MountWatcher watcher;
        QVERIFY(watcher.isWatching());
        QSignalSpy changed(&watcher, &MountWatcher::changed);
        QCOMPARE(::mount("tallyfern-test", m_point.constData(), "tmpfs", 0, "size=1m"), 0);
        QVERIFY(changed.count() > 0 || changed.wait(5000));
        changed.clear();
        QCOMPARE(::umount(m_point.constData()), 0);
        QVERIFY(changed.count() > 0 || changed.wait(5000));
    }

    void chooserListFollowsTheMountTable()
    {
        if (!m_canMount)
            QSKIP(qPrintable(m_why));
        VolumesWindowController::Sources sources;
        const std::string point = m_point.toStdString();
        // The scratch tmpfs stands in for a disk; a real tmpfs would be left out.
        sources.mounts = [point] {
            std::vector<MountEntry> mounts = MountTable::current();
            for (MountEntry& mount : mounts) {
                if (mount.mountPoint == point)
                    mount.fsType = "ext4";
            }
            return mounts;
        };
        sources.home = QFile::encodeName(m_dir.path()).toStdString();
        sources.user = "tester";
        sources.volumeName = &MountFixture::lastComponent;
        sources.probeOpener = [](const char*) { return ENOENT; };
        VolumesWindowController chooser(sources);
        const auto hasDisk = [&] {
            for (const Volume& v : chooser.volumes())
                if (v.path == point)
                    return true;
            return false;
        };
        QVERIFY(!hasDisk());
        const int rows = chooser.table()->count();
        QCOMPARE(::mount("tallyfern-test", m_point.constData(), "tmpfs", 0, "size=1m"), 0);
        QTRY_VERIFY(hasDisk());
        QCOMPARE(chooser.table()->count(), rows + 1);
        QCOMPARE(::umount(m_point.constData()), 0);
        QTRY_VERIFY(!hasDisk());
        QCOMPARE(chooser.table()->count(), rows);
    }
};

QTEST_MAIN(MountWatchTest)
#include "tst_MountWatch.moc"
