// SPDX-License-Identifier: MIT
// Folder and full rescans of a document window on a real folder that changes on disk.
#include "model/TallyfernDocument.h"
#include "window/FileOutlineView.h"
#include "window/support/CommandFixture.h"

#include <QLabel>
#include <QThreadPool>
#include <QtTest>

#include <filesystem>

namespace fs = std::filesystem;

class TestRescanCommands : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { CommandFixture::isolateHome(); }
    void init()
    {
        m_fixture = std::make_unique<CommandFixture>();
        QVERIFY(m_fixture->open());
    }
    void cleanup()
    {
        m_fixture.reset();
        QThreadPool::globalInstance()->waitForDone();
    }

    void folderRescanSplicesWhatChangedOnDisk();
    void rescanOfAFolderTrashedMeanwhileIsDropped();
    void closingTheWindowDuringARescan();
    void whichFolderIsRescanned();

private:
    FileNode* node(const std::string& relative) const { return m_fixture->node(relative); }
    DocumentWindowController& window() const { return *m_fixture->window; }
    bool rescanRunning() const { return !window().canPerform(Command::Rescan); }

    std::unique_ptr<CommandFixture> m_fixture;
};

void TestRescanCommands::folderRescanSplicesWhatChangedOnDisk()
{
    FolderFixture& disk = m_fixture->folder;
    FileNode* root = node("");
    FileNode* docs = node("docs");
    m_fixture->reveal(node("docs/deep/l2/l3/l4/big.bin")); // docs … l4 open
    m_fixture->reveal(node("media/photo.jpg")); // media open too
    m_fixture->selectRows({ node("docs/notes.txt"), node("media/photo.jpg") });
    const std::int64_t rootSize = root->size;
    const std::int64_t rootCount = root->fileCount;
    const std::int64_t docsSize = docs->size;
    const std::int64_t draft = node("docs/draft.md")->size;

    disk.write("docs/new.dat", 500'000);
    disk.write("docs/deep/extra.bin", 70'000);
    fs::remove(disk.path("docs/draft.md"));
    const std::int64_t added = disk.allocated("docs/new.dat") + disk.allocated("docs/deep/extra.bin");

    window().perform(Command::Rescan); // notes.txt comes first: its folder, docs
    QCOMPARE(window().statusLabel()->text(),
        QStringLiteral("Rescanning ") + QString::fromStdString(docs->path()) + QStringLiteral("…"));
    QVERIFY(rescanRunning());
    QVERIFY(!window().canPerform(Command::RescanAll));
    QVERIFY(window().canPerform(Command::ZoomIn)); // the rest of the window stays usable
    QTRY_VERIFY_WITH_TIMEOUT(!rescanRunning(), 20000);

    QCOMPARE(node("docs"), docs); // same node, new contents
    QVERIFY(node("docs/new.dat"));
    QVERIFY(node("docs/deep/extra.bin"));
    QVERIFY(!node("docs/draft.md"));
    QCOMPARE(docs->size, docsSize - draft + added);
    QCOMPARE(root->size, rootSize - draft + added);
    QCOMPARE(root->fileCount, rootCount + 1);
    QCOMPARE(CommandFixture::checkTree(root), std::string());

    // Open folders and selected rows survive, inside the rescanned folder too.
    FileOutlineView* outline = window().outlineView();
    QVERIFY(outline->isExpanded(m_fixture->indexOf(node("docs"))));
    QVERIFY(outline->isExpanded(m_fixture->indexOf(node("docs/deep/l2/l3"))));
    QVERIFY(outline->isExpanded(m_fixture->indexOf(node("media"))));
    QCOMPARE(window().selectedNodes(),
        (std::vector<FileNode*> { node("docs/notes.txt"), node("media/photo.jpg") }));
    QVERIFY(!window().statusLabel()->text().startsWith(QStringLiteral("Rescanning")));
}

void TestRescanCommands::rescanOfAFolderTrashedMeanwhileIsDropped()
{
    m_fixture->click(node("media"));
    window().perform(Command::Rescan);
    QVERIFY(rescanRunning());
    // Trash the folder before the result can arrive (it is delivered by the event loop).
    window().perform(Command::MoveToTrash);
    QVERIFY(m_fixture->confirmTrash());
    QVERIFY(!node("media"));
    const std::int64_t rootSize = node("")->size;

    QTRY_VERIFY_WITH_TIMEOUT(!rescanRunning(), 20000);
    QVERIFY(!node("media"));
    QCOMPARE(node("")->size, rootSize);
    QCOMPARE(CommandFixture::checkTree(node("")), std::string());
}

void TestRescanCommands::closingTheWindowDuringARescan()
{
    m_fixture->click(node("docs"));
    window().perform(Command::Rescan);
    QVERIFY(rescanRunning());
    m_fixture->close();
    // The background scan ends and its result finds no window.
    QThreadPool::globalInstance()->waitForDone();
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
    QVERIFY(!m_fixture->window);
}

void TestRescanCommands::whichFolderIsRescanned()
{
    // Two folders: the first in outline order (docs is larger than media).
    m_fixture->selectRows({ node("media"), node("docs") });
    window().perform(Command::Rescan);
    QVERIFY(window().statusLabel()->text().contains(QString::fromStdString(node("docs")->path())));
    QTRY_VERIFY_WITH_TIMEOUT(!rescanRunning(), 20000);

    // A package stands for its parent folder: here the root, so everything is scanned.
    m_fixture->click(node("Tool.app"));
    window().perform(Command::Rescan);
    QVERIFY(window().isScanning());
    QVERIFY(window().progressView());
    QSignalSpy ended(&window(), &DocumentWindowController::scanEnded);
    QVERIFY(ended.wait(20000));
    QCOMPARE(window().treemapView()->root(), node(""));

    // Nothing selected: everything too.
    window().outlineView()->clearSelection();
    window().perform(Command::Rescan);
    QVERIFY(window().isScanning());
    QVERIFY(ended.wait(20000));

    window().perform(Command::RescanAll);
    QVERIFY(window().isScanning());
    QVERIFY(!window().canPerform(Command::RescanAll));
    QVERIFY(ended.wait(20000));
    QVERIFY(node("docs/deep/l2/l3/l4/big.bin"));
}

QTEST_MAIN(TestRescanCommands)
#include "tst_rescancommands.moc"
