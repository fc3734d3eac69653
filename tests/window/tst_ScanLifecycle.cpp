// SPDX-License-Identifier: MIT
// Cancelling and closing while a first scan runs, and scans that run out of memory. The
// scans list through a reader that holds every listing until the test lets it go, so they
// run exactly as long as needed.
#include "model/TallyfernDocument.h"
#include "scan/NodeArena.h"
#include "window/Command.h"
#include "window/DocumentWindowController.h"
#include "window/FileOutlineView.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QMessageBox>
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

// The system's reader, except that reading a folder waits until open() is called.
class GateReader : public DirectoryReader {
public:
    ~GateReader() override { open(); }
    long readBatch(int fd, char* buffer, std::size_t size) const override
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this] { return m_open; });
        return DirectoryReader::readBatch(fd, buffer, size);
    }
    void open()
    {
        std::lock_guard lock(m_mutex);
        m_open = true;
        m_changed.notify_all();
    }

private:
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_changed;
    bool m_open = false;
};

} // namespace

namespace {

// Chunks for node arenas while a test limits them; then every request fails.
std::atomic<long> s_chunksLeft { 0 };
void* limitedChunk(std::size_t bytes)
{
    return s_chunksLeft.fetch_sub(1) > 0 ? std::malloc(bytes) : nullptr;
}

// Closes the message that memory ran out; false when there is none.
bool closeFailureAlert(const QString& reason = QStringLiteral("out of memory"))
{
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (auto* box = qobject_cast<QMessageBox*>(widget);
            box && box->isVisible() && box->text().contains(reason))
            return box->close();
    return false;
}

} // namespace

class ScanLifecycleTest : public QObject {
    Q_OBJECT

private slots:
    void escapeCancelsAFirstScanAndClosesOnce()
    {
        GateReader reader;
        DocumentWindowController window(QDir::tempPath().toStdString(), {}, reader);
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
        QVERIFY(window.isScanning());
        QTest::keyClick(window.progressView(), Qt::Key_Escape);
        reader.open();
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
        GateReader reader;
        auto window = std::make_unique<DocumentWindowController>(
            QDir::tempPath().toStdString(), VolumeFactsProvider {}, reader);
        int closes = 0;
        window->onClose = [&] { ++closes; };
        QSignalSpy ended(window.get(), &DocumentWindowController::scanEnded);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        QVERIFY(window->isScanning());
        window->close();
        QCOMPARE(closes, 1);
        reader.open();
        // The scan thread stops and reports; the closed window shows and installs nothing.
        QTRY_VERIFY_WITH_TIMEOUT(!window->isScanning(), 20000);
        QCOMPARE(ended.count(), 0);
        QVERIFY(!window->disk().root());
        QVERIFY(window->progressView());
        QCOMPARE(closes, 1);
        window->close();
        QCOMPARE(closes, 1);
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
        QVERIFY(window.isVisible() && !window.progressView());
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

    void destroyingDuringAScanWaitsForTheThread()
    {
        // No close at all: the destructor cancels and joins, so nothing outlives it.
        GateReader reader;
        auto window = std::make_unique<DocumentWindowController>(
            QDir::tempPath().toStdString(), VolumeFactsProvider {}, reader);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        QVERIFY(window->isScanning());
        // Let go, the thread runs on while the destructor cancels and joins it, before
        // the document and scanner it uses go.
        reader.open();
        window.reset();
        QCoreApplication::processEvents(); // a stray hand-over finds no window
    }
};

QTEST_MAIN(ScanLifecycleTest)
#include "tst_ScanLifecycle.moc"
