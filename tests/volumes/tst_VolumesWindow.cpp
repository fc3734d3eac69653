// SPDX-License-Identifier: MIT
#include "volumes/VolumeCellView.h"
#include "volumes/VolumesWindowController.h"
#include "volumes/support/MountFixture.h"
#include "window/Fmt.h"

#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>

#include <cerrno>
#include <memory>

// The chooser against an injected mount table, capacities and access probe.
class VolumesWindowTest : public QObject {
    Q_OBJECT

    std::shared_ptr<std::string> m_table;
    std::shared_ptr<int> m_probeError;
    std::vector<QUrl> m_opened;

    VolumesWindowController::Sources sources()
    {
        VolumesWindowController::Sources s;
        auto table = m_table;
        s.mounts = [table] { return MountTable::parse(*table); };
        s.facts = MountFixture::factsProvider();
        s.volumeName = &MountFixture::lastComponent;
        s.home = MountFixture::kHome;
        s.user = MountFixture::kUser;
        auto error = m_probeError;
        s.probeOpener = [error](const char*) { return *error; };
        s.openUrl = [this](const QUrl& url) { m_opened.push_back(url); };
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

    static QPoint rowCenter(const VolumesWindowController& chooser, int row)
    {
        return chooser.table()->visualItemRect(chooser.table()->item(row)).center();
    }

private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        QCoreApplication::setOrganizationName(QStringLiteral("TallyfernTest"));
        QCoreApplication::setApplicationName(QStringLiteral("tst_VolumesWindow"));
    }

    void init()
    {
        QSettings().clear();
        m_table = std::make_shared<std::string>(MountFixture::mountInfo());
        m_probeError = std::make_shared<int>(ENOENT);
        m_opened.clear();
    }

    void windowShapeAndTexts()
    {
        VolumesWindowController chooser(sources());
        QCOMPARE(chooser.windowTitle(), QStringLiteral("Tallyfern"));
        QCOMPARE(chooser.minimumSize(), QSize(420, 260));
        QCOMPARE(chooser.size(), QSize(520, 400));
        QCOMPARE(chooser.subtitleLabel()->text(), QStringLiteral("Choose a volume or folder to scan"));
        QCOMPARE(chooser.scanButton()->text(), QStringLiteral("Scan"));
        QCOMPARE(chooser.openFolderButton()->text(), QStringLiteral("Open Folder…"));
        QVERIFY(chooser.scanButton()->isDefault());
        chooser.show();
        QVERIFY(QTest::qWaitForWindowExposed(&chooser));
        QCOMPARE(
            chooser.table()->visualItemRect(chooser.table()->item(0)).height(), VolumeCellView::kRowHeight);
    }

    void rowsFromTheMountTableWithHomeLast()
    {
        VolumesWindowController chooser(sources());
        QCOMPARE(names(chooser),
            QStringList({ "Computer", "USB STICK", "remote", "CAMERA", "backup", "EMPTY", "Home Folder" }));
        QCOMPARE(chooser.table()->count(), 7);
        QCOMPARE(chooser.volumes().back().path, std::string(MountFixture::kHome));

        const auto row = [&](int i) { return VolumeCellView::configure(chooser.volumes()[std::size_t(i)]); };
        // A known capacity shows a bar of the used share and the figures.
        QVERIFY(row(0).showsBar);
        QCOMPARE(row(0).fraction, 380.0 / 500.0);
        QCOMPARE(row(0).detail,
            Fmt::bytes(380'000'000'000) + " used · " + Fmt::bytes(120'000'000'000) + " free of "
                + Fmt::bytes(500'000'000'000));
        QCOMPARE(chooser.table()->item(0)->data(VolumeCellView::DetailRole).toString(), row(0).detail);
        // No capacity, a capacity of 0 and the home folder show the path instead of a bar.
        for (const int i : { 2, 5, 6 }) {
            QVERIFY(!row(i).showsBar);
            QCOMPARE(row(i).fraction, 0.0);
            QCOMPARE(row(i).detail, QString::fromStdString(chooser.volumes()[std::size_t(i)].path));
            QCOMPARE(chooser.table()->item(i)->data(VolumeCellView::ShowsBarRole).toBool(), false);
        }
        QCOMPARE(row(5).detail, QStringLiteral("/media/ann/EMPTY"));
        QCOMPARE(chooser.table()->currentRow(), 0);
    }

    void failedListingLeavesOnlyHome()
    {
        *m_table = "";
        VolumesWindowController chooser(sources());
        QCOMPARE(names(chooser), QStringList({ "Home Folder" }));
        QCOMPARE(chooser.table()->currentRow(), 0);
    }

    void selectionKeptOrResetAcrossReloads()
    {
        VolumesWindowController chooser(sources());
        chooser.table()->setCurrentRow(3);
        *m_table += "60 22 8:113 / /media/ann/NEW rw - vfat /dev/sdi1 rw\n";
        chooser.reload();
        QCOMPARE(chooser.table()->count(), 8);
        QCOMPARE(chooser.table()->currentRow(), 3);
        QVERIFY(chooser.table()->item(3)->isSelected());
        QCOMPARE(chooser.table()->selectedItems().size(), 1);

        // The selected row no longer exists: the first row is selected.
        chooser.table()->setCurrentRow(7);
        *m_table = "22 1 8:1 / / rw - ext4 /dev/sda1 rw\n";
        chooser.reload();
        QCOMPARE(names(chooser), QStringList({ "Computer", "Home Folder" }));
        QCOMPARE(chooser.table()->currentRow(), 0);
        QVERIFY(chooser.table()->item(0)->isSelected());
    }

    void accessBannerFollowsTheProbe_data()
    {
        QTest::addColumn<int>("error");
        QTest::addColumn<bool>("shown");
        QTest::newRow("granted") << 0 << false;
        QTest::newRow("denied EACCES") << EACCES << true;
        QTest::newRow("denied EPERM") << EPERM << true;
        QTest::newRow("no such file") << ENOENT << false;
    }

    void accessBannerFollowsTheProbe()
    {
        QFETCH(int, error);
        QFETCH(bool, shown);
        *m_probeError = error;
        VolumesWindowController chooser(sources());
        chooser.show();
        QVERIFY(QTest::qWaitForWindowExposed(&chooser));
        QCOMPARE(chooser.accessBanner()->isVisible(), shown);
    }

    void grantingAccessHidesTheBannerWhenTheWindowBecomesActive()
    {
        *m_probeError = EACCES;
        VolumesWindowController chooser(sources());
        chooser.show();
        QVERIFY(QTest::qWaitForWindowActive(&chooser));
        QVERIFY(chooser.accessBanner()->isVisible());

        QWidget elsewhere;
        elsewhere.show();
        elsewhere.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&elsewhere));
        *m_probeError = 0; // the user granted access in the settings
        QVERIFY(chooser.accessBanner()->isVisible());
        chooser.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&chooser));
        QTRY_VERIFY(!chooser.accessBanner()->isVisible());

        chooser.openAccessSettings();
        QCOMPARE(m_opened.size(), std::size_t(1));
        QCOMPARE(m_opened[0], FullDiskAccessProbe::settingsUrl());
    }

    void choosingARowOpensIt()
    {
        VolumesWindowController chooser(sources());
        std::vector<std::string> opened;
        chooser.onOpen = [&](const std::string& path) { opened.push_back(path); };
        chooser.show();
        QVERIFY(QTest::qWaitForWindowActive(&chooser));

        // A double click opens the row under the pointer, as a user makes it: the first
        // click of the pair lands on that row too.
        QCOMPARE(chooser.table()->currentRow(), 0);
        QTest::mouseClick(chooser.table()->viewport(), Qt::LeftButton, {}, rowCenter(chooser, 3));
        QVERIFY(opened.empty());
        QTest::mouseDClick(chooser.table()->viewport(), Qt::LeftButton, {}, rowCenter(chooser, 3));
        QCOMPARE(opened, std::vector<std::string>({ "/run/media/ann/CAMERA" }));

        chooser.table()->setCurrentRow(1);
        chooser.table()->setFocus();
        QTest::keyClick(chooser.table(), Qt::Key_Return);
        QCOMPARE(opened.back(), std::string("/media/ann/USB STICK"));
        QCOMPARE(opened.size(), std::size_t(2)); // Return scans once, not also as "activated"

        chooser.table()->setCurrentRow(6);
        QTest::mouseClick(chooser.scanButton(), Qt::LeftButton);
        QCOMPARE(opened.back(), std::string(MountFixture::kHome));

        QSignalSpy openFolder(&chooser, &VolumesWindowController::openFolderRequested);
        QTest::mouseClick(chooser.openFolderButton(), Qt::LeftButton);
        QCOMPARE(openFolder.count(), 1);
        QCOMPARE(opened.size(), std::size_t(3));
    }

    void nothingToOpenDoesNothing()
    {
        VolumesWindowController chooser(sources());
        chooser.scanSelected(); // no onOpen
        std::vector<std::string> opened;
        chooser.onOpen = [&](const std::string& path) { opened.push_back(path); };
        chooser.table()->setCurrentRow(-1);
        chooser.scanSelected();
        chooser.scanSelected(99);
        QVERIFY(opened.empty());
    }

    void frameIsSavedAndRestored()
    {
        QRect saved;
        {
            VolumesWindowController chooser(sources());
            chooser.show();
            QVERIFY(QTest::qWaitForWindowExposed(&chooser));
            chooser.resize(610, 455);
            QTRY_COMPARE(chooser.size(), QSize(610, 455));
            chooser.close();
            saved = chooser.geometry();
        }
        QVERIFY(QSettings().contains(QLatin1String(VolumesWindowController::kFrameKey)));
        VolumesWindowController again(sources());
        QCOMPARE(again.size(), saved.size());
    }

    void closingOnlyHidesAndSaysSo()
    {
        VolumesWindowController chooser(sources());
        QSignalSpy closed(&chooser, &VolumesWindowController::closed);
        chooser.show();
        QVERIFY(QTest::qWaitForWindowExposed(&chooser));
        QVERIFY(chooser.close());
        QCOMPARE(closed.count(), 1);
        QVERIFY(!chooser.isVisible());
        chooser.hide(); // hiding is not closing
        QCOMPARE(closed.count(), 1);
    }

    void cellLayoutPutsTheDetailBelowTheBarOrTheName()
    {
        const QRect cell(0, 0, 400, VolumeCellView::kRowHeight);
        const auto withBar = VolumeCellView::layout(cell, true, 17, 14);
        QCOMPARE(withBar.icon, QRect(6, 10, 36, 36));
        QCOMPARE(withBar.name.left(), 52);
        QCOMPARE(withBar.name.top(), 7);
        QCOMPARE(withBar.bar.left(), withBar.name.left() - 3);
        QCOMPARE(withBar.bar.right() + 1, 400 - 8);
        QCOMPARE(withBar.bar.top(), withBar.name.bottom() + 1 + 1);
        QCOMPARE(withBar.bar.height(), 14);
        QCOMPARE(withBar.detail.top(), withBar.bar.bottom() + 1 + 1);
        const auto withoutBar = VolumeCellView::layout(cell, false, 17, 14);
        QCOMPARE(withoutBar.detail.top(), withoutBar.name.bottom() + 1 + 3);
        QVERIFY(withBar.detail.bottom() < VolumeCellView::kRowHeight);
    }
};

QTEST_MAIN(VolumesWindowTest)
#include "tst_VolumesWindow.moc"
