// SPDX-License-Identifier: MIT
// Saved scans reach a window by their content, whatever their name: handed over at
// launch and dropped on the chooser, beside a folder that is scanned.
#include "app/AppDelegate.h"
#include "app/support/ShellFixture.h"
#include "model/TallyfernDocument.h"
#include "scan/ScanStream.h"
#include "scan/ScanWriter.h"
#include "scan/Scanner.h"
#include "window/DocumentWindowController.h"

#include <QDropEvent>
#include <QMimeData>
#include <QSignalSpy>
#include <QTest>

class SavedScanOpenTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { ShellFixture::isolateSettings("tst_SavedScanOpen"); }

    void savedScansOpenAsSuchAndFoldersAreScanned()
    {
        ShellFixture fixture;
        const std::string file = fixture.folder("a") + "/../saved scan.data";
        {
            Scanner scanner(fixture.folder("a"));
            const FileTree tree = scanner.run();
            ScanSink sink(file);
            QVERIFY(
                ScanWriter::write(tree, ScanWriter::metadataFor(fixture.folder("a")), sink) && sink.commit());
        }
        AppDelegate delegate(fixture.environment());
        const auto isSaved = [](DocumentWindowController* window) {
            QSignalSpy ended(window, &DocumentWindowController::scanEnded);
            if (window->isScanning() && !ended.wait(20000))
                return false;
            return window->disk().savedOrigin.has_value();
        };

        delegate.open({ file });
        QCOMPARE(delegate.documents().size(), std::size_t(1));
        QVERIFY(isSaved(delegate.documents()[0]));

        delegate.showVolumes();
        QMimeData dropped;
        dropped.setUrls({ QUrl::fromLocalFile(QString::fromStdString(file)),
            QUrl::fromLocalFile(QString::fromStdString(fixture.folder("b"))) });
        QDragEnterEvent enter(QPoint(20, 20), Qt::CopyAction, &dropped, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(delegate.volumesController(), &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(QPointF(20, 20), Qt::CopyAction, &dropped, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(delegate.volumesController(), &drop);
        const std::vector<DocumentWindowController*> windows = delegate.documents();
        QCOMPARE(windows.size(), std::size_t(3));
        QVERIFY(isSaved(windows[1]));
        QVERIFY(!isSaved(windows[2]));
        QCOMPARE(windows[2]->disk().path(), fixture.folder("b"));
    }
};

QTEST_MAIN(SavedScanOpenTest)
#include "tst_SavedScanOpen.moc"
