// SPDX-License-Identifier: MIT
// The outline and kinds models over a document, and the two table views' key and menu
// handling.
#include "model/TallyfernDocument.h"
#include "window/BarCellView.h"
#include "window/FileOutlineModel.h"
#include "window/FileOutlineView.h"
#include "window/ItemRoles.h"
#include "window/KeyTableView.h"
#include "window/KindsTableModel.h"
#include "window/support/WindowFixture.h"

#include <QAbstractItemModelTester>
#include <QMenu>
#include <QSignalSpy>
#include <QStandardItemModel>
#include <QTest>

#include <memory>

class OutlineAndTablesTest : public QObject {
    Q_OBJECT

    std::unique_ptr<TallyfernDocument> m_doc;
    FileNode* m_locked = nullptr;
    FileNode* m_app = nullptr;
    FileNode* m_zeroFolder = nullptr;

    static FileNode* named(const FileNode* parent, std::string_view name)
    {
        for (FileNode* c : parent->children())
            if (c->name() == name)
                return c;
        return nullptr;
    }

private slots:
    void init()
    {
        // A whole volume of 10 MB with 4 MB free, so both pseudo items appear.
        auto facts = [](const std::string& path) -> std::optional<VolumeFacts> {
            VolumeFacts f;
            f.volumePath = path;
            f.total = 10'000'000;
            f.available = 4'000'000;
            f.important = 4'000'000;
            return f;
        };
        m_doc = std::make_unique<TallyfernDocument>("/vol", facts, QStringLiteral("Volume"));
        TreeBuilder b("/vol");
        FileNode* docs = b.folder(b.root(), "docs");
        b.file(docs, "a.txt", 4096);
        b.file(docs, "b.txt", 8192);
        FileNode* app = b.folder(b.root(), "Tool.app");
        FileNode* contents = b.folder(app, "Contents");
        b.file(contents, "binary", 100'000);
        FileNode* locked = b.folder(b.root(), "locked");
        locked->flags.insert(NodeFlags::Unreadable);
        FileNode* zero = b.folder(b.root(), "zero");
        b.file(zero, "empty.txt", 0);
        b.file(b.root(),
            "bad\xff\xfe"
            "name\n.bin",
            2048);
        m_doc->install(b.finish());
        m_locked = named(m_doc->root(), "locked");
        m_app = named(m_doc->root(), "Tool.app");
        m_zeroFolder = named(m_doc->root(), "zero");
        QVERIFY(m_locked && m_app && m_zeroFolder);
        QVERIFY(m_doc->freeNode() && m_doc->freeNode()->parent == m_doc->root());
    }

    void cleanup() { m_doc.reset(); }

    void outlineModelIsConsistent()
    {
        FileOutlineModel model(*m_doc);
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        // Walk everything the model offers, in both package modes and across reloads.
        std::vector<QModelIndex> pending { model.index(0, 0) };
        int rows = 0;
        while (!pending.empty()) {
            const QModelIndex index = pending.back();
            pending.pop_back();
            ++rows;
            QCOMPARE(model.indexOf(model.node(index)), index);
            QCOMPARE(model.parent(index).isValid(), model.node(index)->parent != nullptr);
            for (int r = 0; r < model.rowCount(index); ++r)
                pending.push_back(model.index(r, 0, index));
        }
        QCOMPARE(rows, 1 + 7 + 2 + 1); // root, its 7 rows, docs' files, zero's file
        m_doc->showPackageContents = true;
        model.reload();
        QCOMPARE(model.rowCount(model.indexOf(m_app)), 1);
        model.setBlocked(true);
        QCOMPARE(model.rowCount(), 0);
        QVERIFY(!model.indexOf(m_app).isValid());
        model.setBlocked(false);
        QCOMPARE(model.rowCount(), 1);
    }

    void rowsTextsAndFlags()
    {
        FileOutlineModel model(*m_doc);
        const QModelIndex root = model.index(0, 0);
        QCOMPARE(root.data().toString(), QStringLiteral("Volume"));
        QCOMPARE(model.index(0, FileOutlineModel::Percent).data(ItemRoles::Fraction).toDouble(), 1.0);
        // The free-space item: grey and without a count.
        const QModelIndex free = model.indexOf(m_doc->freeNode());
        QCOMPARE(free.parent(), root);
        QCOMPARE(free.data().toString(), QStringLiteral("Free Space"));
        QVERIFY(free.data(ItemRoles::Secondary).toBool());
        QCOMPARE(free.siblingAtColumn(FileOutlineModel::Count).data().toString(), QString());
        // An unreadable folder.
        const QModelIndex locked = model.indexOf(m_locked);
        QCOMPARE(locked.siblingAtColumn(FileOutlineModel::Kind).data().toString(),
            QStringLiteral("Folder (no access)"));
        QVERIFY(locked.data(ItemRoles::Secondary).toBool());
        QCOMPARE(locked.siblingAtColumn(FileOutlineModel::Count).data().toString(), QStringLiteral("0"));
        // A package shows no triangle while its contents are hidden.
        QVERIFY(!model.hasChildren(model.indexOf(m_app)));
        QVERIFY(!FileOutlineModel::isExpandable(m_app, false));
        QVERIFY(FileOutlineModel::isExpandable(m_app, true));
        QVERIFY(!model.indexOf(m_app->child(0)).isValid());
        // A child of a folder of size 0 gets an empty bar.
        const QModelIndex inZero = model.indexOf(m_zeroFolder->child(0), FileOutlineModel::Percent);
        QCOMPARE(inZero.data(ItemRoles::Fraction).toDouble(), 0.0);
        QCOMPARE(BarCellView::labelText(BarCellView::clamp(inZero.data(ItemRoles::Fraction).toDouble())),
            QStringLiteral("0.0%"));
        // A name that is not UTF-8 and holds a newline is shown, replaced where invalid.
        bool found = false;
        for (int r = 0; r < model.rowCount(root); ++r) {
            const QString name = model.index(r, 0, root).data().toString();
            if (name.startsWith(QStringLiteral("bad"))) {
                found = true;
                QVERIFY(name.contains(QChar(0xFFFD)));
                QVERIFY(name.endsWith(QStringLiteral("name\n.bin")));
            }
        }
        QVERIFY(found);
        // Headers.
        QCOMPARE(model.headerData(FileOutlineModel::Percent, Qt::Horizontal, Qt::DisplayRole).toString(),
            QStringLiteral("% of Folder"));
        QCOMPARE(model.headerData(FileOutlineModel::Size, Qt::Horizontal, Qt::TextAlignmentRole)
                     .value<Qt::Alignment>()
                & Qt::AlignHorizontal_Mask,
            Qt::AlignRight);
    }

    void deepTreesAreLooseOnTheStack()
    {
        // 20,000 levels: indexOf walks up, never recurses.
        TreeBuilder b("/deep");
        FileNode* node = b.root();
        for (int i = 0; i < 20'000; ++i)
            node = b.folder(node, "d");
        FileNode* leaf = b.file(node, "leaf", 4096);
        TallyfernDocument doc("/deep", [](const std::string&) { return std::nullopt; });
        doc.install(b.finish());
        FileOutlineModel model(doc);
        const QModelIndex index = model.indexOf(leaf);
        QVERIFY(index.isValid());
        QCOMPARE(model.node(index), leaf);
        int depth = 0;
        for (QModelIndex up = index; up.isValid(); up = up.parent())
            ++depth;
        QCOMPARE(depth, 20'002);
    }

    void kindsModelRowsAndBlocking()
    {
        KindsTableModel model(*m_doc);
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        QCOMPARE(model.rowCount(), int(m_doc->kindStats.size()));
        model.setBlocked(true);
        QCOMPARE(model.rowCount(), 0);
        model.setBlocked(false);
        QCOMPARE(model.rowCount(), int(m_doc->kindStats.size()));
        QCOMPARE(
            model.headerData(KindsTableModel::Swatch, Qt::Horizontal, Qt::DisplayRole).toString(), QString());
    }

    void outlineSpaceAndContextMenu()
    {
        QStandardItemModel items;
        for (int i = 0; i < 5; ++i)
            items.appendRow(new QStandardItem(QStringLiteral("row %1").arg(i)));
        FileOutlineView view;
        view.setModel(&items);
        view.setSelectionMode(QAbstractItemView::ExtendedSelection);
        view.setSelectionBehavior(QAbstractItemView::SelectRows);
        view.resize(300, 300);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));

        // Space without a callback is consumed: the current row does not change.
        view.setCurrentIndex(items.index(1, 0));
        QTest::keyClick(&view, Qt::Key_Space);
        QCOMPARE(view.currentIndex(), items.index(1, 0));
        int spaces = 0;
        view.onSpace = [&] { ++spaces; };
        QTest::keyClick(&view, Qt::Key_Space);
        QCOMPARE(spaces, 1);
        QTest::keyClick(&view, Qt::Key_Down); // other keys keep working
        QCOMPARE(view.currentIndex(), items.index(2, 0));

        int menus = 0;
        view.menuProvider = [&]() -> std::unique_ptr<QMenu> {
            ++menus;
            return nullptr;
        };
        auto selectedRows = [&] {
            std::vector<int> rows;
            for (const QModelIndex& i : view.selectionModel()->selectedRows())
                rows.push_back(i.row());
            std::sort(rows.begin(), rows.end());
            return rows;
        };
        view.selectionModel()->select(
            items.index(0, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        view.selectionModel()->select(
            items.index(1, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
        // Inside the selection: kept.
        QVERIFY(!view.menuAt(view.visualRect(items.index(1, 0)).center()));
        QCOMPARE(selectedRows(), (std::vector<int> { 0, 1 }));
        // On another row: that row alone.
        QVERIFY(!view.menuAt(view.visualRect(items.index(3, 0)).center()));
        QCOMPARE(selectedRows(), std::vector<int> { 3 });
        QCOMPARE(menus, 2);
        // Below the last row: nothing at all.
        QVERIFY(!view.menuAt(QPoint(10, view.viewport()->height() - 2)));
        QCOMPARE(menus, 2);
        QCOMPARE(selectedRows(), std::vector<int> { 3 });
    }

    void kindsTableSpaceAndEmptyClicks()
    {
        QStandardItemModel items;
        for (int i = 0; i < 3; ++i)
            items.appendRow(new QStandardItem(QStringLiteral("kind %1").arg(i)));
        KeyTableView table;
        table.setModel(&items);
        table.setSelectionMode(QAbstractItemView::SingleSelection);
        table.setSelectionBehavior(QAbstractItemView::SelectRows);
        table.resize(300, 300);
        table.show();
        QVERIFY(QTest::qWaitForWindowExposed(&table));
        int spaces = 0;
        table.onSpace = [&] { ++spaces; };
        QTest::keyClick(&table, Qt::Key_Space);
        QCOMPARE(spaces, 1);
        table.onSpace = nullptr;
        QTest::keyClick(&table, Qt::Key_Space); // the table's own handling, no crash
        QTest::mouseClick(table.viewport(), Qt::LeftButton, {}, table.visualRect(items.index(2, 0)).center());
        QCOMPARE(table.selectionModel()->selectedRows().size(), 1);
        QTest::mouseClick(table.viewport(), Qt::LeftButton, {}, QPoint(10, table.viewport()->height() - 3));
        QVERIFY(table.selectionModel()->selectedRows().isEmpty());
    }
};

QTEST_MAIN(OutlineAndTablesTest)
#include "tst_OutlineAndTables.moc"
