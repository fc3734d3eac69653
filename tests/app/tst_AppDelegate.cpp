// SPDX-License-Identifier: MIT
#include "app/AppDelegate.h"
#include "app/support/ShellFixture.h"
#include "model/TallyfernDocument.h"
#include "window/DocumentWindowController.h"

#include <QApplication>
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
            QVERIFY(waitForScan(document));
            QVERIFY(document->disk().root());
        }
    }

    void closingWindowsOneByOneUntilTheChooserReturns()
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
        QVERIFY(!delegate.volumesController()); // windows remain: no chooser

        QVERIFY(opened[0]->close());
        QVERIFY(!delegate.volumesController());
        QVERIFY(opened[2]->close());
        QVERIFY(delegate.documents().empty());
        QVERIFY(delegate.volumesController() && delegate.volumesController()->isVisible());
        QCOMPARE(*fixture.terminations, 0);
        // Closing the chooser with no document left ends the program.
        QVERIFY(delegate.volumesController()->close());
        QCOMPARE(*fixture.terminations, 1);
    }
};

QTEST_MAIN(AppDelegateTest)
#include "tst_AppDelegate.moc"
