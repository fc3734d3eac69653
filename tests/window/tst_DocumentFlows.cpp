// SPDX-License-Identifier: MIT
// A document window on a real folder that changes on disk, driven with the clicks and
// keys a user makes: the Trash, rescans, find (`find -iname` is the oracle for names),
// the scan preferences and sorting. Which command applies to what is tested in
// DocumentCommandsTest.
#include "model/ScanPreferences.h"
#include "model/TallyfernDocument.h"
#include "model/support/Volumes.h"
#include "widgets/Fmt.h"
#include "widgets/ItemRoles.h"
#include "window/CommandActions.h"
#include "window/FileOutlineModel.h"
#include "window/FileOutlineView.h"
#include "window/FindPanel.h"
#include "window/KeyTableView.h"
#include "window/KindsTableModel.h"
#include "window/support/WindowFixture.h"

#include <QAbstractItemModelTester>
#include <QCheckBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QScrollBar>
#include <QStandardPaths>
#include <QThreadPool>
#include <QToolButton>
#include <QTreeView>
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

    FindPanel* panel() const { return window().findChild<FindPanel*>(); }
    QAbstractItemModel* results() const { return panel()->results()->model(); }
    QStringList rowNames(const QAbstractItemModel* model, const QModelIndex& parent) const
    {
        QStringList names;
        for (int row = 0; row < model->rowCount(parent); ++row)
            names << model->index(row, 0, parent).data().toString();
        names.removeIf([](const QString& name) { return name.endsWith(" Space"); }); // free and other
        return names;
    }
    void type(const QString& query) const
    {
        panel()->field()->clear();
        QTest::keyClicks(panel()->field(), query);
    }
    void clickHeader(QHeaderView* header, int section) const
    {
        const int x = header->sectionViewportPosition(section) + header->sectionSize(section) / 2;
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, QPoint(x, header->height() / 2));
    }
    std::unique_ptr<DocumentFixture> m_fixture;
    std::unique_ptr<CommandActions> m_actions;

private slots:
    void initTestCase() { DocumentFixture::isolateHome(); }
    void init()
    {
        ScanPreferences {}.save();
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

    void typedQueriesFindWhatFindFindsAndAChosenResultFollowsTheTrash();
    void headerClicksSortAndKeepTiesSelectionAndEdits();
    void preferencesRefuseAMalformedPatternAndApplyToRescansWithDates();
    void commandLineExcludesHoldForScanAndRescansAndAreNotSaved();

    void trashMovesWhatItCanAndTheViewsFollow()
    {
        FileNode* root = node("");
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
        const std::string trash
            = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation).toStdString()
            + "/Trash/files";
        QVERIFY(fs::exists(trash + "/deep/l2/l3/l4/big.bin"));
        QVERIFY(fs::exists(trash + "/f01.log") && !fs::exists(m_fixture->path("docs/deep")));
        QVERIFY(
            fs::exists(top->path()) && node("top.bin") == top && !node("docs/deep") && !node("many/f01.log"));
        QVERIFY(treeFaults(root).empty());
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

        m_fixture->write("docs/new.dat", 500'000);
        m_fixture->write("docs/deep/extra.bin", 70'000);
        fs::remove(m_fixture->path("docs/draft.md"));

        press(Qt::ControlModifier | Qt::Key_R); // notes.txt comes first: its folder, docs
        QVERIFY(rescanRunning());
        QVERIFY(window().canPerform(Command::ZoomIn)); // the rest of the window stays usable
        QTRY_VERIFY_WITH_TIMEOUT(!rescanRunning(), 20000);

        QCOMPARE(node("docs"), docs); // same node, new contents
        QVERIFY(node("docs/new.dat") && node("docs/deep/extra.bin") && !node("docs/draft.md"));
        QCOMPARE(treeFaults(root), std::string());
        // Open folders and selected rows survive, inside the rescanned folder too.
        for (const char* open : { "docs", "docs/deep/l2/l3", "media" })
            QVERIFY2(outline->isExpanded(m_fixture->indexOf(node(open))), open);
        QCOMPARE(window().selectedNodes(),
            (std::vector<FileNode*> { node("docs/notes.txt"), node("media/photo.jpg") }));
        // The zoom stays on the same folder of the new contents, not on the replaced one.
        QVERIFY(zoomRoot() == node("docs/deep/l2") && window().disk().focus == zoomRoot());
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
        QVERIFY(!node("media") && node("")->size == rootSize);
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

    void pointerKeysAndTogglesOnAnUntouchedTree()
    {
        TreemapView* view = window().treemapView();
        FileOutlineView* outline = window().outlineView();
        // A click on a deep block opens the outline down to its row and shows it.
        FileNode* big = node("docs/deep/l2/l3/l4/big.bin");
        QVERIFY(!outline->isExpanded(m_fixture->indexOf(node("docs"))));
        m_fixture->clickBlock(big);
        for (FileNode* up : big->ancestors())
            QVERIFY(outline->isExpanded(m_fixture->indexOf(up)));
        QCOMPARE(window().selectedNodes(), std::vector<FileNode*> { big });
        QVERIFY(outline->viewport()->rect().contains(outline->visualRect(m_fixture->indexOf(big))));
        m_fixture->clickBlock(node("Tool.app")); // a closed package is one block
        QCOMPARE(window().selectedNodes(), std::vector<FileNode*> { node("Tool.app") });

        // A kind picked in the table is highlighted in the treemap.
        KeyTableView* table = window().kindsTable();
        const std::int32_t photo = node("media/photo.jpg")->kind;
        const int row = static_cast<KindsTableModel*>(table->model())->rowOf(photo);
        const QRect cell = table->visualRect(table->model()->index(row, KindsTableModel::Kind));
        QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, cell.center());
        QCOMPARE(view->highlightKind(), std::optional<std::int32_t>(photo));

        window().perform(Command::TogglePackageContents);
        m_fixture->selectRows({ node("Tool.app/Contents/bin") });
        window().perform(Command::ZoomIn);
        QCOMPARE(zoomRoot(), node("Tool.app/Contents"));
        window().perform(Command::TogglePackageContents);
        QCOMPARE(zoomRoot(), node(""));
        QVERIFY(!m_fixture->indexOf(node("Tool.app/Contents")).isValid());
    }

    // View > Show Apparent Sizes by its key, and back: the pseudo items (allocated space)
    // leave and return, the selection stays, and the Trash still states what the disk frees.
    void apparentSizesSwitchEveryViewAndBack()
    {
        std::int64_t logical = 0; // what the files hold, by an independent walk
        for (const auto& entry : fs::recursive_directory_iterator(m_fixture->path("")))
            logical += entry.is_regular_file() ? std::int64_t(entry.file_size()) : 0;
        FileNode* report = node("docs/report.pdf");
        m_fixture->selectRows({ report });
        QAbstractItemModel* outline = window().outlineView()->model();
        const auto label = [&](const char* name) { return window().findChild<QLabel*>(name)->text(); };
        for (const bool apparent : { true, false }) {
            press(Qt::ControlModifier | Qt::ShiftModifier | Qt::Key_A);
            QCOMPARE(m_actions->action(Command::ShowApparentSizes)->isChecked(), apparent);
            QVERIFY(label("summary").contains("apparent sizes") == apparent
                && label("status").contains("allocated)") == apparent);
            QCOMPARE(window().canPerform(Command::ToggleFreeSpace), !apparent);
            const QModelIndex top = outline->index(0, FileOutlineModel::Size);
            QCOMPARE(top.data().toString(), Fmt::bytes(apparent ? logical : 100'000'000));
            QCOMPARE(
                outline->index(0, 0, top.siblingAtColumn(0)).data().toString().endsWith(" Space"), !apparent);
            QCOMPARE(window().selectedNodes(), std::vector<FileNode*> { report });
            if (apparent) {
                struct stat held { };
                QVERIFY(::stat(m_fixture->path("docs/report.pdf").c_str(), &held) == 0);
                window().perform(Command::MoveToTrash);
                const auto* question = window().findChild<QMessageBox*>(QStringLiteral("trashConfirmation"));
                QVERIFY(question && question->informativeText().contains(Fmt::bytes(held.st_blocks * 512)));
                QVERIFY(m_fixture->answerTrash(QStringLiteral("Cancel")));
            }
        }
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

void DocumentFlowsTest::typedQueriesFindWhatFindFindsAndAChosenResultFollowsTheTrash()
{
    window().perform(Command::Find);
    QVERIFY(panel()->isVisible() && panel()->field()->hasFocus());
    struct Case {
        QString query; // typed as is; the find pattern is "*query*" without a wildcard
        bool regex;
        int expected; // -1: ask find; -2: refused
    };
    const Case cases[] = { { "REPORT", false, -1 }, { "*.log", false, -1 }, { "f0?.LOG", false, -1 },
        { "[ef]*", false, -1 }, { "o", false, -1 }, { "^(clip|photo)\\.", true, 2 },
        { "[unclosed", false, -2 }, { "(", true, -2 } };
    for (const Case& c : cases) {
        if (c.regex)
            QTest::mouseClick(panel()->findChild<QCheckBox*>("findRegex"), Qt::LeftButton);
        type(c.query);
        auto* problem = panel()->findChild<QLabel*>("findProblem");
        if (c.expected == -2) {
            QVERIFY2(problem->isVisible() && !problem->text().isEmpty(), qPrintable(c.query));
            QVERIFY(results()->rowCount() == 0 && !window().treemapView()->highlightsItems());
        } else {
            int expected = c.expected;
            if (expected == -1) {
                const bool wild = c.query.contains(QRegularExpression("[*?\\[]"));
                QProcess find;
                find.start("find",
                    { QString::fromStdString(m_fixture->path("")), "-mindepth", "1", "-iname",
                        wild ? c.query : "*" + c.query + "*" });
                QVERIFY(find.waitForFinished());
                expected = int(find.readAllStandardOutput().count('\n'));
                QVERIFY2(expected > 0, qPrintable(c.query));
            }
            QTRY_COMPARE(results()->rowCount(), expected);
            // The order of the results and their total are the search's (NameSearchTest).
            QVERIFY(!problem->isVisible() && window().treemapView()->highlightsItems());
            QVERIFY(panel()
                        ->findChild<QLabel*>("findTotal")
                        ->text()
                        .startsWith(QString::number(expected) + " item"));
        }
        if (c.regex)
            QTest::mouseClick(panel()->findChild<QCheckBox*>("findRegex"), Qt::LeftButton);
    }
    type("BIG");
    QTRY_COMPARE(results()->rowCount(), 1);
    QTreeView* list = panel()->results();
    QTest::mouseClick(
        list->viewport(), Qt::LeftButton, {}, list->visualRect(results()->index(0, 0)).center());
    FileNode* big = node("docs/deep/l2/l3/l4/big.bin");
    QCOMPARE(window().selectedNodes(), std::vector<FileNode*> { big });
    QVERIFY(window().outlineView()->isExpanded(m_fixture->indexOf(node("docs/deep/l2/l3/l4"))));
    // The file commands act on it; the list then answers for the changed tree.
    window().perform(Command::MoveToTrash);
    QVERIFY(m_fixture->answerTrash());
    QTRY_VERIFY(node("docs/deep/l2/l3/l4/big.bin") == nullptr);
    QCOMPARE(results()->rowCount(), 0);
    type("l3");
    QTRY_COMPARE(results()->rowCount(), 1);
    // Escape clears, then hides.
    QTest::keyClick(panel()->field(), Qt::Key_Escape);
    QVERIFY(panel()->field()->text().isEmpty() && !window().treemapView()->highlightsItems());
    QTest::keyClick(panel()->field(), Qt::Key_Escape);
    QVERIFY(!panel()->isVisible());
}

void DocumentFlowsTest::headerClicksSortAndKeepTiesSelectionAndEdits()
{
    auto* model = static_cast<FileOutlineModel*>(window().outlineView()->model());
    QAbstractItemModelTester tester(model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QHeaderView* header = window().outlineView()->header();
    const auto many = [&] { return m_fixture->indexOf(node("many")); };
    window().outlineView()->expand(many());
    m_fixture->selectRows({ node("media/photo.jpg") });
    const QStringList stored = rowNames(model, many()); // twelve equal sizes: by name
    const QStringList reversed(stored.rbegin(), stored.rend());
    const QModelIndex top = model->index(0, 0);
    struct Click {
        int section;
        QStringList many; // rows of "many" afterwards; empty: not checked
        QStringList topFirst; // first rows of the root afterwards
    };
    const Click clicks[] = {
        { FileOutlineModel::Name, stored, { "docs", "empty", "many", "media", "Tool.app", "top.bin" } },
        { FileOutlineModel::Name, reversed, { "top.bin", "Tool.app", "media", "many", "empty", "docs" } },
        { FileOutlineModel::Size, stored, { "docs", "media", "top.bin", "Tool.app", "many" } },
        // Ascending: equal sizes keep their order rather than turning round.
        { FileOutlineModel::Size, stored, { "empty", "many", "Tool.app", "top.bin", "media", "docs" } },
        { FileOutlineModel::Count, stored, { "many", "docs", "media", "Tool.app" } },
    };
    for (const Click& click : clicks) {
        clickHeader(header, click.section);
        QCOMPARE(rowNames(model, many()), click.many);
        QCOMPARE(rowNames(model, top).mid(0, click.topFirst.size()), click.topFirst);
        QCOMPARE(window().selectedNodes(), std::vector<FileNode*> { node("media/photo.jpg") });
    }
    // An edit while sorted: the row goes, the others keep their order.
    clickHeader(header, FileOutlineModel::Name);
    m_fixture->selectRows({ node("many/f05.log") });
    window().perform(Command::MoveToTrash);
    QVERIFY(m_fixture->answerTrash());
    QTRY_VERIFY(node("many/f05.log") == nullptr);
    QStringList left = stored;
    left.removeAll("f05.log");
    QCOMPARE(rowNames(model, m_fixture->indexOf(node("many"))), left);
}

void DocumentFlowsTest::preferencesRefuseAMalformedPatternAndApplyToRescansWithDates()
{
    window().perform(Command::Preferences);
    auto* dialog = window().findChild<QDialog*>("preferences");
    QVERIFY(dialog && dialog->isVisible());
    auto* patterns = dialog->findChild<QPlainTextEdit*>("excludePatterns");
    QPushButton* ok = dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok);
    QTest::keyClicks(patterns, "*.log");
    QTest::keyClick(patterns, Qt::Key_Return);
    QTest::keyClicks(patterns, "[oops");
    QTest::mouseClick(ok, Qt::LeftButton);
    QVERIFY(
        dialog->isVisible() && dialog->findChild<QLabel*>("preferencesProblem")->text().contains("[oops"));
    QCOMPARE(ScanPreferences::load().excludes, QStringList());
    QTest::keyClick(patterns, Qt::Key_Backspace, Qt::ControlModifier);
    QTest::keyClick(patterns, Qt::Key_Backspace);
    QTest::keyClick(patterns, Qt::Key_Return);
    QTest::keyClicks(patterns, "docs/deep/");
    QTest::mouseClick(ok, Qt::LeftButton);
    QTRY_VERIFY(!dialog->isVisible());
    QCOMPARE(ScanPreferences::load().excludes, (QStringList { "*.log", "docs/deep/" }));

    // One file from 2001, one from 2100; every other one from now.
    const std::pair<const char*, std::int64_t> dates[]
        = { { "top.bin", 978'307'200 }, { "media/clip.mov", 4'102'444'800 } };
    for (const auto& [relative, seconds] : dates) {
        const timespec times[2] = { { seconds, 0 }, { seconds, 0 } };
        QCOMPARE(::utimensat(AT_FDCWD, m_fixture->path(relative).c_str(), times, 0), 0);
    }
    QSignalSpy ended(&window(), &DocumentWindowController::scanEnded);
    window().perform(Command::RescanAll);
    QVERIFY(ended.wait(20000));
    const auto modified = [&](const std::string& relative) {
        return m_fixture->indexOf(node(relative))
            .siblingAtColumn(FileOutlineModel::Modified)
            .data()
            .toString();
    };
    window().outlineView()->expand(m_fixture->indexOf(node("media")));
    QVERIFY(!modified("top.bin").isEmpty() && modified("top.bin") != modified("media/photo.jpg"));
    // A folder shows its newest.
    QVERIFY(modified("media") == modified("media/clip.mov") && modified("") == modified("media/clip.mov"));
    clickHeader(window().outlineView()->header(), FileOutlineModel::Modified); // newest first
    const QModelIndex top = window().outlineView()->model()->index(0, 0);
    const QStringList byAge = rowNames(window().outlineView()->model(), top);
    QVERIFY(byAge.first() == "media" && byAge.last() == "top.bin");

    const auto excludedRow = [&](const std::string& relative) {
        const FileNode* found = node(relative);
        const QModelIndex row = m_fixture->indexOf(found);
        return found && found->flags.contains(NodeFlags::Excluded) && found->size == 0
            && row.siblingAtColumn(FileOutlineModel::Kind).data().toString() == "excluded";
    };
    window().outlineView()->expand(m_fixture->indexOf(node("docs")));
    window().outlineView()->expand(m_fixture->indexOf(node("many")));
    QVERIFY(excludedRow("many/f01.log") && excludedRow("docs/deep") && node("many")->size == 0);
}

// Excludes from the command line hold, on top of the kept ones, for the scan and its
// rescans, and are shown but never saved.
void DocumentFlowsTest::commandLineExcludesHoldForScanAndRescansAndAreNotSaved()
{
    FolderFixture folder;
    for (const char* file : { "data.bin", "sub/keep.bin", "sub/skip/big.bin" })
        folder.write(file, 64'000);
    ScanPreferences { { "data.bin" }, false }.save();
    std::unique_ptr<DocumentWindowController> window
        = shownWithTree(std::make_unique<DocumentWindowController>(folder.root(), noVolume(),
            DirectoryReader::system(), LaunchScanOptions { { "sub/skip/" }, false }));
    QVERIFY(window);
    const auto node = [&](const char* relative) { return nodeAt(window->disk().root(), relative); };
    // Only sub/keep.bin counts: the kept list leaves out data.bin, the command line sub/skip.
    const auto onlyKeepCounts = [&] {
        const FileNode* root = node("");
        return root->fileCount == 1 && root->size == node("sub/keep.bin")->size && root->size > 0
            && node("data.bin")->flags.contains(NodeFlags::Excluded)
            && node("sub/skip")->flags.contains(NodeFlags::Excluded);
    };
    QVERIFY(onlyKeepCounts());

    auto* button = window->findChild<QToolButton*>(QStringLiteral("launchScan"));
    QVERIFY(button && button->isVisible() && button->text().contains("from the command line"));
    QTest::mouseClick(button, Qt::LeftButton);
    auto* dialog = window->findChild<QDialog*>(QStringLiteral("preferences"));
    QCOMPARE(
        dialog->findChild<QPlainTextEdit*>(QStringLiteral("launchExcludes"))->toPlainText(), "sub/skip/");
    QTest::mouseClick(dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok), Qt::LeftButton);
    QCOMPARE(ScanPreferences::load().excludes, QStringList { "data.bin" });

    // New bytes below the excluded folder stay out of a rescan of the folder above it,
    // where the pattern's path starts above the rescanned root.
    folder.write("sub/skip/more.bin", 64'000);
    window->selectNodes({ node("sub") });
    window->perform(Command::Rescan);
    QTRY_VERIFY(window->canPerform(Command::Rescan));
    QVERIFY(onlyKeepCounts());
}

QTEST_MAIN(DocumentFlowsTest)
#include "tst_DocumentFlows.moc"
