// SPDX-License-Identifier: MIT
// A document window on a real folder that changes on disk, driven with the clicks and
// keys a user makes. Which command applies to what is tested in DocumentCommandsTest.
#include "model/TallyfernDocument.h"
#include "widgets/ItemRoles.h"
#include "window/CommandActions.h"
#include "window/FileOutlineModel.h"
#include "window/FileOutlineView.h"
#include "window/KeyTableView.h"
#include "window/KindsTableModel.h"
#include "window/support/WindowFixture.h"

#include <QClipboard>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QScrollBar>
#include <QThreadPool>
#include <QtTest>

#include <cstdlib>
#include <filesystem>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

class DocumentFlowsTest : public QObject {
    Q_OBJECT

    FileNode* node(const std::string& relative) const { return m_fixture->node(relative); }
    DocumentWindowController& window() const { return **m_fixture; }
    FileNode* zoomRoot() const { return window().treemapView()->root(); }
    bool rescanRunning() const { return !window().canPerform(Command::Rescan); }
    void press(QKeyCombination key) const
    {
        QTest::keyClick(window().outlineView(), key.key(), key.keyboardModifiers());
    }

    std::unique_ptr<DocumentFixture> m_fixture;
    std::unique_ptr<CommandActions> m_actions;

private slots:
    void initTestCase() { DocumentFixture::isolateHome(); }
    void init()
    {
        m_fixture = std::make_unique<DocumentFixture>();
        QVERIFY(m_fixture->open());
        // The application's shared actions, so the keys work as they do in the program.
        m_actions = std::make_unique<CommandActions>();
        DocumentWindowController* document = m_fixture->window.get();
        m_actions->setActiveDocumentLookup([document = QPointer(document)] { return document.data(); });
        m_actions->watch(document);
        document->setCommandActions(m_actions.get());
        for (std::size_t i = 0; i < CommandActions::kCount; ++i)
            document->addAction(m_actions->action(Command(i)));
        document->activateWindow();
        window().outlineView()->setFocus();
    }
    void cleanup()
    {
        m_fixture.reset();
        m_actions.reset();
        QThreadPool::globalInstance()->waitForDone();
    }

    void trashMovesWhatItCanAndTheViewsFollow()
    {
        FileNode* root = node("");
        FileNode* many = node("many");
        FileNode* deep = node("docs/deep");
        FileNode* top = node("top.bin");
        FileNode* log = node("many/f01.log");
        m_fixture->workspace->refused.insert(top->path());
        // Two double clicks on a deep block go down one level each.
        m_fixture->clickBlock(node("docs/deep/l2/l3/l4/big.bin"), true);
        QCOMPARE(zoomRoot(), node("docs"));
        m_fixture->clickBlock(node("docs/deep/l2/l3/l4/big.bin"), true);
        QCOMPARE(zoomRoot(), deep);
        // Open folders and a scrolled view, which the Trash must leave as they are.
        FileOutlineView* outline = window().outlineView();
        for (FileNode* n : { node("docs/report.pdf"), node("media/photo.jpg"), log })
            m_fixture->reveal(n);
        QScrollBar* bar = outline->verticalScrollBar();
        QTRY_VERIFY(bar->maximum() > 40);
        const std::int64_t rootSize = root->size, rootCount = root->fileCount, manySize = many->size;
        const std::int64_t gone = deep->size + log->size;

        m_fixture->selectRows({ deep, top, log });
        press(Qt::Key_Delete);
        QVERIFY(m_fixture->answerTrash(QStringLiteral("Cancel")));
        QVERIFY(fs::exists(deep->path()) && node("docs/deep") == deep);
        bar->setValue(bar->maximum());
        auto* seen
            = static_cast<FileNode*>(outline->indexAt(QPoint(1, 1)).data(ItemRoles::Node).value<void*>());
        QVERIFY(seen && seen != deep && !seen->hasAncestor(deep) && seen != log);
        press(Qt::ControlModifier | Qt::Key_Backspace);
        QVERIFY(m_fixture->answerTrash());

        // Moved, not deleted: the bytes are in the trash of the XDG data home.
        QVERIFY(fs::exists(DocumentFixture::trashFiles() + "/deep/l2/l3/l4/big.bin"));
        QVERIFY(fs::exists(DocumentFixture::trashFiles() + "/f01.log"));
        QVERIFY(!fs::exists(m_fixture->path("docs/deep")));
        QVERIFY(fs::exists(top->path()) && node("top.bin") == top);
        QVERIFY(!node("docs/deep") && !node("many/f01.log"));
        QCOMPARE(root->size, rootSize - gone);
        QCOMPARE(root->fileCount, rootCount - 2);
        QCOMPARE(many->size, manySize - log->size);
        QCOMPARE(treeFaults(root), std::string());
        auto* report = window().findChild<QMessageBox*>(QStringLiteral("trashFailures"));
        QVERIFY(report && report->informativeText().startsWith(QStringLiteral("top.bin: ")));

        // The zoom left the trashed folder for its parent, and the kinds describe it.
        QCOMPARE(zoomRoot(), node("docs"));
        std::int64_t kinds = 0;
        for (const KindStat& stat : window().disk().kindStats)
            kinds += stat.size;
        QCOMPARE(kinds, node("docs")->size);
        QVERIFY(window().selectedNodes().empty());
        // The outline was edited, not reset: open folders stay open, the view stays put.
        for (const char* open : { "", "docs", "media", "many" })
            QVERIFY2(outline->isExpanded(m_fixture->indexOf(node(open))), open);
        QVERIFY(bar->value() > 0);
        QVERIFY(outline->viewport()->rect().intersects(outline->visualRect(m_fixture->indexOf(seen))));
    }

    void copiedPathsReachTheClipboardInOutlineOrder()
    {
        m_fixture->selectRows({ node("top.bin"), node("media/photo.jpg"), node("docs") });
        const QString expected = QString::fromStdString(
            node("docs")->path() + "\n" + node("media/photo.jpg")->path() + "\n" + node("top.bin")->path());
        QGuiApplication::clipboard()->clear();
        press(Qt::ControlModifier | Qt::Key_C);
        QCOMPARE(QGuiApplication::clipboard()->text(), expected);
        // Only the free-space item: nothing to copy, the clipboard keeps what it had.
        m_fixture->selectRows({ window().disk().freeNode() });
        press(Qt::ControlModifier | Qt::Key_C);
        QCOMPARE(QGuiApplication::clipboard()->text(), expected);
    }

    void folderRescanSplicesWhatChangedOnDisk()
    {
        FileNode* root = node("");
        FileNode* docs = node("docs");
        FileOutlineView* outline = window().outlineView();
        m_fixture->reveal(node("docs/deep/l2/l3/l4/big.bin")); // docs … l4 open
        m_fixture->reveal(node("media/photo.jpg"));
        m_fixture->selectRows({ node("docs/deep/l2") });
        window().perform(Command::ZoomIn); // the treemap shows a folder inside the one rescanned
        m_fixture->selectRows({ node("docs/notes.txt"), node("media/photo.jpg") });
        const std::int64_t rootSize = root->size, rootCount = root->fileCount;
        const std::int64_t draft = node("docs/draft.md")->size;

        m_fixture->write("docs/new.dat", 500'000);
        m_fixture->write("docs/deep/extra.bin", 70'000);
        fs::remove(m_fixture->path("docs/draft.md"));

        press(Qt::ControlModifier | Qt::Key_R); // notes.txt comes first: its folder, docs
        QVERIFY(rescanRunning());
        QVERIFY(window().canPerform(Command::ZoomIn)); // the rest of the window stays usable
        QTRY_VERIFY_WITH_TIMEOUT(!rescanRunning(), 20000);

        QCOMPARE(node("docs"), docs); // same node, new contents
        QVERIFY(node("docs/new.dat") && node("docs/deep/extra.bin") && !node("docs/draft.md"));
        QCOMPARE(
            root->size, rootSize - draft + node("docs/new.dat")->size + node("docs/deep/extra.bin")->size);
        QCOMPARE(root->fileCount, rootCount + 1);
        QCOMPARE(treeFaults(root), std::string());
        // Open folders and selected rows survive, inside the rescanned folder too.
        for (const char* open : { "docs", "docs/deep/l2/l3", "media" })
            QVERIFY2(outline->isExpanded(m_fixture->indexOf(node(open))), open);
        QCOMPARE(window().selectedNodes(),
            (std::vector<FileNode*> { node("docs/notes.txt"), node("media/photo.jpg") }));
        QVERIFY(!m_fixture->label("status")->text().startsWith(QStringLiteral("Rescanning")));
        // The zoom stays on the same folder of the new contents, not on the replaced one.
        QCOMPARE(zoomRoot(), node("docs/deep/l2"));
        QCOMPARE(window().disk().focus, node("docs/deep/l2"));
    }

    void rescansOfATrashedFolderOrAClosedWindowAreDropped()
    {
        m_fixture->selectRows({ node("media") });
        window().perform(Command::Rescan);
        QVERIFY(rescanRunning());
        // Trash the folder before the result can arrive (it is delivered by the event loop).
        window().perform(Command::MoveToTrash);
        QVERIFY(m_fixture->answerTrash());
        const std::int64_t rootSize = node("")->size;
        QTRY_VERIFY_WITH_TIMEOUT(!rescanRunning(), 20000);
        QVERIFY(!node("media"));
        QCOMPARE(node("")->size, rootSize);
        QCOMPARE(treeFaults(node("")), std::string());

        // The background scan of a closed window ends and its result finds no window.
        m_fixture->selectRows({ node("docs") });
        window().perform(Command::Rescan);
        QVERIFY(rescanRunning());
        m_fixture->close();
        QThreadPool::globalInstance()->waitForDone();
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
    }

    void togglesRestoreTheTreeAndHidingPackagesStepsOut()
    {
        // Free space hidden and shown again gives back every total.
        const std::vector<std::string> before = snapshot(node(""));
        for (int i = 0; i < 2; ++i) {
            window().perform(Command::ToggleFreeSpace);
            QCOMPARE(window().isChecked(Command::ToggleFreeSpace), i == 1);
            QCOMPARE(treeFaults(node("")), std::string());
        }
        QCOMPARE(snapshot(node("")), before);

        window().perform(Command::TogglePackageContents);
        m_fixture->selectRows({ node("Tool.app/Contents/bin") });
        window().perform(Command::ZoomIn);
        QCOMPARE(zoomRoot(), node("Tool.app/Contents"));
        QVERIFY(window().windowTitle().endsWith(QString::fromStdString(node("Tool.app/Contents")->path())));
        window().perform(Command::TogglePackageContents);
        QCOMPARE(zoomRoot(), node(""));
        QVERIFY(!m_fixture->indexOf(node("Tool.app/Contents")).isValid());
    }

    void pointerOnTheTreemapAndTheKindsTable()
    {
        TreemapView* view = window().treemapView();
        FileOutlineView* outline = window().outlineView();
        // Hover names the block until the pointer leaves.
        FileNode* top = node("top.bin");
        QTest::mouseMove(view, centreOf(*view, top));
        QTRY_VERIFY(m_fixture->label("status")->text().contains(QStringLiteral("top.bin")));
        QCOMPARE(view->hovered(), top);
        QTest::mouseMove(outline->viewport(), QPoint(20, 300));
        QTRY_COMPARE(m_fixture->label("status")->text(), QString());

        // A click on a deep block opens the outline down to its row and shows it.
        FileNode* big = node("docs/deep/l2/l3/l4/big.bin");
        QVERIFY(!outline->isExpanded(m_fixture->indexOf(node("docs"))));
        m_fixture->clickBlock(big);
        for (FileNode* up : big->ancestors())
            QVERIFY(outline->isExpanded(m_fixture->indexOf(up)));
        QCOMPARE(window().selectedNodes(), std::vector<FileNode*> { big });
        QVERIFY(outline->viewport()->rect().contains(outline->visualRect(m_fixture->indexOf(big))));
        QCOMPARE(view->selection(), std::vector<FileNode*> { big });
        QVERIFY(m_fixture->label("status")->text().contains(QStringLiteral("big.bin")));
        m_fixture->clickBlock(node("Tool.app")); // a closed package is one block
        QCOMPARE(window().selectedNodes(), std::vector<FileNode*> { node("Tool.app") });

        // A kind picked in the table is highlighted; a click below the rows removes it.
        KeyTableView* table = window().kindsTable();
        auto* kinds = static_cast<KindsTableModel*>(table->model());
        FileNode* photo = node("media/photo.jpg");
        const auto pickKind = [&] {
            const QRect cell
                = table->visualRect(kinds->index(kinds->rowOf(photo->kind), KindsTableModel::Kind));
            QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, cell.center());
        };
        pickKind();
        QCOMPARE(view->highlightKind(), std::optional<std::int32_t>(photo->kind));
        QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, QPoint(20, table->viewport()->height() - 3));
        QCOMPARE(view->highlightKind(), std::nullopt);
        // Zooming into a folder that holds the kind keeps it; into one that does not, clears it.
        pickKind();
        m_fixture->selectRows({ photo });
        window().perform(Command::ZoomIn);
        QCOMPARE(zoomRoot(), node("media"));
        QCOMPARE(view->highlightKind(), std::optional<std::int32_t>(photo->kind));
        QCOMPARE(table->selectionModel()->selectedRows().size(), 1);
        QCOMPARE(table->selectionModel()->selectedRows().first().row(), kinds->rowOf(photo->kind));
        window().perform(Command::ZoomToTop);
        m_fixture->selectRows({ node("docs/notes.txt") });
        window().perform(Command::ZoomIn);
        QCOMPARE(zoomRoot(), node("docs"));
        QCOMPARE(view->highlightKind(), std::nullopt);
        QVERIFY(table->selectionModel()->selectedRows().isEmpty());
    }

    void clickingABlock80000LevelsDeepSelectsItWithoutFreezing()
    {
        // Made relative to each parent: no path that long can be opened at once.
        QTemporaryDir base(QFile::exists(QStringLiteral("/dev/shm"))
                ? QStringLiteral("/dev/shm/deepXXXXXX")
                : QDir::tempPath() + QStringLiteral("/deepXXXXXX"));
        base.setAutoRemove(false); // far too deep for a recursive removal
        const std::string top = base.path().toStdString();
        int fd = ::open(top.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        for (int level = 0; fd >= 0 && level < 80'000; ++level) {
            const int below
                = ::mkdirat(fd, "d", 0700) == 0 ? ::openat(fd, "d", O_RDONLY | O_DIRECTORY | O_CLOEXEC) : -1;
            ::close(fd);
            fd = below;
        }
        const int leaf = ::openat(fd, "leaf", O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
        QVERIFY(leaf >= 0 && ::write(leaf, "data", 4) == 4);
        ::close(leaf);
        ::close(fd);

        std::unique_ptr<DocumentWindowController> window = openScanned(top);
        QVERIFY(window);
        TreemapView* view = window->treemapView();
        QTest::mouseClick(view, Qt::LeftButton, {}, view->rect().center());
        const std::vector<FileNode*> selected = window->selectedNodes();
        QCOMPARE(selected.size(), std::size_t(1));
        QVERIFY(selected.front()->depth() > 100); // shown by a deep ancestor, not by the top
        QCOMPARE(view->selection(), selected);
        window.reset();
        QCOMPARE(std::system(("rm -rf '" + top + "'").c_str()), 0);
    }
};

QTEST_MAIN(DocumentFlowsTest)
#include "tst_DocumentFlows.moc"
