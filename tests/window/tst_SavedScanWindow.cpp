// SPDX-License-Identifier: MIT
// Saved scans in a document window: one from another machine, one from here whose files
// come and go, and files that must be refused.
#include "model/TallyfernDocument.h"
#include "scan/ScanReader.h"
#include "scan/ScanStream.h"
#include "scan/ScanWriter.h"
#include "scan/Scanner.h"
#include "support/TreeChecks.h"
#include "window/DocumentWindowController.h"
#include "window/FileOutlineView.h"
#include "window/support/WindowFixture.h"

#include <QLabel>

#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QtTest>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <sys/resource.h>

namespace fs = std::filesystem;

namespace {

constexpr const char* kForeign = R"([1,2,{"progname":"gdu","progver":"5.22","timestamp":1700000000,
"host":"elsewhere.example","volume_capacity":10000000,"volume_available":4000000,"volume_path":"/srv"},
[{"name":"/srv"},
[{"name":"docs"},{"name":"a.pdf","asize":500000,"dsize":503808},
{"name":"link","asize":8192,"dsize":8192,"ino":7,"hlnkc":true}],
{"name":"first","asize":8192,"dsize":8192},
{"name":"n\u00e4me\nwith newline","asize":1000,"dsize":4096}]]
)";

void writeText(const std::string& path, std::string_view text)
{
    std::ofstream(path, std::ios::binary) << text;
}

// The saved scan in `file` as its reader sees it, order aside.
std::vector<std::string> contentsOf(const std::string& file)
{
    ScanSource source(file);
    std::string error;
    const std::optional<SavedScan> scan = ScanReader::read(source, error);
    if (!scan)
        return { error };
    std::vector<std::string> rows = snapshot(scan->tree.root);
    std::sort(rows.begin(), rows.end());
    return rows;
}

std::unique_ptr<DocumentWindowController> openSaved(const std::string& file)
{
    return shownWithTree(
        std::make_unique<DocumentWindowController>(DocumentWindowController::SavedScanFile { file }));
}

const Command kFileCommands[] = { Command::OpenItem, Command::RevealInFileManager, Command::QuickLook,
    Command::MoveToTrash, Command::Rescan };

} // namespace

class TestSavedScanWindow : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { DocumentFixture::isolateHome(); }
    void scanFromAnotherHostShowsItsFactsAndKeepsFilesAlone();
    void scanFromHereActsOnlyOnItemsStillHere();
    void badFilesGiveOneMessageAndNoWindow_data();
    void badFilesGiveOneMessageAndNoWindow();
};

void TestSavedScanWindow::scanFromAnotherHostShowsItsFactsAndKeepsFilesAlone()
{
    QTemporaryDir dir;
    // Content, not the name, says it is a saved scan.
    const std::string file = dir.filePath(QStringLiteral("from-server.data")).toStdString();
    writeText(file, kForeign);
    QVERIFY(ScanReader::isSavedScan(file));
    auto window = openSaved(file);
    QVERIFY(window);
    TallyfernDocument& disk = window->disk();

    QVERIFY(window->windowTitle().contains(QStringLiteral("saved scan from elsewhere.example")));
    const QString summary = window->findChild<QLabel*>(QStringLiteral("summary"))->text();
    QVERIFY2(summary.contains(QStringLiteral("elsewhere.example"))
            && summary.contains(QStringLiteral("hard links")),
        qPrintable(summary));
    // Free and other space from the metadata fill the volume's capacity.
    QVERIFY(disk.freeNode() && disk.freeNode()->parent);
    QCOMPARE(disk.freeNode()->size, 4000000);
    QCOMPARE(disk.root()->size, 10000000);
    QCOMPARE(disk.scannedBytes(), 503808 + 8192 + 8192 + 4096);

    window->select(nodeAt(disk.root(), "docs/a.pdf"));
    for (const Command command : kFileCommands) {
        QVERIFY(!window->canPerform(command));
        QVERIFY(window->disabledReason(command).contains(QStringLiteral("elsewhere.example")));
    }
    QVERIFY(window->canPerform(Command::CopyPath));
    QVERIFY(!window->canPerform(Command::RescanAll));

    // Save Scan As through its panel, compressed by the name; the file read back holds
    // the same tree, and the new window still knows where the scan was made.
    const auto saveAs = [&](const std::string& path) {
        window->perform(Command::SaveScanAs);
        auto* panel = window->findChild<QFileDialog*>(QStringLiteral("saveScanPanel"));
        auto* name = panel ? panel->findChild<QLineEdit*>(QStringLiteral("fileNameEdit")) : nullptr;
        QVERIFY(name);
        panel->selectFile(QString::fromStdString(path));
        QTest::keyClick(name, Qt::Key_Return);
    };
    // A disk that fills up (a file size limit, which binds root too): said so, and
    // nothing left behind.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit {};
    getrlimit(RLIMIT_FSIZE, &limit);
    const rlimit full { 16, limit.rlim_max };
    setrlimit(RLIMIT_FSIZE, &full);
    saveAs(dir.filePath(QStringLiteral("full.json")).toStdString());
    QTRY_VERIFY(window->findChild<QMessageBox*>(QStringLiteral("saveFailed")));
    setrlimit(RLIMIT_FSIZE, &limit);
    QCOMPARE(std::distance(fs::directory_iterator(dir.path().toStdString()), {}), 1);
    const std::string saved = dir.filePath(QStringLiteral("again.json.gz")).toStdString();
    saveAs(saved);
    QTRY_VERIFY(
        window->findChild<QLabel*>(QStringLiteral("status"))->text().startsWith(QStringLiteral("Saved")));
    QCOMPARE(contentsOf(saved), contentsOf(file));
    auto again = openSaved(saved);
    QVERIFY(again && !again->canPerform(Command::RevealInFileManager));
}

void TestSavedScanWindow::scanFromHereActsOnlyOnItemsStillHere()
{
    FolderFixture folder;
    folder.write("keep/a.bin", 40000);
    folder.write("gone.bin", 90000);
    QTemporaryDir dir;
    const std::string file = dir.filePath(QStringLiteral("here.json")).toStdString();
    {
        Scanner scanner(folder.path(""));
        const FileTree tree = scanner.run();
        ScanSink sink(file);
        QVERIFY(ScanWriter::write(tree, ScanWriter::metadataFor(folder.path("")), sink) && sink.commit());
    }
    auto window = openSaved(file);
    QVERIFY(window);
    FileNode* root = window->disk().root();
    QVERIFY(window->windowTitle().contains(QStringLiteral("saved scan")));

    window->select(nodeAt(root, "gone.bin"));
    for (const Command command : kFileCommands)
        QVERIFY2(window->canPerform(command), qPrintable(window->disabledReason(command)));
    fs::remove(folder.path("gone.bin"));
    for (const Command command : { Command::OpenItem, Command::MoveToTrash }) {
        QVERIFY(!window->canPerform(command));
        QVERIFY(window->disabledReason(command).contains(QStringLiteral("not on this computer")));
    }
    window->select(nodeAt(root, "keep/a.bin"));
    QVERIFY(window->canPerform(Command::MoveToTrash));

    // Rescanning everything makes it a scan of this folder as it is now.
    QSignalSpy ended(window.get(), &DocumentWindowController::scanEnded);
    window->perform(Command::RescanAll);
    QVERIFY(ended.wait(20000));
    QVERIFY(!window->disk().savedOrigin);
    QVERIFY(!window->windowTitle().contains(QStringLiteral("saved scan")));
    QCOMPARE(window->disk().root()->fileCount, 1);
}

void TestSavedScanWindow::badFilesGiveOneMessageAndNoWindow_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::newRow("truncated") << QByteArray(kForeign).left(200);
    QTest::newRow("major version 2") << QByteArray(R"([2,0,{},[{"name":"/x"}]])");
}

void TestSavedScanWindow::badFilesGiveOneMessageAndNoWindow()
{
    QFETCH(QByteArray, content);
    QTemporaryDir dir;
    const std::string file = dir.filePath(QStringLiteral("bad.json")).toStdString();
    writeText(file, content.toStdString());
    QVERIFY(ScanReader::isSavedScan(file)); // by its name, whatever it holds
    DocumentWindowController window { DocumentWindowController::SavedScanFile { file } };
    QSignalSpy closed(&window, &DocumentWindowController::closed);
    window.show();
    QVERIFY(closed.wait(20000));
    QVERIFY(!window.disk().root());
    QList<QMessageBox*> boxes;
    for (QWidget* top : QApplication::topLevelWidgets())
        if (auto* box = qobject_cast<QMessageBox*>(top); box && box->objectName() == "savedScanRefused")
            boxes << box;
    QCOMPARE(boxes.size(), 1);
    const QString message = boxes.front()->informativeText();
    QVERIFY2(message.contains(QString::fromStdString(file)) && message.contains(QStringLiteral("byte")),
        qPrintable(message));
    delete boxes.front();
}

QTEST_MAIN(TestSavedScanWindow)
#include "tst_SavedScanWindow.moc"
