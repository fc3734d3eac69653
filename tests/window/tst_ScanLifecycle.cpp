// SPDX-License-Identifier: MIT
// Cancelling, closing and destroying while a scan runs, and scans that run out of memory
// or cannot start. Scans list through a reader that holds every listing while its gate is
// shut, so they run exactly as long as the test needs.
#include "model/TallyfernDocument.h"
#include "scan/NodeArena.h"
#include "window/DocumentWindowController.h"
#include "window/FileOutlineView.h"
#include "window/KeyTableView.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <condition_variable>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <mutex>

namespace {

// The system's reader, except that reading a folder waits while the gate is shut.
class GateReader : public DirectoryReader {
public:
    ~GateReader() override { open(); }
    long readBatch(int fd, char* buffer, std::size_t size) const override
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this] { return m_open; });
        return DirectoryReader::readBatch(fd, buffer, size);
    }
    void open(bool open = true)
    {
        std::lock_guard lock(m_mutex);
        m_open = open;
        m_changed.notify_all();
    }

private:
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_changed;
    bool m_open = false;
};

// Chunks for node arenas while a test limits them; then every request fails.
std::atomic<long> s_chunksLeft { 0 };
void* limitedChunk(std::size_t bytes)
{
    return s_chunksLeft.fetch_sub(1) > 0 ? std::malloc(bytes) : nullptr;
}

// Closes the message that names `reason`; false when there is none.
bool closeFailureAlert(const QString& reason = QStringLiteral("out of memory"))
{
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (auto* box = qobject_cast<QMessageBox*>(widget);
            box && box->isVisible() && box->text().contains(reason))
            return box->close();
    return false;
}

// The progress view is up (rather than the outline, the kinds and the treemap).
bool showsProgress(const DocumentWindowController& window)
{
    return window.centralWidget() && !window.centralWidget()->isAncestorOf(window.outlineView());
}

} // namespace

class ScanLifecycleTest : public QObject {
    Q_OBJECT
    QTemporaryDir m_folder; // what the gated scans list

private slots:
    void escapeCancelsAFirstScanAndClosesOnce()
    {
        GateReader reader;
        DocumentWindowController window(m_folder.path().toStdString(), {}, reader);
        int closes = 0;
        window.onClose = [&] { ++closes; };
        QSignalSpy ended(&window, &DocumentWindowController::scanEnded);
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QVERIFY(window.isScanning() && showsProgress(window));
        QVERIFY(!window.canPerform(std::nullopt));
        // The 0.1 s tick fills in "N files in M folders · size".
        QTRY_VERIFY(
            window.findChild<QLabel*>(QStringLiteral("progressCount"))->text().contains(" files in "));
        QTest::keyClick(window.centralWidget(), Qt::Key_Escape);
        reader.open();
        QVERIFY(ended.wait(20000));
        QCOMPARE(ended.first().first().toBool(), true);
        QTRY_VERIFY(!window.isVisible());
        QCOMPARE(closes, 1);
        QVERIFY(!window.isScanning() && !window.disk().root());
    }

    void closingOrDestroyingDuringAScanStopsItAndInstallsNothing()
    {
        GateReader reader;
        auto window = std::make_unique<DocumentWindowController>(
            m_folder.path().toStdString(), VolumeFactsProvider {}, reader);
        int closes = 0;
        window->onClose = [&] { ++closes; };
        QSignalSpy ended(window.get(), &DocumentWindowController::scanEnded);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        window->close();
        reader.open();
        // The scan thread stops and reports; the closed window shows and installs nothing.
        QTRY_VERIFY_WITH_TIMEOUT(!window->isScanning(), 20000);
        QCOMPARE(ended.count(), 0);
        QVERIFY(!window->disk().root() && showsProgress(*window));
        window->close();
        QCOMPARE(closes, 1);

        // No close at all: the destructor cancels and joins the thread before the
        // document and scanner it uses go.
        reader.open(false);
        window = std::make_unique<DocumentWindowController>(
            m_folder.path().toStdString(), VolumeFactsProvider {}, reader);
        window->show();
        QVERIFY(window->isScanning());
        reader.open();
        window.reset();
        QCoreApplication::processEvents(); // a stray hand-over finds no window
    }

    void aCancelledRescanReturnsToTheInstalledTree()
    {
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("media")));
        std::ofstream(dir.filePath(QStringLiteral("media/song.mp3")).toStdString()) << "la";
        GateReader reader;
        reader.open();
        DocumentWindowController window(dir.path().toStdString(), {}, reader);
        QSignalSpy ended(&window, &DocumentWindowController::scanEnded);
        window.show();
        QVERIFY(ended.wait(20000));
        FileNode* root = window.disk().root();
        window.treemapView()->setRoot(root->child(0));

        reader.open(false);
        window.perform(Command::RescanAll);
        QVERIFY(window.isScanning() && showsProgress(window) && !window.canPerform(std::nullopt));
        QCOMPARE(window.outlineView()->model()->rowCount(), 0); // no rows while the tree may change
        QTest::mouseClick(window.findChild<QPushButton*>(QStringLiteral("cancel")), Qt::LeftButton);
        reader.open();
        QVERIFY(ended.wait(20000));
        QCOMPARE(ended.last().first().toBool(), true);
        QVERIFY(window.isVisible() && !showsProgress(window));
        QCOMPARE(window.disk().root(), root);
        QCOMPARE(window.treemapView()->root(), root);
        QCOMPARE(window.outlineView()->model()->rowCount(), 1);
        QVERIFY(window.kindsTable()->model()->rowCount() > 0);
    }

    void memoryRunningOutKeepsTheTreeOrClosesTheWindowWithAMessage()
    {
        QTemporaryDir dir;
        for (int i = 0; i < 200; ++i)
            std::ofstream(dir.filePath(QString::number(i)).toStdString()) << i;
        s_chunksLeft = 1L << 40;
        NodeArena::setChunkSource(&limitedChunk);
        DocumentWindowController window(dir.path().toStdString());
        QSignalSpy ended(&window, &DocumentWindowController::scanEnded);
        window.show();
        QVERIFY(ended.wait(20000));
        FileNode* root = window.disk().root();
        QVERIFY(root && root->fileCount == 200);

        // A full rescan that runs out keeps the tree the window shows.
        s_chunksLeft = 0;
        window.perform(Command::RescanAll);
        QVERIFY(ended.wait(20000));
        QCOMPARE(window.disk().root(), root);
        QCOMPARE(root->fileCount, 200);
        QVERIFY(window.isVisible() && !showsProgress(window));
        QVERIFY(closeFailureAlert());

        // A first scan has nothing to keep: the window closes, with the message.
        DocumentWindowController first(dir.path().toStdString());
        int closes = 0;
        first.onClose = [&] { ++closes; };
        first.show();
        QTRY_COMPARE_WITH_TIMEOUT(closes, 1, 20000);
        NodeArena::setChunkSource(nullptr);
        QVERIFY(!first.disk().root());
        QVERIFY(closeFailureAlert());
    }

    void aRootTooLongForANodeIsRefusedWithAnAlert()
    {
        // Never scanned under a cut name: nothing is installed, the window closes, and an
        // alert says why.
        DocumentWindowController window("/" + std::string(40000, 'x'));
        window.show();
        QTRY_VERIFY_WITH_TIMEOUT(!window.isVisible(), 20000);
        QVERIFY(!window.disk().root());
        QVERIFY(closeFailureAlert(QStringLiteral("longer than 32,767 bytes")));
    }
};

QTEST_MAIN(ScanLifecycleTest)
#include "tst_ScanLifecycle.moc"
