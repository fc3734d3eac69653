// SPDX-License-Identifier: MIT
// The document window driven as a user drives it: scan a folder, read the outline, the
// kinds table and the status bar, hover and click the treemap, pick kinds, change the tree.
// Its models also over documents made in memory: odd names, pseudo items, deep trees.
#include "model/TallyfernDocument.h"
#include "platform/DisplayName.h"
#include "widgets/BarCellView.h"
#include "widgets/Fmt.h"
#include "widgets/ItemRoles.h"
#include "window/DocumentWindowController.h"
#include "window/FileOutlineModel.h"
#include "window/FileOutlineView.h"
#include "window/KeyTableView.h"
#include "window/KindsTableModel.h"
#include "window/support/CommandFixture.h"
#include "window/support/WindowFixture.h"

#include <QAbstractButton>
#include <QAbstractItemModelTester>
#include <QLabel>
#include <QMessageBox>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>

#include <algorithm>
#include <memory>

namespace {

struct Entry {
    std::string name;
    std::int64_t size;
};

} // namespace

class DocumentWindowTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<FolderFixture> m_fixture;
    int m_files = 0;
    std::unique_ptr<DocumentWindowController> m_window;

    std::int64_t sum(std::initializer_list<const char*> names) const
    {
        std::int64_t total = 0;
        for (const char* n : names)
            total += m_fixture->allocated(n);
        return total;
    }
    void file(const std::string& name, std::int64_t bytes)
    {
        m_fixture->write(name, bytes);
        ++m_files;
    }
    FileOutlineModel* outlineModel() const
    {
        return static_cast<FileOutlineModel*>(m_window->outlineView()->model());
    }
    KindsTableModel* kindsModel() const
    {
        return static_cast<KindsTableModel*>(m_window->kindsTable()->model());
    }
    FileNode* root() const { return m_window->disk().root(); }
    FileNode* node(std::string_view relative) const { return nodeAt(root(), relative); }
    QPoint centreOf(const FileNode* node) const { return ::centreOf(*m_window->treemapView(), node); }

private slots:
    void initTestCase() { CommandFixture::isolateHome(); }
    void init()
    {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        m_fixture = std::make_unique<FolderFixture>();
        m_files = 0;
        file("big.bin", 400'000);
        m_fixture->mkdir("media/photos/2024/deep");
        file("media/photos/2024/deep/pic.jpg", 200'000);
        file("media/song.mp3", 50'000);
        m_fixture->mkdir("docs");
        file("docs/a.txt", 3'000);
        file("docs/b.txt", 100);
        file("docs/notes.md", 5'000);
        m_fixture->mkdir("empty");
        m_fixture->sparse("sparse.img", 10'000'000);
        ++m_files;
        m_fixture->mkdir("many");
        for (int i = 0; i < 60; ++i)
            file(QString::asprintf("many/f%03d.dat", i).toStdString(), 1'000);
        m_window = openScanned(m_fixture->root());
        QVERIFY(m_window);
    }

    void cleanup()
    {
        m_window.reset();
        m_fixture.reset();
    }

    void outlineRowsOrderTextsAndBars()
    {
        FileOutlineModel* model = outlineModel();
        const QModelIndex top = model->index(0, 0);
        QCOMPARE(model->rowCount(), 1);
        QCOMPARE(top.data().toString(), DisplayName::of(m_fixture->root()));
        QCOMPARE(model->index(0, FileOutlineModel::Percent).data(ItemRoles::Fraction).toDouble(), 1.0);
        QVERIFY(m_window->outlineView()->isExpanded(top));

        std::vector<Entry> expected = {
            { "big.bin", sum({ "big.bin" }) },
            { "media", sum({ "media/photos/2024/deep/pic.jpg", "media/song.mp3" }) },
            { "docs", sum({ "docs/a.txt", "docs/b.txt", "docs/notes.md" }) },
            { "empty", 0 },
            { "sparse.img", m_fixture->allocated("sparse.img") },
            { "many", 60 * m_fixture->allocated("many/f000.dat") },
        };
        std::stable_sort(expected.begin(), expected.end(), [](const Entry& a, const Entry& b) {
            return a.size != b.size ? a.size > b.size : a.name < b.name;
        });
        std::int64_t total = 0;
        for (const Entry& e : expected)
            total += e.size;
        QCOMPARE(model->index(0, FileOutlineModel::Size).data().toString(), Fmt::bytes(total));
        QCOMPARE(model->index(0, FileOutlineModel::Count).data().toString(), Fmt::count(m_files));

        QCOMPARE(model->rowCount(top), int(expected.size()));
        for (int row = 0; row < int(expected.size()); ++row) {
            const Entry& e = expected[std::size_t(row)];
            QCOMPARE(model->index(row, FileOutlineModel::Name, top).data().toString(),
                QString::fromStdString(e.name));
            QCOMPARE(model->index(row, FileOutlineModel::Size, top).data().toString(), Fmt::bytes(e.size));
            QCOMPARE(model->index(row, FileOutlineModel::Percent, top).data(ItemRoles::Fraction).toDouble(),
                double(e.size) / double(total));
        }
        // Files: counts for folders only; Kind: "Folder" for folders, grey for files.
        const QModelIndex many = model->indexOf(node("many"));
        QCOMPARE(many.siblingAtColumn(FileOutlineModel::Count).data().toString(), QStringLiteral("60"));
        QCOMPARE(many.siblingAtColumn(FileOutlineModel::Kind).data().toString(), QStringLiteral("Folder"));
        const QModelIndex big = model->indexOf(node("big.bin"));
        QCOMPARE(big.siblingAtColumn(FileOutlineModel::Count).data().toString(), QString());
        QVERIFY(big.siblingAtColumn(FileOutlineModel::Kind).data(ItemRoles::Secondary).toBool());
        // An empty folder has no disclosure triangle, a full one has.
        QVERIFY(!model->hasChildren(model->indexOf(node("empty"))));
        QVERIFY(model->hasChildren(many));
    }

    void kindsTableRowsAndSwatches()
    {
        TallyfernDocument& disk = m_window->disk();
        KindsTableModel* kinds = kindsModel();
        QCOMPARE(kinds->rowCount(), int(disk.kindStats.size()));
        QVERIFY(kinds->rowCount() >= 4);
        for (int row = 0; row < kinds->rowCount(); ++row) {
            const KindStat& stat = disk.kindStats[std::size_t(row)];
            QCOMPARE(
                kinds->index(row, KindsTableModel::Kind).data().toString(), disk.kinds().name(stat.kind));
            QCOMPARE(kinds->index(row, KindsTableModel::Size).data().toString(), Fmt::bytes(stat.size));
            QCOMPARE(kinds->index(row, KindsTableModel::Count).data().toString(), Fmt::count(stat.count));
            const RGB rgb = disk.colors.at(std::size_t(stat.kind));
            const QColor swatch
                = kinds->index(row, KindsTableModel::Swatch).data(ItemRoles::Swatch).value<QColor>();
            QVERIFY(std::abs(swatch.redF() - rgb.r) < 1e-3 && std::abs(swatch.greenF() - rgb.g) < 1e-3
                && std::abs(swatch.blueF() - rgb.b) < 1e-3);
        }
        // The 60 data files make one kind of 60 files.
        const std::int32_t dat = node("many/f000.dat")->kind;
        const int datRow = kinds->rowOf(dat);
        QVERIFY(datRow >= 0);
        QCOMPARE(kinds->index(datRow, KindsTableModel::Count).data().toString(), QStringLiteral("60"));
    }

    void summaryAndWarning()
    {
        TallyfernDocument& disk = m_window->disk();
        const QString expected = Fmt::count(m_files) + QStringLiteral(" files · ") + Fmt::bytes(root()->size)
            + QStringLiteral(" · scanned in ") + QString::asprintf("%.1f", disk.scanDuration)
            + QStringLiteral(" s");
        QCOMPARE(m_window->summaryLabel()->text(), expected);
        QVERIFY(m_window->warningButton()->isHidden());
        disk.unreadableCount = 1234;
        disk.scanDuration = 0.04;
        m_window->updateSummary();
        QVERIFY(m_window->summaryLabel()->text().endsWith(QStringLiteral("scanned in 0.0 s")));
        QVERIFY(!m_window->warningButton()->isHidden());
        QCOMPARE(m_window->warningButton()->text(), QStringLiteral("1,234 unreadable"));
    }

    void hoverNamesTheBlockUntilThePointerLeaves()
    {
        TreemapView* view = m_window->treemapView();
        QSignalSpy delivered(view, &TreemapView::imageDelivered);
        QVERIFY(!view->image().isNull() || delivered.wait(10000));
        FileNode* big = node("big.bin");
        const QPoint inBig = centreOf(big);
        QTest::mouseMove(view, inBig);
        QTRY_COMPARE(m_window->statusLabel()->text(), m_window->describe(big));
        QCOMPARE(view->hovered(), big);
        // Leaving the treemap with nothing selected empties the line.
        QTest::mouseMove(m_window->outlineView()->viewport(), QPoint(20, 300));
        QTRY_COMPARE(m_window->statusLabel()->text(), QString());
    }

    void clickRevealsADeepRow()
    {
        TreemapView* view = m_window->treemapView();
        FileNode* pic = node("media/photos/2024/deep/pic.jpg");
        FileOutlineView* outline = m_window->outlineView();
        QVERIFY(!outline->isExpanded(outlineModel()->indexOf(node("media"))));
        QTest::mouseClick(view, Qt::LeftButton, {}, centreOf(pic));
        for (FileNode* up : pic->ancestors())
            QVERIFY(outline->isExpanded(outlineModel()->indexOf(up)));
        QCOMPARE(m_window->selectedNodes(), std::vector<FileNode*> { pic });
        const QRect row = outline->visualRect(outlineModel()->indexOf(pic));
        QVERIFY(outline->viewport()->rect().contains(row));
        QCOMPARE(view->selection(), std::vector<FileNode*> { pic });
        QCOMPARE(m_window->statusLabel()->text(), m_window->describe(pic));
        // Clicking another block replaces the selection.
        FileNode* big = node("big.bin");
        QTest::mouseClick(view, Qt::LeftButton, {}, centreOf(big));
        QCOMPARE(m_window->selectedNodes(), std::vector<FileNode*> { big });
    }

    void kindSelectionHighlightsAndFollowsTheZoomRoot()
    {
        TreemapView* view = m_window->treemapView();
        KeyTableView* table = m_window->kindsTable();
        FileNode* pic = node("media/photos/2024/deep/pic.jpg");
        const int row = kindsModel()->rowOf(pic->kind);
        QVERIFY(row >= 0);
        const QRect cell = table->visualRect(kindsModel()->index(row, KindsTableModel::Kind));
        QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, cell.center());
        QCOMPARE(view->highlightKind(), std::optional<std::int32_t>(pic->kind));
        // A click on the empty area below the rows removes the highlight.
        QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, QPoint(20, table->viewport()->height() - 3));
        QCOMPARE(view->highlightKind(), std::nullopt);

        // Zooming into a folder that holds the kind keeps it; into one that does not, clears it.
        QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, cell.center());
        view->setRoot(node("media"));
        m_window->refreshKinds();
        QCOMPARE(view->highlightKind(), std::optional<std::int32_t>(pic->kind));
        const int zoomedRow = kindsModel()->rowOf(pic->kind);
        QCOMPARE(table->selectionModel()->selectedRows().size(), 1);
        QCOMPARE(table->selectionModel()->selectedRows().first().row(), zoomedRow);
        QCOMPARE(kindsModel()->rowCount(), 2); // the picture and the song
        view->setRoot(node("docs"));
        m_window->refreshKinds();
        QCOMPARE(view->highlightKind(), std::nullopt);
        QVERIFY(table->selectionModel()->selectedRows().isEmpty());
    }

    void trashKeepsExpansionAndScroll()
    {
        FileOutlineView* outline = m_window->outlineView();
        FileOutlineModel* model = outlineModel();
        QAbstractItemModelTester tester(model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        auto workspace = std::make_shared<RecordingWorkspace>();
        m_window->setWorkspace(workspace);
        FileNode* docs = node("docs");
        FileNode* many = node("many");
        FileNode* media = node("media");
        for (FileNode* n : { docs, many, media })
            outline->expand(model->indexOf(n));
        QScrollBar* bar = outline->verticalScrollBar();
        QTRY_VERIFY(bar->maximum() > 200);
        m_window->select(docs);
        bar->setValue(150);
        // Below docs, so that it stays in the tree.
        FileNode* seen = model->node(outline->indexAt(QPoint(1, 1)));
        QVERIFY(seen && !seen->hasAncestor(docs) && seen != docs);
        const std::int64_t before = root()->size;

        m_window->perform(Command::MoveToTrash);
        QMessageBox* sheet = m_window->findChild<QMessageBox*>(QStringLiteral("trashConfirmation"));
        QVERIFY(sheet);
        for (QAbstractButton* button : sheet->buttons())
            if (button->text() == QStringLiteral("Move to Trash"))
                QTest::mouseClick(button, Qt::LeftButton);
        QTRY_COMPARE(workspace->trashed.size(), std::size_t(1));

        QCOMPARE(root()->size, before - docs->size);
        QVERIFY(!model->indexOf(docs).isValid());
        QVERIFY(outline->isExpanded(model->indexOf(many)));
        QVERIFY(outline->isExpanded(model->indexOf(media)));
        QVERIFY(outline->isExpanded(model->index(0, 0)));
        // The view was not reset to the top: the row looked at is still on screen.
        QVERIFY(bar->value() > 0);
        QVERIFY(outline->viewport()->rect().intersects(outline->visualRect(model->indexOf(seen))));
        QCOMPARE(m_window->summaryLabel()->text().section(QLatin1Char(' '), 0, 0), Fmt::count(m_files - 3));
        QCOMPARE(treeFaults(root()), std::string());
    }

    void cancelledRescanReturnsToTheInstalledTree()
    {
        // A bigger tree, so that the rescan is still walking when it is cancelled.
        for (int d = 0; d < 20; ++d) {
            m_fixture->mkdir(QString::asprintf("bulk/d%02d", d).toStdString());
            for (int f = 0; f < 400; ++f)
                m_fixture->sparse(QString::asprintf("bulk/d%02d/%03d", d, f).toStdString(), 1);
        }
        m_window = openScanned(m_fixture->root());
        QVERIFY(m_window);
        FileNode* oldRoot = root();
        m_window->treemapView()->setRoot(nodeAt(oldRoot, "media"));
        bool cancelled = false;
        for (int attempt = 0; attempt < 5 && !cancelled; ++attempt) {
            QSignalSpy ended(m_window.get(), &DocumentWindowController::scanEnded);
            m_window->startScan();
            QVERIFY(m_window->isScanning());
            QVERIFY(m_window->progressView());
            QCOMPARE(outlineModel()->rowCount(), 0); // no rows while the tree may change
            QCOMPARE(kindsModel()->rowCount(), 0);
            m_window->cancelScan();
            QVERIFY(ended.wait(20000));
            cancelled = ended.first().first().toBool();
        }
        QVERIFY2(cancelled, "every rescan finished before it could be cancelled");
        QVERIFY(m_window->isVisible());
        QVERIFY(!m_window->progressView());
        QCOMPARE(root(), oldRoot);
        QCOMPARE(m_window->treemapView()->root(), oldRoot);
        QCOMPARE(outlineModel()->rowCount(), 1);
        QVERIFY(kindsModel()->rowCount() > 0);
    }
    void modelsOverAVolumeInMemory()
    {
        // A package, an unreadable folder, a folder of size 0, a name that is not UTF-8, and
        // the free-space item of a whole volume.
        auto facts = [](const std::string& path) {
            return std::optional<VolumeFacts>(VolumeFacts { path, 10'000'000, 4'000'000, 4'000'000 });
        };
        auto doc = std::make_unique<TallyfernDocument>("/vol", facts, QStringLiteral("Volume"));
        TreeBuilder b("/vol");
        FileNode* docs = b.folder(b.root(), "docs");
        b.file(docs, "a.txt", 4096);
        b.file(docs, "b.txt", 8192);
        b.file(b.folder(b.folder(b.root(), "Tool.app"), "Contents"), "binary", 100'000);
        b.folder(b.root(), "locked")->flags.insert(NodeFlags::Unreadable);
        b.file(b.folder(b.root(), "zero"), "empty.txt", 0);
        b.file(b.root(),
            "bad\xff\xfe"
            "name\n.bin",
            2048);
        doc->install(b.finish());
        FileNode* app = nodeAt(doc->root(), "Tool.app");
        FileOutlineModel model(*doc);
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        // Walk everything the model offers; every index leads back to itself.
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
        const QModelIndex root = model.index(0, 0);
        QCOMPARE(root.data().toString(), QStringLiteral("Volume"));
        QCOMPARE(model.index(0, FileOutlineModel::Percent).data(ItemRoles::Fraction).toDouble(), 1.0);
        // The free-space item: grey and without a count.
        const QModelIndex free = model.indexOf(doc->freeNode());
        QCOMPARE(free.parent(), root);
        QCOMPARE(free.data().toString(), QStringLiteral("Free Space"));
        QVERIFY(free.data(ItemRoles::Secondary).toBool());
        QCOMPARE(free.siblingAtColumn(FileOutlineModel::Count).data().toString(), QString());
        // An unreadable folder.
        const QModelIndex locked = model.indexOf(nodeAt(doc->root(), "locked"));
        QCOMPARE(locked.siblingAtColumn(FileOutlineModel::Kind).data().toString(),
            QStringLiteral("Folder (no access)"));
        QVERIFY(locked.data(ItemRoles::Secondary).toBool());
        QCOMPARE(locked.siblingAtColumn(FileOutlineModel::Count).data().toString(), QStringLiteral("0"));
        // A package shows no triangle while its contents are hidden.
        QVERIFY(!model.hasChildren(model.indexOf(app)));
        QVERIFY(!model.indexOf(nodeAt(doc->root(), "Tool.app/Contents")).isValid());
        // A child of a folder of size 0 gets an empty bar.
        const QModelIndex inZero
            = model.indexOf(nodeAt(doc->root(), "zero/empty.txt"), FileOutlineModel::Percent);
        QCOMPARE(inZero.data(ItemRoles::Fraction).toDouble(), 0.0);
        QCOMPARE(BarCellView::labelText(BarCellView::clamp(inZero.data(ItemRoles::Fraction).toDouble())),
            QStringLiteral("0.0%"));
        // A name that is not UTF-8 and holds a newline is shown, replaced where invalid.
        const QString name = model.indexOf(nodeAt(doc->root(), "bad\xff\xfename\n.bin")).data().toString();
        QVERIFY(name.startsWith(QStringLiteral("bad")) && name.contains(QChar(0xFFFD)));
        QVERIFY(name.endsWith(QStringLiteral("name\n.bin")));
        doc->showPackageContents = true;
        model.reload();
        QCOMPARE(model.rowCount(model.indexOf(app)), 1);
        model.setBlocked(true);
        QCOMPARE(model.rowCount(), 0);
        QVERIFY(!model.indexOf(app).isValid());
        model.setBlocked(false);
        QCOMPARE(model.rowCount(), 1);

        KindsTableModel kinds(*doc);
        QAbstractItemModelTester kindsTester(&kinds, QAbstractItemModelTester::FailureReportingMode::QtTest);
        QCOMPARE(kinds.rowCount(), int(doc->kindStats.size()));
        kinds.setBlocked(true);
        QCOMPARE(kinds.rowCount(), 0);
        kinds.setBlocked(false);
        QCOMPARE(kinds.rowCount(), int(doc->kindStats.size()));
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

QTEST_MAIN(DocumentWindowTest)
#include "tst_DocumentWindow.moc"
