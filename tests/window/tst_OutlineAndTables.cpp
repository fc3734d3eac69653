// SPDX-License-Identifier: MIT
// The outline and kinds models over a document in memory: odd names, pseudo items,
// packages, very deep trees.
#include "model/TallyfernDocument.h"
#include "window/BarCellView.h"
#include "window/FileOutlineModel.h"
#include "window/ItemRoles.h"
#include "window/KindsTableModel.h"
#include "window/support/WindowFixture.h"

#include <QAbstractItemModelTester>
#include <QTest>

#include <memory>

class OutlineAndTablesTest : public QObject {
    Q_OBJECT

    std::unique_ptr<TallyfernDocument> m_doc;
    FileNode* m_locked = nullptr;
    FileNode* m_app = nullptr;
    FileNode* m_zeroFolder = nullptr;

private slots:
    void init()
    {
        // A whole volume of 10 MB with 4 MB free, so both pseudo items appear.
        auto facts = [](const std::string& path) {
            return std::optional<VolumeFacts>(VolumeFacts { path, 10'000'000, 4'000'000, 4'000'000 });
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
        m_locked = nodeAt(m_doc->root(), "locked");
        m_app = nodeAt(m_doc->root(), "Tool.app");
        m_zeroFolder = nodeAt(m_doc->root(), "zero");
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

        KindsTableModel kinds(*m_doc);
        QAbstractItemModelTester kindsTester(&kinds, QAbstractItemModelTester::FailureReportingMode::QtTest);
        QCOMPARE(kinds.rowCount(), int(m_doc->kindStats.size()));
        kinds.setBlocked(true);
        QCOMPARE(kinds.rowCount(), 0);
        kinds.setBlocked(false);
        QCOMPARE(kinds.rowCount(), int(m_doc->kindStats.size()));
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
        QVERIFY(!model.indexOf(m_app->child(0)).isValid());
        // A child of a folder of size 0 gets an empty bar.
        const QModelIndex inZero = model.indexOf(m_zeroFolder->child(0), FileOutlineModel::Percent);
        QCOMPARE(inZero.data(ItemRoles::Fraction).toDouble(), 0.0);
        QCOMPARE(BarCellView::labelText(BarCellView::clamp(inZero.data(ItemRoles::Fraction).toDouble())),
            QStringLiteral("0.0%"));
        // A name that is not UTF-8 and holds a newline is shown, replaced where invalid.
        const QString name = model.indexOf(nodeAt(m_doc->root(), "bad\xff\xfename\n.bin")).data().toString();
        QVERIFY(name.startsWith(QStringLiteral("bad")) && name.contains(QChar(0xFFFD)));
        QVERIFY(name.endsWith(QStringLiteral("name\n.bin")));
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
};

QTEST_MAIN(OutlineAndTablesTest)
#include "tst_OutlineAndTables.moc"
