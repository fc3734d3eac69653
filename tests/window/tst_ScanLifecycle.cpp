// SPDX-License-Identifier: MIT
// Cancelling and closing while a first scan runs. The scans walk the whole root file
// system, which takes far longer than the few event-loop turns the tests need.
#include "model/TallyfernDocument.h"
#include "window/DocumentWindowController.h"
#include "window/FileOutlineView.h"

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QSignalSpy>
#include <QTest>

#include <memory>

class ScanLifecycleTest : public QObject {
    Q_OBJECT

private slots:
    void escapeCancelsAFirstScanAndClosesOnce()
    {
        DocumentWindowController window("/");
        int closes = 0;
        window.onClose = [&] { ++closes; };
        QSignalSpy closed(&window, &DocumentWindowController::closed);
        QSignalSpy ended(&window, &DocumentWindowController::scanEnded);
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QVERIFY(window.isScanning());
        QVERIFY(!window.canPerform(std::nullopt));
        QCOMPARE(window.centralWidget(), window.progressView());
        // The 0.1 s tick fills in "N files in M folders · size".
        auto* count = window.progressView()->findChild<QLabel*>(QStringLiteral("progressCount"));
        QVERIFY(count);
        QTRY_VERIFY(count->text().contains(QStringLiteral(" files in ")));
        QTest::keyClick(window.progressView(), Qt::Key_Escape);
        QVERIFY(ended.wait(20000));
        QCOMPARE(ended.first().first().toBool(), true);
        QTRY_VERIFY(!window.isVisible());
        QCOMPARE(closes, 1);
        QCOMPARE(closed.count(), 1);
        QVERIFY(!window.isScanning());
        QVERIFY(!window.disk().root());
    }

    void closingDuringAScanStopsItAndInstallsNothing()
    {
        auto window = std::make_unique<DocumentWindowController>("/");
        int closes = 0;
        window->onClose = [&] { ++closes; };
        QSignalSpy ended(window.get(), &DocumentWindowController::scanEnded);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        window->close();
        QCOMPARE(closes, 1);
        // The scan thread stops and reports; the closed window shows and installs nothing.
        QTRY_VERIFY_WITH_TIMEOUT(!window->isScanning(), 20000);
        QCOMPARE(ended.count(), 0);
        QVERIFY(!window->disk().root());
        QVERIFY(window->progressView());
        QCOMPARE(closes, 1);
        window->close();
        QCOMPARE(closes, 1);
    }

    void aRootTooLongForANodeIsRefusedWithAnAlert()
    {
        // Never scanned under a cut name: nothing is installed, the window closes, and an
        // alert says why.
        DocumentWindowController window("/" + std::string(40000, 'x'));
        window.show();
        QTRY_VERIFY_WITH_TIMEOUT(!window.isVisible(), 20000);
        QVERIFY(!window.disk().root());
        QMessageBox* alert = nullptr;
        for (QWidget* widget : QApplication::topLevelWidgets())
            if (auto* box = qobject_cast<QMessageBox*>(widget); box && box->isVisible())
                alert = box;
        QVERIFY(alert);
        QVERIFY(alert->text().contains(QStringLiteral("longer than 32,767 bytes")));
        alert->close();
    }

    void destroyingDuringAScanWaitsForTheThread()
    {
        // No close at all: the destructor cancels and joins, so nothing outlives it.
        auto window = std::make_unique<DocumentWindowController>("/");
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        QVERIFY(window->isScanning());
        window.reset();
        QCoreApplication::processEvents(); // a stray hand-over finds no window
    }
};

QTEST_MAIN(ScanLifecycleTest)
#include "tst_ScanLifecycle.moc"
