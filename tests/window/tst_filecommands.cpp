// SPDX-License-Identifier: MIT
// Moving to the Trash, copying and rescanning, on a real folder that changes on disk,
// with the keys a user presses.
#include "model/TallyfernDocument.h"
#include "widgets/Fmt.h"
#include "window/CommandActions.h"
#include "window/FileOutlineView.h"
#include "window/support/CommandFixture.h"

#include <QAction>
#include <QClipboard>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QThreadPool>
#include <QtTest>

#include <filesystem>

namespace fs = std::filesystem;

class TestFileCommands : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { CommandFixture::isolateHome(); }
    void init();
    void cleanup();

    void trashingOneFileMovesItAndUpdatesEveryTotal();
    void aFolderWithFilesInsideIsOneItem();
    void failuresAreReportedOnceAndTheRestIsTrashed();
    void twelveFailuresListTheFirstTen();
    void trashingTheZoomRootOrItsAncestorZoomsOut();
    void copiedPathsReachTheClipboard();
    void folderRescanSplicesWhatChangedOnDisk();
    void rescanOfAFolderTrashedMeanwhileIsDropped();
    void closingTheWindowDuringARescan();

private:
    FileNode* node(const std::string& relative) const { return m_fixture->node(relative); }
    DocumentWindowController& window() const { return *m_fixture->window; }
    bool rescanRunning() const { return !window().canPerform(Command::Rescan); }
    void press(QKeyCombination key) const
    {
        QTest::keyClick(window().outlineView(), key.key(), key.keyboardModifiers());
    }
    // The visible sheet of that name (a closed one may linger until deleted).
    QMessageBox* sheet(const char* name) const
    {
        for (QMessageBox* box : window().findChildren<QMessageBox*>(QLatin1String(name)))
            if (box->isVisible())
                return box;
        return nullptr;
    }
    static QPushButton* button(QMessageBox* box, const QString& text)
    {
        for (QAbstractButton* b : box->buttons())
            if (b->text() == text)
                return qobject_cast<QPushButton*>(b);
        return nullptr;
    }
    void confirmTrash() const { QVERIFY(m_fixture->confirmTrash()); }

    std::unique_ptr<CommandFixture> m_fixture;
    std::unique_ptr<CommandActions> m_actions;
};

void TestFileCommands::init()
{
    m_fixture = std::make_unique<CommandFixture>();
    QVERIFY(m_fixture->open());
    // The application's shared actions, so the keys work as they do in the program.
    m_actions = std::make_unique<CommandActions>();
    DocumentWindowController* document = m_fixture->window.get();
    // As in the program, a closed window is no longer the active document.
    m_actions->setActiveDocumentLookup([document = QPointer(document)] { return document.data(); });
    m_actions->watch(document);
    document->setCommandActions(m_actions.get());
    for (std::size_t i = 0; i < CommandActions::kCount; ++i)
        document->addAction(m_actions->action(Command(i)));
    document->activateWindow();
    window().outlineView()->setFocus();
}

void TestFileCommands::cleanup()
{
    m_fixture.reset();
    m_actions.reset();
    QThreadPool::globalInstance()->waitForDone();
}

void TestFileCommands::trashingOneFileMovesItAndUpdatesEveryTotal()
{
    FileNode* notes = node("docs/notes.txt");
    FileNode* docs = node("docs");
    FileNode* root = node("");
    const std::int64_t size = notes->size;
    const std::int64_t docsSize = docs->size;
    const std::int64_t rootSize = root->size;
    const std::int64_t rootCount = root->fileCount;
    const std::string original = notes->path();

    m_fixture->click(notes);
    press(Qt::Key_Delete);
    QMessageBox* confirmation = sheet("trashConfirmation");
    QVERIFY(confirmation);
    QCOMPARE(confirmation->text(), QStringLiteral("Move “notes.txt” to the Trash?"));
    QCOMPARE(confirmation->informativeText(),
        QStringLiteral("This frees up to ") + Fmt::bytes(size)
            + QStringLiteral(" once the Trash is emptied."));
    QCOMPARE(confirmation->defaultButton(), button(confirmation, QStringLiteral("Move to Trash")));
    confirmTrash();

    // Moved, not deleted: the bytes are in the trash of the XDG data home.
    const fs::path inTrash = fs::path(CommandFixture::trashFiles()) / "notes.txt";
    QVERIFY(fs::exists(inTrash));
    QCOMPARE(std::int64_t(fs::file_size(inTrash)), std::int64_t(40'000));
    QVERIFY(!fs::exists(original));

    QCOMPARE(docs->indexOfChild(notes), std::ptrdiff_t(-1));
    QCOMPARE(docs->size, docsSize - size);
    QCOMPARE(root->size, rootSize - size);
    QCOMPARE(root->fileCount, rootCount - 1);
    QCOMPARE(treeFaults(root), std::string());
    QVERIFY(window().selectedNodes().empty());
    QVERIFY(!sheet("trashFailures"));
}

void TestFileCommands::aFolderWithFilesInsideIsOneItem()
{
    FileNode* docs = node("docs");
    m_fixture->selectRows({ docs, node("docs/notes.txt"), node("docs/draft.md") });
    QCOMPARE(window().selectedNodes().size(), std::size_t(3));
    window().perform(Command::MoveToTrash);
    QMessageBox* confirmation = sheet("trashConfirmation");
    QVERIFY(confirmation);
    QCOMPARE(confirmation->text(), QStringLiteral("Move “docs” to the Trash?"));
    QVERIFY(confirmation->informativeText().contains(Fmt::bytes(docs->size)));

    // Cancel leaves everything as it was.
    QTest::mouseClick(button(confirmation, QStringLiteral("Cancel")), Qt::LeftButton);
    QVERIFY(fs::exists(docs->path()));
    QCOMPARE(node("docs"), docs);
    QVERIFY(!fs::exists(CommandFixture::trashFiles() + "/docs"));

    window().perform(Command::MoveToTrash);
    confirmTrash();
    QVERIFY(fs::exists(CommandFixture::trashFiles() + "/docs/deep/l2/l3/l4/big.bin"));
    QVERIFY(fs::exists(CommandFixture::trashFiles() + "/docs/notes.txt"));
    QVERIFY(!node("docs"));
    QCOMPARE(treeFaults(node("")), std::string());
}

void TestFileCommands::failuresAreReportedOnceAndTheRestIsTrashed()
{
    FileNode* root = node("");
    FileNode* media = node("media");
    FileNode* many = node("many");
    FileNode* top = node("top.bin");
    FileNode* clip = node("media/clip.mov");
    FileNode* log = node("many/f01.log");
    m_fixture->workspace->refused.insert(clip->path());
    const std::int64_t rootSize = root->size;
    const std::int64_t manySize = many->size;
    const std::int64_t mediaSize = media->size;
    const std::int64_t gone = top->size + log->size;

    m_fixture->selectRows({ top, clip, log });
    press(Qt::ControlModifier | Qt::Key_Backspace);
    QCOMPARE(sheet("trashConfirmation")->text(), QStringLiteral("Move 3 items to the Trash?"));
    QVERIFY(sheet("trashConfirmation")->informativeText().contains(Fmt::bytes(gone + clip->size)));
    confirmTrash();

    QVERIFY(!node("top.bin"));
    QVERIFY(!node("many/f01.log"));
    QCOMPARE(node("media/clip.mov"), clip);
    QVERIFY(fs::exists(clip->path()));
    QCOMPARE(root->size, rootSize - gone);
    QCOMPARE(many->size, manySize - log->size);
    QCOMPARE(media->size, mediaSize);
    QCOMPARE(treeFaults(root), std::string());
    QVERIFY(fs::exists(CommandFixture::trashFiles() + "/top.bin"));
    QVERIFY(fs::exists(CommandFixture::trashFiles() + "/f01.log"));

    QMessageBox* report = sheet("trashFailures");
    QVERIFY(report);
    QCOMPARE(report->text(), QStringLiteral("Some items couldn’t be moved to the Trash."));
    QCOMPARE(report->informativeText(), QStringLiteral("clip.mov: Operation not permitted"));
}

void TestFileCommands::twelveFailuresListTheFirstTen()
{
    std::vector<FileNode*> logs;
    for (int i = 1; i <= 12; ++i) {
        logs.push_back(node(QStringLiteral("many/f%1.log").arg(i, 2, 10, QLatin1Char('0')).toStdString()));
        m_fixture->workspace->refused.insert(logs.back()->path());
    }
    m_fixture->click(logs.front());
    m_fixture->click(logs.back(), Qt::ShiftModifier);
    QCOMPARE(window().selectedNodes().size(), std::size_t(12));
    window().perform(Command::MoveToTrash);
    QCOMPARE(sheet("trashConfirmation")->text(), QStringLiteral("Move 12 items to the Trash?"));
    confirmTrash();

    const QStringList lines = sheet("trashFailures")->informativeText().split(QLatin1Char('\n'));
    QCOMPARE(lines.size(), 10);
    QCOMPARE(lines.front(), QStringLiteral("f01.log: Operation not permitted"));
    QCOMPARE(lines.back(), QStringLiteral("f10.log: Operation not permitted"));
    QCOMPARE(node("many")->childCount(), std::size_t(12));
}

void TestFileCommands::trashingTheZoomRootOrItsAncestorZoomsOut()
{
    m_fixture->click(node("media/photo.jpg"));
    window().perform(Command::ZoomIn);
    QCOMPARE(window().treemapView()->root(), node("media"));
    m_fixture->click(node("media"));
    window().perform(Command::MoveToTrash);
    confirmTrash();
    QCOMPARE(window().treemapView()->root(), node(""));
    QVERIFY(window().windowTitle().endsWith(QString::fromStdString(m_fixture->folder.root())));

    m_fixture->click(node("docs/deep/l2/l3/l4/big.bin"));
    window().perform(Command::ZoomIn);
    QCOMPARE(window().treemapView()->root(), node("docs/deep/l2/l3/l4"));
    m_fixture->click(node("docs/deep"));
    window().perform(Command::MoveToTrash);
    confirmTrash();
    QCOMPARE(window().treemapView()->root(), node("docs"));
    // The kinds describe the new zoom root.
    std::int64_t kinds = 0;
    for (const KindStat& stat : window().disk().kindStats)
        kinds += stat.size;
    QCOMPARE(kinds, node("docs")->size);
}

void TestFileCommands::copiedPathsReachTheClipboard()
{
    FileNode* a = node("docs");
    FileNode* b = node("media/photo.jpg");
    FileNode* c = node("top.bin");
    m_fixture->selectRows({ c, b, a });
    const QString expected = QString::fromStdString(a->path() + "\n" + b->path() + "\n" + c->path());

    QGuiApplication::clipboard()->clear();
    press(Qt::ControlModifier | Qt::Key_C);
    QCOMPARE(QGuiApplication::clipboard()->text(), expected);

    QGuiApplication::clipboard()->setText(QStringLiteral("something else"));
    press(Qt::ControlModifier | Qt::AltModifier | Qt::Key_C);
    QCOMPARE(QGuiApplication::clipboard()->text(), expected);

    // Only the free-space item: nothing to copy, the clipboard keeps what it had.
    m_fixture->click(window().disk().freeNode());
    press(Qt::ControlModifier | Qt::Key_C);
    QCOMPARE(QGuiApplication::clipboard()->text(), expected);
}

void TestFileCommands::folderRescanSplicesWhatChangedOnDisk()
{
    FolderFixture& disk = m_fixture->folder;
    FileNode* root = node("");
    FileNode* docs = node("docs");
    m_fixture->reveal(node("docs/deep/l2/l3/l4/big.bin")); // docs … l4 open
    m_fixture->reveal(node("media/photo.jpg")); // media open too
    m_fixture->click(node("docs/deep/l2"));
    window().perform(Command::ZoomIn); // the treemap shows a folder inside the one rescanned
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
    QCOMPARE(treeFaults(root), std::string());

    // Open folders and selected rows survive, inside the rescanned folder too.
    FileOutlineView* outline = window().outlineView();
    QVERIFY(outline->isExpanded(m_fixture->indexOf(node("docs"))));
    QVERIFY(outline->isExpanded(m_fixture->indexOf(node("docs/deep/l2/l3"))));
    QVERIFY(outline->isExpanded(m_fixture->indexOf(node("media"))));
    QCOMPARE(window().selectedNodes(),
        (std::vector<FileNode*> { node("docs/notes.txt"), node("media/photo.jpg") }));
    QVERIFY(!window().statusLabel()->text().startsWith(QStringLiteral("Rescanning")));

    // The zoom stays on the same folder of the new contents, not on the replaced one.
    QCOMPARE(window().treemapView()->root(), node("docs/deep/l2"));
    QVERIFY(window().canPerform(Command::ZoomOut));
    QCOMPARE(window().disk().focus, node("docs/deep/l2"));
}

void TestFileCommands::rescanOfAFolderTrashedMeanwhileIsDropped()
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
    QCOMPARE(treeFaults(node("")), std::string());
}

void TestFileCommands::closingTheWindowDuringARescan()
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

QTEST_MAIN(TestFileCommands)
#include "tst_filecommands.moc"
