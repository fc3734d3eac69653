// SPDX-License-Identifier: MIT
#include "app/AppDelegate.h"
#include "app/Links.h"
#include "app/support/ShellFixture.h"
#include "model/TallyfernDocument.h"
#include "window/DocumentWindowController.h"

#include <QAction>
#include <QApplication>
#include <QListWidget>
#include <QMenuBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

// Launch, opening and closing of windows, and the lifecycle rules of the shell.
class AppDelegateTest : public QObject {
    Q_OBJECT

    static std::vector<std::string> paths(const AppDelegate& delegate)
    {
        std::vector<std::string> out;
        for (DocumentWindowController* document : delegate.documents())
            out.push_back(document->disk().path());
        return out;
    }

    static bool waitForScan(DocumentWindowController* document)
    {
        if (!document->isScanning())
            return true;
        QSignalSpy ended(document, &DocumentWindowController::scanEnded);
        return ended.wait(10000);
    }

private slots:
    void initTestCase() { ShellFixture::isolateSettings("tst_AppDelegate"); }

    void launchWithoutPathsShowsTheChooserFirst()
    {
        ShellFixture fixture;
        AppDelegate delegate(fixture.environment());
        delegate.open({});
        delegate.applicationDidFinishLaunching();
        QVERIFY(!delegate.launchedWithFiles());
        QVERIFY(delegate.documents().empty());
        QVERIFY(delegate.volumesController());
        QVERIFY(QTest::qWaitForWindowActive(delegate.volumesController()));
        QCOMPARE(delegate.volumesController()->volumes().back().name, QStringLiteral("Home Folder"));
    }

    void launchWithTwoPathsOpensTwoWindowsAndNoChooser()
    {
        ShellFixture fixture;
        AppDelegate delegate(fixture.environment());
        delegate.open({ fixture.folder("b"), fixture.folder("a") });
        delegate.applicationDidFinishLaunching();
        QVERIFY(delegate.launchedWithFiles());
        QCOMPARE(paths(delegate), std::vector<std::string>({ fixture.folder("b"), fixture.folder("a") }));
        QVERIFY(!delegate.volumesController());
        for (DocumentWindowController* document : delegate.documents()) {
            QVERIFY(document->isVisible());
            QVERIFY(document->menuBar()->actions().size() == 7);
            QVERIFY(waitForScan(document));
            QVERIFY(document->disk().root());
        }
    }

    void openPanelOpensEachChosenFolderInOrder()
    {
        ShellFixture fixture;
        AppDelegate delegate(fixture.environment());
        *fixture.panelAnswer
            = std::vector<std::string> { fixture.folder("c"), fixture.folder("a"), fixture.folder("b") };
        delegate.applicationActions().action(ApplicationActions::Id::OpenFolder)->trigger();
        QCOMPARE(paths(delegate),
            std::vector<std::string>({ fixture.folder("c"), fixture.folder("a"), fixture.folder("b") }));
        QVERIFY(!delegate.launchedWithFiles());

        // Cancelling the panel opens nothing.
        fixture.panelAnswer->reset();
        delegate.openFolder();
        QCOMPARE(delegate.documents().size(), std::size_t(3));
        for (DocumentWindowController* document : delegate.documents())
            QVERIFY(waitForScan(document));
    }

    void chooserButtonAndRowsReachTheDelegate()
    {
        ShellFixture fixture;
        AppDelegate delegate(fixture.environment());
        delegate.applicationDidFinishLaunching();
        VolumesWindowController* chooser = delegate.volumesController();
        QVERIFY(QTest::qWaitForWindowActive(chooser));

        *fixture.panelAnswer = std::vector<std::string> { fixture.folder("a") };
        QTest::mouseClick(chooser->openFolderButton(), Qt::LeftButton);
        QCOMPARE(paths(delegate), std::vector<std::string>({ fixture.folder("a") }));
        // Opening a document hides the chooser, which stays for later.
        QVERIFY(!chooser->isVisible());
        QCOMPARE(delegate.volumesController(), chooser);

        // New Scan… shows it again with a list read afresh.
        const int rowsBefore = chooser->table()->count();
        *fixture.mountInfo += "50 22 8:33 / /mnt/backup rw - ext4 /dev/sdc1 rw\n";
        delegate.applicationActions().action(ApplicationActions::Id::NewScan)->trigger();
        QVERIFY(chooser->isVisible());
        QCOMPARE(chooser->table()->count(), rowsBefore + 1);

        // Choosing a row opens it.
        chooser->table()->setCurrentRow(0);
        QTest::mouseClick(chooser->scanButton(), Qt::LeftButton);
        QCOMPARE(paths(delegate), std::vector<std::string>({ fixture.folder("a"), "/" }));
        QVERIFY(!chooser->isVisible());
        // Stop the scan of "/" at once: it is not what this test is about.
        delegate.documents().back()->close();
        QVERIFY(waitForScan(delegate.documents().front()));
    }

    void sameFolderTwiceGivesTwoScans()
    {
        ShellFixture fixture;
        AppDelegate delegate(fixture.environment());
        DocumentWindowController* first = delegate.openDocument(fixture.folder("a"));
        DocumentWindowController* second = delegate.openDocument(fixture.folder("a"));
        QVERIFY(first != second);
        QVERIFY(&first->disk() != &second->disk());
        QVERIFY(waitForScan(first));
        QVERIFY(waitForScan(second));
        QVERIFY(first->disk().root() && second->disk().root());
        QVERIFY(first->disk().root() != second->disk().root());
        QCOMPARE(first->disk().root()->size, second->disk().root()->size);
    }

    void closingOneOfThreeRemovesExactlyThatController()
    {
        ShellFixture fixture;
        AppDelegate delegate(fixture.environment());
        delegate.open({ fixture.folder("a"), fixture.folder("b"), fixture.folder("c") });
        delegate.applicationDidFinishLaunching();
        const std::vector<DocumentWindowController*> opened = delegate.documents();
        QCOMPARE(opened.size(), std::size_t(3));
        QPointer<DocumentWindowController> middle = opened[1];
        QVERIFY(middle->close());
        QCOMPARE(delegate.documents(), std::vector<DocumentWindowController*>({ opened[0], opened[2] }));
        QTRY_VERIFY(middle.isNull()); // its last owner let go
        QVERIFY(opened[0]->isVisible() && opened[2]->isVisible());
        // Windows remain: no chooser comes up.
        QVERIFY(!delegate.volumesController());
        QCOMPARE(*fixture.terminations, 0);
    }

    void chooserReturnsWhenTheLastWindowCloses()
    {
        ShellFixture fixture;
        AppDelegate delegate(fixture.environment());
        delegate.open({ fixture.folder("a"), fixture.folder("b") });
        delegate.applicationDidFinishLaunching();
        delegate.documents()[0]->close();
        QVERIFY(!delegate.volumesController());
        delegate.documents()[0]->close();
        QVERIFY(delegate.documents().empty());
        QVERIFY(delegate.volumesController());
        QVERIFY(delegate.volumesController()->isVisible());
        QCOMPARE(*fixture.terminations, 0);
    }

    void closingTheChooserQuitsOnlyWithoutDocuments()
    {
        ShellFixture fixture;
        AppDelegate delegate(fixture.environment());
        delegate.applicationDidFinishLaunching();
        VolumesWindowController* chooser = delegate.volumesController();
        QVERIFY(QTest::qWaitForWindowExposed(chooser));

        // With a document open, closing the chooser only hides it.
        delegate.openDocument(fixture.folder("a"));
        delegate.showVolumes();
        QVERIFY(chooser->close());
        QCOMPARE(*fixture.terminations, 0);
        QCOMPARE(delegate.documents().size(), std::size_t(1));

        // Closing the last document brings the chooser back; closing that quits.
        delegate.documents()[0]->close();
        QVERIFY(chooser->isVisible());
        QVERIFY(chooser->close());
        QCOMPARE(*fixture.terminations, 1);
    }

    void quitClosesEveryWindowAndEnds()
    {
        ShellFixture fixture;
        AppDelegate delegate(fixture.environment());
        delegate.open({ fixture.folder("a"), fixture.folder("b") });
        delegate.applicationDidFinishLaunching();
        QPointer<DocumentWindowController> first = delegate.documents()[0];
        QVERIFY(QTest::qWaitForWindowExposed(first));
        first->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(first));
        QTest::keyClick(first.data(), Qt::Key_Q, Qt::ControlModifier);
        QCOMPARE(*fixture.terminations, 1);
        QVERIFY(delegate.documents().empty());
        // Quitting does not bring the chooser up on the way out.
        QVERIFY(!delegate.volumesController() || !delegate.volumesController()->isVisible());
        QTRY_VERIFY(first.isNull());
    }

    void linksGoWhereTheMenuSays()
    {
        ShellFixture fixture;
        AppDelegate delegate(fixture.environment());
        using Id = ApplicationActions::Id;
        delegate.applicationActions().action(Id::Website)->trigger();
        delegate.applicationActions().action(Id::Privacy)->trigger();
        delegate.applicationActions().action(Id::SendFeedback)->trigger();
        delegate.applicationActions().action(Id::CheckForUpdates)->trigger();
        const std::vector<QUrl> expected
            = { Links::website(), Links::privacy(), Links::feedbackEmail(), Links::releases() };
        QCOMPARE(*fixture.openedUrls, expected);

        // F1 in a window opens the support pages.
        delegate.applicationDidFinishLaunching();
        VolumesWindowController* chooser = delegate.volumesController();
        QVERIFY(QTest::qWaitForWindowActive(chooser));
        QTest::keyClick(chooser->table(), Qt::Key_F1);
        QCOMPARE(fixture.openedUrls->back(), Links::support());
    }
};

QTEST_MAIN(AppDelegateTest)
#include "tst_AppDelegate.moc"
