// SPDX-License-Identifier: MIT
// The document window driven as a user drives it: scan a folder, read the outline, the
// kinds table and the status bar, hover and click the treemap, pick kinds, change the tree.
#include "model/TallyfernDocument.h"
#include "platform/DisplayName.h"
#include "treemap/Treemap.h"
#include "window/BarCellView.h"
#include "window/DocumentWindowController.h"
#include "window/ElidingLabel.h"
#include "window/FileOutlineModel.h"
#include "window/FileOutlineView.h"
#include "window/Fmt.h"
#include "window/ItemRoles.h"
#include "window/KeyTableView.h"
#include "window/KindsTableModel.h"
#include "window/UnreadableFoldersWindow.h"
#include "window/support/WindowFixture.h"

#include <QAbstractButton>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
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

FileNode* childNamed(const FileNode* parent, std::string_view name)
{
    for (FileNode* child : parent->children())
        if (child->name() == name)
            return child;
    return nullptr;
}

FileNode* nodeAt(const FileNode* root, std::initializer_list<std::string_view> names)
{
    const FileNode* node = root;
    for (std::string_view name : names) {
        node = childNamed(node, name);
        if (!node)
            return nullptr;
    }
    return const_cast<FileNode*>(node);
}

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
    QPoint centreOf(const FileNode* node) const
    {
        TreemapView* view = m_window->treemapView();
        const std::optional<TMRect> r = Treemap::rect(node, view->root(), view->bounds(), false);
        if (!r)
            return { -1, -1 };
        return QPointF((r->x0 + r->x1) / 2, (r->y0 + r->y1) / 2).toPoint();
    }
    std::unique_ptr<DocumentWindowController> openAndScan(VolumeFactsProvider facts = {})
    {
        auto window = std::make_unique<DocumentWindowController>(m_fixture->root(), std::move(facts));
        QSignalSpy ended(window.get(), &DocumentWindowController::scanEnded);
        window->show();
        if (!QTest::qWaitForWindowExposed(window.get()))
            qWarning("window not exposed");
        if (ended.isEmpty() && !ended.wait(20000)) {
            qWarning("scan did not end");
            return nullptr;
        }
        return window;
    }

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
        m_window = openAndScan();
        QVERIFY(m_window);
        QVERIFY(root());
    }

    void cleanup()
    {
        m_window.reset();
        m_fixture.reset();
    }

    void windowGeometryAndViews()
    {
        QCOMPARE(m_window->size(), QSize(1280, 800));
        QCOMPARE(m_window->minimumSize(), QSize(720, 420));
        QVERIFY(!m_window->progressView());
        QVERIFY(!m_window->isScanning());
        QCOMPARE(m_window->treemapView()->root(), root());
        // The left column sits at 0.45 of the split's width (576 of 1280), the outline
        // takes 68 % of it.
        const int left = m_window->outlineView()->parentWidget()->width();
        QVERIFY2(std::abs(left - 576) <= 2, qPrintable(QString::number(left)));
        const int outline = m_window->outlineView()->height();
        const int kinds = m_window->kindsTable()->height();
        QVERIFY(std::abs(double(outline) / (outline + kinds + 1) - 0.68) < 0.01);
        QCOMPARE(m_window->windowTitle(),
            DisplayName::of(m_fixture->root()) + QStringLiteral(" — ")
                + QString::fromStdString(m_fixture->root()));

        // Columns keep their minimum widths; the swatch column is fixed.
        QHeaderView* header = m_window->outlineView()->header();
        QCOMPARE(header->sectionSize(FileOutlineModel::Size), 72);
        header->resizeSection(FileOutlineModel::Size, 10);
        QCOMPARE(header->sectionSize(FileOutlineModel::Size), 56);
        header->resizeSection(FileOutlineModel::Kind, 20);
        QCOMPARE(header->sectionSize(FileOutlineModel::Kind), 50);
        QHeaderView* kindsHeader = m_window->kindsTable()->horizontalHeader();
        QCOMPARE(kindsHeader->sectionSize(KindsTableModel::Swatch), 22);
        QCOMPARE(kindsHeader->sectionResizeMode(KindsTableModel::Swatch), QHeaderView::Fixed);

        // Wider: the treemap takes the change; taller: the outline does.
        const int treemapWidth = m_window->treemapView()->width();
        m_window->resize(1480, 900);
        QTRY_COMPARE(m_window->treemapView()->width(), treemapWidth + 200);
        QCOMPARE(m_window->outlineView()->parentWidget()->width(), left);
        QTRY_COMPARE(m_window->outlineView()->height(), outline + 100);
        QCOMPARE(m_window->kindsTable()->height(), kinds);
    }

    void narrowWindowShortensTheStatusFirst()
    {
        m_window->resize(720, 420);
        QTRY_COMPARE(m_window->width(), 720);
        auto* status = qobject_cast<ElidingLabel*>(m_window->statusLabel());
        QVERIFY(status);
        const QString path
            = QString::fromStdString(m_fixture->root()) + QStringLiteral("/a-long-folder-name").repeated(12);
        status->setText(path);
        QCoreApplication::processEvents();
        QLabel* summary = m_window->summaryLabel();
        QVERIFY(summary->width() >= summary->sizeHint().width());
        const QString shown = status->shownText();
        QVERIFY(shown.contains(QChar(0x2026)));
        QVERIFY(shown.startsWith(QString::fromStdString(m_fixture->root()).left(4)));
        QVERIFY(shown.endsWith(QStringLiteral("a-long-folder-name")));
    }

    void titleNamesTheZoomRoot()
    {
        FileNode* media = nodeAt(root(), { "media" });
        m_window->treemapView()->setRoot(media);
        m_window->updateTitle();
        QCOMPARE(m_window->windowTitle(),
            DisplayName::of(m_fixture->root()) + QStringLiteral(" — ")
                + QString::fromStdString(m_fixture->path("media")));
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
        // Files: counts for folders only; Kind: the registry's name, "Folder" for folders.
        const QModelIndex many = model->indexOf(nodeAt(root(), { "many" }));
        QCOMPARE(many.siblingAtColumn(FileOutlineModel::Count).data().toString(), QStringLiteral("60"));
        QCOMPARE(many.siblingAtColumn(FileOutlineModel::Kind).data().toString(), QStringLiteral("Folder"));
        const QModelIndex big = model->indexOf(nodeAt(root(), { "big.bin" }));
        QCOMPARE(big.siblingAtColumn(FileOutlineModel::Count).data().toString(), QString());
        QVERIFY(big.siblingAtColumn(FileOutlineModel::Kind).data(ItemRoles::Secondary).toBool());
        // An empty folder has no disclosure triangle, a full one has.
        QVERIFY(!model->hasChildren(model->indexOf(nodeAt(root(), { "empty" }))));
        QVERIFY(model->hasChildren(many));
        // Children of an empty folder's sibling of size 0: an empty bar.
        const double emptyShare = model->indexOf(nodeAt(root(), { "empty" }), FileOutlineModel::Percent)
                                      .data(ItemRoles::Fraction)
                                      .toDouble();
        QCOMPARE(BarCellView::labelText(emptyShare), QStringLiteral("0.0%"));
    }

    void iconsAreSharedPerKind()
    {
        FileOutlineModel* model = outlineModel();
        auto iconOf = [&](std::initializer_list<std::string_view> path) {
            return model->indexOf(nodeAt(root(), path)).data(Qt::DecorationRole).value<QIcon>();
        };
        const QIcon a = iconOf({ "many", "f000.dat" });
        const QIcon b = iconOf({ "many", "f001.dat" });
        QVERIFY(!a.isNull());
        QCOMPARE(a.cacheKey(), b.cacheKey());
        QCOMPARE(iconOf({ "many", "f059.dat" }).cacheKey(), a.cacheKey());
        QVERIFY(!model->index(0, 0).data(Qt::DecorationRole).value<QIcon>().isNull());
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
        const std::int32_t dat = nodeAt(root(), { "many", "f000.dat" })->kind;
        const int datRow = kinds->rowOf(dat);
        QVERIFY(datRow >= 0);
        QCOMPARE(kinds->index(datRow, KindsTableModel::Count).data().toString(), QStringLiteral("60"));
        // A kind past the colour list is grey.
        const QColor grey = kinds->color(std::int32_t(disk.colors.size()) + 5);
        QCOMPARE(grey, QColor::fromRgbF(0.62f, 0.62f, 0.62f));
    }

    void summaryAndWarning()
    {
        TallyfernDocument& disk = m_window->disk();
        const QString expected = Fmt::count(m_files) + QStringLiteral(" files · ") + Fmt::bytes(root()->size)
            + QStringLiteral(" · scanned in ") + QString::asprintf("%.1f", disk.scanDuration)
            + QStringLiteral(" s");
        QCOMPARE(m_window->summaryLabel()->text(), expected);
        QVERIFY(m_window->warningButton()->isHidden());
        disk.unreadableCount = 1;
        disk.scanDuration = 0.04;
        m_window->updateSummary();
        QVERIFY(!m_window->warningButton()->isHidden());
        QCOMPARE(m_window->warningButton()->text(), QStringLiteral("1 unreadable"));
        QVERIFY(m_window->summaryLabel()->text().endsWith(QStringLiteral("scanned in 0.0 s")));
        disk.unreadableCount = 1234;
        m_window->updateSummary();
        QCOMPARE(m_window->warningButton()->text(), QStringLiteral("1,234 unreadable"));
        disk.unreadableCount = 0;
        m_window->updateSummary();
        QVERIFY(m_window->warningButton()->isHidden());
    }

    void warningButtonListsTheUnreadableFolders()
    {
        FileNode* docs = nodeAt(root(), { "docs" });
        FileNode* deep = nodeAt(root(), { "media", "photos", "2024", "deep" });
        m_window->mutate([docs, deep] {
            docs->flags.insert(NodeFlags::Unreadable);
            deep->flags.insert(NodeFlags::Unreadable);
        });
        m_window->disk().unreadableCount = 2;
        m_window->reloadAfterMutation();
        QAbstractButton* button = m_window->warningButton();
        QVERIFY(button->isVisible());
        QCOMPARE(button->text(), QStringLiteral("2 unreadable"));
        QTest::mouseClick(button, Qt::LeftButton);
        UnreadableFoldersWindow* list = nullptr;
        QTRY_VERIFY((list = m_window->findChild<UnreadableFoldersWindow*>()) != nullptr);
        QStringList shown;
        for (int i = 0; i < list->list()->count(); ++i)
            shown << list->list()->item(i)->text();
        shown.sort();
        QStringList expected { QString::fromStdString(m_fixture->path("docs")),
            QString::fromStdString(m_fixture->path("media/photos/2024/deep")) };
        expected.sort();
        QCOMPARE(shown, expected);
        // A second click brings the same window forward instead of another one.
        QTest::mouseClick(button, Qt::LeftButton);
        QCoreApplication::processEvents();
        QCOMPARE(m_window->findChildren<UnreadableFoldersWindow*>().size(), 1);
    }

    void describeTexts()
    {
        const QString dash = QStringLiteral(" — ");
        FileNode* many = nodeAt(root(), { "many" });
        QCOMPARE(m_window->describe(many),
            QString::fromStdString(m_fixture->path("many")) + dash + Fmt::bytes(many->size)
                + QStringLiteral(" · 60 files"));
        FileNode* big = nodeAt(root(), { "big.bin" });
        QCOMPARE(m_window->describe(big),
            QString::fromStdString(m_fixture->path("big.bin")) + dash
                + Fmt::bytes(m_fixture->allocated("big.bin")) + QStringLiteral(" (400 KB logical)"));
        FileNode* sparse = nodeAt(root(), { "sparse.img" });
        QVERIFY(m_window->describe(sparse).endsWith(QStringLiteral(" (10 MB logical)")));
        FileNode* song = nodeAt(root(), { "media", "song.mp3" });
        m_window->mutate([song] { song->logicalSize = song->size; });
        QCOMPARE(m_window->describe(song),
            QString::fromStdString(m_fixture->path("media/song.mp3")) + dash + Fmt::bytes(song->size));
        FileNode* docs = nodeAt(root(), { "docs" });
        m_window->mutate([docs] { docs->flags.insert(NodeFlags::Unreadable); });
        QVERIFY(m_window->describe(docs).endsWith(QStringLiteral(" files · could not be read")));
        QCOMPARE(outlineModel()->indexOf(docs, FileOutlineModel::Kind).data().toString(),
            QStringLiteral("Folder (no access)"));
        QVERIFY(outlineModel()->indexOf(docs).data(ItemRoles::Secondary).toBool());
    }

    void hoverNamesTheBlockUntilThePointerLeaves()
    {
        TreemapView* view = m_window->treemapView();
        QSignalSpy delivered(view, &TreemapView::imageDelivered);
        QVERIFY(!view->image().isNull() || delivered.wait(10000));
        FileNode* big = nodeAt(root(), { "big.bin" });
        const QPoint inBig = centreOf(big);
        QTest::mouseMove(view, inBig);
        QTRY_COMPARE(m_window->statusLabel()->text(), m_window->describe(big));
        QCOMPARE(view->hovered(), big);
        // Leaving the treemap with nothing selected empties the line...
        QTest::mouseMove(m_window->outlineView()->viewport(), QPoint(20, 300));
        QTRY_COMPARE(m_window->statusLabel()->text(), QString());
        // ...and with a selection it falls back to the lowest selected row.
        FileNode* song = nodeAt(root(), { "media", "song.mp3" });
        m_window->select(song);
        m_window->select(nodeAt(root(), { "docs" }));
        m_window->outlineView()->selectionModel()->select(
            outlineModel()->indexOf(song), QItemSelectionModel::Select | QItemSelectionModel::Rows);
        QCOMPARE(m_window->selectedNodes().size(), std::size_t(2));
        QCOMPARE(m_window->selectedNodes().back(), nodeAt(root(), { "docs" }));
        QTest::mouseMove(view, inBig);
        QTRY_COMPARE(m_window->statusLabel()->text(), m_window->describe(big));
        QTest::mouseMove(m_window->outlineView()->viewport(), QPoint(20, 300));
        QTRY_COMPARE(m_window->statusLabel()->text(), m_window->describe(nodeAt(root(), { "docs" })));
    }

    void clickRevealsADeepRow()
    {
        TreemapView* view = m_window->treemapView();
        FileNode* pic = nodeAt(root(), { "media", "photos", "2024", "deep", "pic.jpg" });
        QVERIFY(pic);
        FileOutlineView* outline = m_window->outlineView();
        QVERIFY(!outline->isExpanded(outlineModel()->indexOf(nodeAt(root(), { "media" }))));
        QTest::mouseClick(view, Qt::LeftButton, {}, centreOf(pic));
        for (FileNode* up : pic->ancestors())
            QVERIFY(outline->isExpanded(outlineModel()->indexOf(up)));
        QCOMPARE(m_window->selectedNodes(), std::vector<FileNode*> { pic });
        const QRect row = outline->visualRect(outlineModel()->indexOf(pic));
        QVERIFY(outline->viewport()->rect().contains(row));
        QCOMPARE(view->selection(), std::vector<FileNode*> { pic });
        QCOMPARE(m_window->statusLabel()->text(), m_window->describe(pic));
        QCOMPARE(m_window->actionableNodes(), std::vector<FileNode*> { pic });
        // Clicking another block replaces the selection.
        FileNode* big = nodeAt(root(), { "big.bin" });
        QTest::mouseClick(view, Qt::LeftButton, {}, centreOf(big));
        QCOMPARE(m_window->selectedNodes(), std::vector<FileNode*> { big });
    }

    void actionableNodesDropNestedAndPseudoItems()
    {
        FileNode* media = nodeAt(root(), { "media" });
        FileNode* song = nodeAt(root(), { "media", "song.mp3" });
        FileNode* pic = nodeAt(root(), { "media", "photos", "2024", "deep", "pic.jpg" });
        FileNode* big = nodeAt(root(), { "big.bin" });
        m_window->select(pic);
        auto* selection = m_window->outlineView()->selectionModel();
        for (FileNode* n : { media, song, big })
            selection->select(
                outlineModel()->indexOf(n), QItemSelectionModel::Select | QItemSelectionModel::Rows);
        QCOMPARE(m_window->selectedNodes().size(), std::size_t(4));
        QCOMPARE(m_window->actionableNodes(), (std::vector<FileNode*> { big, media }));
        QVERIFY(m_window->isExpandable(media));
        QVERIFY(!m_window->isExpandable(big));
        QVERIFY(!m_window->isExpandable(nodeAt(root(), { "empty" })));
    }

    void kindSelectionHighlightsAndFollowsTheZoomRoot()
    {
        TreemapView* view = m_window->treemapView();
        KeyTableView* table = m_window->kindsTable();
        FileNode* pic = nodeAt(root(), { "media", "photos", "2024", "deep", "pic.jpg" });
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
        view->setRoot(nodeAt(root(), { "media" }));
        m_window->refreshKinds();
        QCOMPARE(view->highlightKind(), std::optional<std::int32_t>(pic->kind));
        const int zoomedRow = kindsModel()->rowOf(pic->kind);
        QCOMPARE(table->selectionModel()->selectedRows().size(), 1);
        QCOMPARE(table->selectionModel()->selectedRows().first().row(), zoomedRow);
        QCOMPARE(kindsModel()->rowCount(), 2); // the picture and the song
        view->setRoot(nodeAt(root(), { "docs" }));
        m_window->refreshKinds();
        QCOMPARE(view->highlightKind(), std::nullopt);
        QVERIFY(table->selectionModel()->selectedRows().isEmpty());
    }

    void reloadAfterMutationKeepsExpansionSelectionAndScroll()
    {
        FileOutlineView* outline = m_window->outlineView();
        FileOutlineModel* model = outlineModel();
        FileNode* docs = nodeAt(root(), { "docs" });
        FileNode* many = nodeAt(root(), { "many" });
        FileNode* media = nodeAt(root(), { "media" });
        FileNode* kept = nodeAt(root(), { "many", "f010.dat" });
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

    void pseudoItemsOfAWholeVolume()
    {
        const std::string path = m_fixture->root();
        auto facts = [path](const std::string&) -> std::optional<VolumeFacts> {
            VolumeFacts f;
            f.volumePath = path;
            f.total = 50'000'000'000;
            f.available = 20'000'000'000;
            f.important = 20'000'000'000;
            return f;
        };
        m_window = openAndScan(facts);
        QVERIFY(m_window);
        FileNode* free = m_window->disk().freeNode();
        QVERIFY(free && free->parent == root());
        FileOutlineModel* model = outlineModel();
        const QModelIndex row = model->indexOf(free);
        QCOMPARE(row.data().toString(), QStringLiteral("Free Space"));
        QVERIFY(row.data(ItemRoles::Secondary).toBool());
        QCOMPARE(row.siblingAtColumn(FileOutlineModel::Count).data().toString(), QString());
        QCOMPARE(m_window->describe(free), QStringLiteral("Free Space — 20 GB"));
        QVERIFY(!row.data(Qt::DecorationRole).value<QIcon>().isNull());
        // The summary counts what the scan found, not the pseudo items.
        QVERIFY(m_window->summaryLabel()->text().contains(Fmt::bytes(m_window->disk().scannedBytes())));
        m_window->select(free);
        QVERIFY(m_window->actionableNodes().empty());
    }

    void cancelledRescanReturnsToTheInstalledTree()
    {
        // A bigger tree, so that the rescan is still walking when it is cancelled.
        for (int d = 0; d < 20; ++d) {
            m_fixture->mkdir(QString::asprintf("bulk/d%02d", d).toStdString());
            for (int f = 0; f < 400; ++f)
                m_fixture->sparse(QString::asprintf("bulk/d%02d/%03d", d, f).toStdString(), 1);
        }
        m_window = openAndScan();
        QVERIFY(m_window);
        FileNode* oldRoot = root();
        m_window->treemapView()->setRoot(nodeAt(oldRoot, { "media" }));
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
