// SPDX-License-Identifier: MIT
// Find, the scan preferences and sorting by a column, driven with the keys and clicks of
// a user on a real folder; `find -iname` is the oracle for names.
#include "model/ScanPreferences.h"
#include "model/TallyfernDocument.h"
#include "widgets/Fmt.h"
#include "window/FileOutlineModel.h"
#include "window/FileOutlineView.h"
#include "window/FindPanel.h"
#include "window/KeyTableView.h"
#include "window/KindsTableModel.h"
#include "window/TreemapView.h"
#include "window/support/WindowFixture.h"

#include <QAbstractItemModelTester>
#include <QCheckBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QTreeView>
#include <QtTest>

#include <fcntl.h>
#include <sys/stat.h>

class TestFindAndSort : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { DocumentFixture::isolateHome(); }
    void init()
    {
        ScanPreferences {}.save();
        m_fixture = std::make_unique<DocumentFixture>();
        QVERIFY(m_fixture->open(false));
    }
    void cleanup() { m_fixture.reset(); }

    void typedQueriesFindWhatFindFinds();
    void aChosenResultIsSelectedAndFollowsTheTrash();
    void headerClicksSortAndKeepTiesSelectionAndEdits();
    void preferencesRefuseAMalformedPatternAndApplyToRescans();
    void modifiedColumnAndColorByAge();

private:
    DocumentWindowController& window() const { return *m_fixture->window; }
    FindPanel* panel() const { return window().findChild<FindPanel*>(); }
    QAbstractItemModel* results() const { return panel()->results()->model(); }
    FileNode* node(const std::string& relative) const { return m_fixture->node(relative); }
    QStringList rowNames(const QAbstractItemModel* model, const QModelIndex& parent, int column = 0) const
    {
        QStringList names;
        for (int row = 0; row < model->rowCount(parent); ++row)
            names << model->index(row, column, parent).data().toString();
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
};

void TestFindAndSort::typedQueriesFindWhatFindFinds()
{
    window().perform(Command::Find);
    QVERIFY(panel()->isVisible());
    QVERIFY(panel()->field()->hasFocus());
    struct Case {
        QString query; // typed as is; the find pattern is "*query*" without a wildcard
        bool regex;
        int expected; // -1: ask find; -2: refused
    };
    const Case cases[] = {
        { "REPORT", false, -1 },
        { "*.log", false, -1 },
        { "f0?.LOG", false, -1 },
        { "[ef]*", false, -1 },
        { "o", false, -1 },
        { "^(clip|photo)\\.", true, 2 },
        { "[unclosed", false, -2 },
        { "(", true, -2 },
    };
    for (const Case& c : cases) {
        QCOMPARE(panel()->findChild<QCheckBox*>("findRegex")->isChecked(), false);
        if (c.regex)
            QTest::mouseClick(panel()->findChild<QCheckBox*>("findRegex"), Qt::LeftButton);
        type(c.query);
        auto* problem = panel()->findChild<QLabel*>("findProblem");
        if (c.expected == -2) {
            QVERIFY2(problem->isVisible() && !problem->text().isEmpty(), qPrintable(c.query));
            QCOMPARE(results()->rowCount(), 0);
            QVERIFY(!window().treemapView()->highlightsItems());
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
            QVERIFY(!problem->isVisible());
            QVERIFY(window().treemapView()->highlightsItems());
            // Largest first, and the total counts each byte once.
            std::int64_t previous = INT64_MAX, total = 0;
            for (int row = 0; row < expected; ++row) {
                const FileNode* found
                    = static_cast<FileNode*>(results()->index(row, 0).data(Qt::UserRole + 1).value<void*>());
                QVERIFY(found->size <= previous);
                previous = found->size;
                bool inside = false;
                for (int other = 0; other < expected; ++other)
                    inside
                        |= results()->index(other, 0).data(Qt::UserRole + 1).value<void*>() == found->parent;
                total += inside ? 0 : found->size;
            }
            const QString items = expected == 1 ? "1 item" : QString::number(expected) + " items";
            QCOMPARE(panel()->findChild<QLabel*>("findTotal")->text(), items + " · " + Fmt::bytes(total));
        }
        if (c.regex)
            QTest::mouseClick(panel()->findChild<QCheckBox*>("findRegex"), Qt::LeftButton);
    }
    // Escape clears, then hides.
    type("log");
    QTRY_VERIFY(results()->rowCount() > 0);
    QTest::keyClick(panel()->field(), Qt::Key_Escape);
    QVERIFY(panel()->field()->text().isEmpty());
    QCOMPARE(results()->rowCount(), 0);
    QVERIFY(!window().treemapView()->highlightsItems());
    QTest::keyClick(panel()->field(), Qt::Key_Escape);
    QVERIFY(!panel()->isVisible());
}

void TestFindAndSort::aChosenResultIsSelectedAndFollowsTheTrash()
{
    window().perform(Command::Find);
    type("BIG");
    QTRY_COMPARE(results()->rowCount(), 1);
    QTreeView* list = panel()->results();
    QTest::mouseClick(
        list->viewport(), Qt::LeftButton, {}, list->visualRect(results()->index(0, 0)).center());
    FileNode* big = node("docs/deep/l2/l3/l4/big.bin");
    QCOMPARE(window().selectedNodes(), std::vector<FileNode*> { big });
    QCOMPARE(window().treemapView()->selection(), std::vector<FileNode*> { big });
    QVERIFY(window().outlineView()->isExpanded(m_fixture->indexOf(node("docs/deep/l2/l3/l4"))));
    // The file commands act on it; the list then answers for the changed tree.
    QVERIFY(window().canPerform(Command::MoveToTrash));
    window().perform(Command::MoveToTrash);
    QVERIFY(m_fixture->answerTrash());
    QTRY_VERIFY(node("docs/deep/l2/l3/l4/big.bin") == nullptr);
    QCOMPARE(results()->rowCount(), 0);
    type("l3");
    QTRY_COMPARE(results()->rowCount(), 1);
}

void TestFindAndSort::headerClicksSortAndKeepTiesSelectionAndEdits()
{
    auto* model = static_cast<FileOutlineModel*>(window().outlineView()->model());
    QAbstractItemModelTester tester(model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QHeaderView* header = window().outlineView()->header();
    const auto many = [&] { return m_fixture->indexOf(node("many")); };
    window().outlineView()->expand(many());
    m_fixture->selectRows({ node("media/photo.jpg") });
    const QStringList stored = rowNames(model, many()); // twelve equal sizes: by name
    QStringList reversed(stored.rbegin(), stored.rend());
    const QModelIndex top = model->index(0, 0);
    struct Click {
        int section;
        QStringList many; // rows of "many" afterwards; empty: not checked
        std::vector<std::string> topFirst; // first rows of the root afterwards
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
        QStringList first = rowNames(model, top).mid(0, int(click.topFirst.size()));
        QStringList expected;
        for (const std::string& name : click.topFirst)
            expected << QString::fromStdString(name);
        QCOMPARE(first, expected);
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

    // The kinds table sorts the same way.
    QTableView* kinds = window().kindsTable();
    const QStringList bySize = rowNames(kinds->model(), {}, KindsTableModel::Kind);
    clickHeader(kinds->horizontalHeader(), KindsTableModel::Kind);
    QStringList byName = bySize;
    std::sort(byName.begin(), byName.end(),
        [](const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) < 0; });
    QCOMPARE(rowNames(kinds->model(), {}, KindsTableModel::Kind), byName);
    clickHeader(kinds->horizontalHeader(), KindsTableModel::Size);
    QCOMPARE(rowNames(kinds->model(), {}, KindsTableModel::Kind), bySize);
}

void TestFindAndSort::preferencesRefuseAMalformedPatternAndApplyToRescans()
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
    QVERIFY(dialog->isVisible());
    QVERIFY(dialog->findChild<QLabel*>("preferencesProblem")->text().contains("[oops"));
    QCOMPARE(ScanPreferences::load().excludes, QStringList());
    QTest::keyClick(patterns, Qt::Key_Backspace, Qt::ControlModifier);
    QTest::keyClick(patterns, Qt::Key_Backspace);
    QTest::keyClick(patterns, Qt::Key_Return);
    QTest::keyClicks(patterns, "docs/deep/");
    QTest::mouseClick(ok, Qt::LeftButton);
    QTRY_VERIFY(!dialog->isVisible());
    QCOMPARE(ScanPreferences::load().excludes, (QStringList { "*.log", "docs/deep/" }));

    QSignalSpy ended(&window(), &DocumentWindowController::scanEnded);
    window().perform(Command::RescanAll);
    QVERIFY(ended.wait(20000));
    const auto excludedRow = [&](const std::string& relative) {
        const FileNode* found = node(relative);
        const QModelIndex row = m_fixture->indexOf(found);
        return found && found->flags.contains(NodeFlags::Excluded) && found->size == 0
            && row.siblingAtColumn(FileOutlineModel::Kind).data().toString() == "excluded";
    };
    window().outlineView()->expand(m_fixture->indexOf(node("docs")));
    window().outlineView()->expand(m_fixture->indexOf(node("many")));
    QVERIFY(excludedRow("many/f01.log"));
    QVERIFY(excludedRow("docs/deep"));
    QCOMPARE(node("many")->size, 0);
    // A folder rescan leaves out what the whole scan did, paths included.
    m_fixture->selectRows({ node("docs") });
    window().perform(Command::Rescan);
    QTRY_VERIFY(window().canPerform(Command::Rescan));
    window().outlineView()->expand(m_fixture->indexOf(node("docs")));
    QVERIFY(excludedRow("docs/deep"));
    QVERIFY(!node("docs/report.pdf")->flags.contains(NodeFlags::Excluded));
}

void TestFindAndSort::modifiedColumnAndColorByAge()
{
    // One file from 2001, one from 2100; every other one from now.
    const auto date = [&](const std::string& relative, std::int64_t seconds) {
        const timespec times[2] = { { seconds, 0 }, { seconds, 0 } };
        QCOMPARE(::utimensat(AT_FDCWD, m_fixture->path(relative).c_str(), times, 0), 0);
    };
    date("top.bin", 978'307'200);
    date("media/clip.mov", 4'102'444'800);
    QSignalSpy ended(&window(), &DocumentWindowController::scanEnded);
    window().perform(Command::RescanAll);
    QVERIFY(ended.wait(20000));
    auto* model = static_cast<FileOutlineModel*>(window().outlineView()->model());
    const auto modified = [&](const std::string& relative) {
        return m_fixture->indexOf(node(relative))
            .siblingAtColumn(FileOutlineModel::Modified)
            .data()
            .toString();
    };
    window().outlineView()->expand(m_fixture->indexOf(node("media")));
    QVERIFY(!modified("top.bin").isEmpty());
    QVERIFY(modified("top.bin") != modified("media/photo.jpg"));
    QCOMPARE(modified("media"), modified("media/clip.mov")); // a folder shows its newest
    QCOMPARE(modified(""), modified("media/clip.mov"));
    QHeaderView* header = window().outlineView()->header();
    clickHeader(header, FileOutlineModel::Modified); // newest first
    const QModelIndex top = model->index(0, 0);
    QCOMPARE(rowNames(model, top).first(), "media");
    QCOMPARE(rowNames(model, top).last(), "top.bin");

    QVERIFY(!window().isChecked(Command::ColorByAge));
    window().perform(Command::ColorByAge);
    QVERIFY(window().isChecked(Command::ColorByAge));
    QVERIFY(window().treemapView()->colorsByAge());
    QVERIFY(window().findChild<QWidget*>("ageLegend")->isVisible());
    QVERIFY(!window().kindsTable()->isVisible());
    window().perform(Command::ColorByAge);
    QVERIFY(!window().findChild<QWidget*>("ageLegend")->isVisible());
    QVERIFY(window().kindsTable()->isVisible());
}

QTEST_MAIN(TestFindAndSort)
#include "tst_FindAndSort.moc"
