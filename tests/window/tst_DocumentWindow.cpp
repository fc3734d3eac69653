// SPDX-License-Identifier: MIT
// The document window driven as a user drives it: scan a folder, read the outline, the
// kinds table and the status bar, hover and click the treemap, pick kinds, change the tree.
#include "model/TallyfernDocument.h"
#include "platform/DisplayName.h"
#include "window/DocumentWindowController.h"
#include "window/FileOutlineModel.h"
#include "window/FileOutlineView.h"
#include "window/Fmt.h"
#include "window/ItemRoles.h"
#include "window/KeyTableView.h"
#include "window/KindsTableModel.h"
#include "window/support/WindowFixture.h"

#include <QAbstractButton>
#include <QLabel>
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

    void reloadAfterMutationKeepsExpansionSelectionAndScroll()
    {
        FileOutlineView* outline = m_window->outlineView();
        FileOutlineModel* model = outlineModel();
        FileNode* docs = node("docs");
        FileNode* many = node("many");
        FileNode* media = node("media");
        FileNode* kept = node("many/f010.dat");
        for (FileNode* n : { docs, many, media })
            outline->expand(model->indexOf(n));
        m_window->select(docs);
        outline->selectionModel()->select(
            model->indexOf(kept), QItemSelectionModel::Select | QItemSelectionModel::Rows);
        QScrollBar* bar = outline->verticalScrollBar();
        QTRY_VERIFY(bar->maximum() > 200);
        bar->setValue(150);
        const std::int64_t before = root()->size;

        m_window->mutate([this, docs] { QVERIFY(m_window->disk().removeNode(docs)); });
        m_window->reloadAfterMutation();

        QCOMPARE(root()->size, before - docs->size);
        QVERIFY(!model->indexOf(docs).isValid());
        QVERIFY(outline->isExpanded(model->indexOf(many)));
        QVERIFY(outline->isExpanded(model->indexOf(media)));
        QVERIFY(outline->isExpanded(model->index(0, 0)));
        QCOMPARE(m_window->selectedNodes(), std::vector<FileNode*> { kept });
        QCOMPARE(m_window->treemapView()->selection(), std::vector<FileNode*> { kept });
        QCOMPARE(bar->value(), 150);
        QCOMPARE(m_window->summaryLabel()->text().section(QLatin1Char(' '), 0, 0), Fmt::count(m_files - 3));
        QCOMPARE(m_window->statusLabel()->text(), m_window->describe(kept));
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
};

QTEST_MAIN(DocumentWindowTest)
#include "tst_DocumentWindow.moc"
