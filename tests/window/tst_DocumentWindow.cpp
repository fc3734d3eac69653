// SPDX-License-Identifier: MIT
// The document window's edges, on a small screen (1600×1000 at a scale of 2): scans
// cancelled, closed, out of memory or refused; saved scans from elsewhere, from here, and
// bad; the outline and kinds models over odd, deep and randomly edited trees; the preview
// over hostile files; the keyboard, screen readers and the clipboard.
#include "model/TallyfernDocument.h"
#include "scan/NodeArena.h"
#include "scan/ScanReader.h"
#include "scan/ScanStream.h"
#include "scan/ScanWriter.h"
#include "scan/Scanner.h"
#include "treemap/Treemap.h"
#include "widgets/ItemRoles.h"
#include "window/DocumentWindowController.h"
#include "window/FileOutlineModel.h"
#include "window/FileOutlineView.h"
#include "window/KeyTableView.h"
#include "window/KindsTableModel.h"
#include "window/PreviewPanel.h"
#include "window/support/WindowFixture.h"

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QClipboard>
#include <QFileDialog>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QTemporaryFile>
#include <QTreeView>
#include <QtTest>

#include <atomic>
#include <condition_variable>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <random>
#include <set>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// The system's reader, except that reading a folder waits while the gate is shut.
class GateReader : public DirectoryReader {
public:
    ~GateReader() override { open(); }
    long readBatch(int fd, char* buffer, std::size_t size) const override
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this] { return m_open; });
        return DirectoryReader::readBatch(fd, buffer, size);
    }
    void open(bool open = true)
    {
        std::lock_guard lock(m_mutex);
        m_open = open;
        m_changed.notify_all();
    }

private:
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_changed;
    bool m_open = false;
};

// Chunks for node arenas while a test limits them; then every request fails.
std::atomic<long> s_chunksLeft { 0 };
void* limitedChunk(std::size_t bytes)
{
    return s_chunksLeft.fetch_sub(1) > 0 ? std::malloc(bytes) : nullptr;
}

// Closes the message that names `reason`; false when there is none.
bool closeFailureAlert(const QString& reason = QStringLiteral("out of memory"))
{
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (auto* box = qobject_cast<QMessageBox*>(widget);
            box && box->isVisible() && box->text().contains(reason))
            return box->close();
    return false;
}

// The progress view is up (rather than the outline, the kinds and the treemap).
bool showsProgress(const DocumentWindowController& window)
{
    return window.centralWidget() && !window.centralWidget()->isAncestorOf(window.outlineView());
}

constexpr const char* kForeign = R"([1,2,{"progname":"gdu","progver":"5.22","timestamp":1700000000,
"host":"elsewhere.example","volume_capacity":10000000,"volume_available":4000000,"volume_path":"/srv"},
[{"name":"/srv"},
[{"name":"docs"},{"name":"a.pdf","asize":500000,"dsize":503808},
{"name":"link","asize":8192,"dsize":8192,"ino":7,"hlnkc":true}],
{"name":"first","asize":8192,"dsize":8192},
{"name":"n\u00e4me\nwith newline","asize":1000,"dsize":4096}]]
)";

std::unique_ptr<DocumentWindowController> openSaved(const std::string& file)
{
    return shownWithTree(
        std::make_unique<DocumentWindowController>(DocumentWindowController::SavedScanFile { file }));
}

const Command kFileCommands[] = { Command::OpenItem, Command::RevealInFileManager, Command::QuickLook,
    Command::MoveToTrash, Command::Rescan };

void grow(TreeBuilder& builder, FileNode* folder, std::mt19937_64& rng, int depth)
{
    const int items = int(rng() % 6);
    for (int i = 0; i < items; ++i) {
        const std::string name = std::to_string(rng() % 1000).insert(0, 1, 'n') + "_" + std::to_string(i);
        if (depth > 0 && rng() % 3 == 0) {
            FileNode* sub = builder.folder(folder, rng() % 7 == 0 ? name + ".app" : name);
            grow(builder, sub, rng, depth - 1);
        } else {
            // Repeated sizes make ties that only the names order.
            builder.file(folder, name, std::int64_t(rng() % 4) * 1000 + std::int64_t(rng() % 3));
        }
    }
}

std::optional<VolumeFacts> volume(const std::string& path)
{
    return VolumeFacts { path, 10'000'000, 4'000'000, 4'000'000 };
}

} // namespace

class DocumentWindowTest : public QObject {
    Q_OBJECT
    QTemporaryDir m_folder; // what the gated scans list
    PreviewItem item(const std::string& name, bool directory = false) const
    {
        return { m_root + "/" + name, QString::fromStdString(name), directory, QStringLiteral("1 KB"),
            QStringLiteral("Some Kind"), directory ? QStringLiteral("12 files") : QString() };
    }
    void show(std::vector<PreviewItem> items)
    {
        m_items = std::move(items);
        m_panel.setSource(&m_owner, [this] { return m_items; }, {});
        m_panel.reloadData();
    }

    QTemporaryDir m_temp;
    std::string m_root = m_temp.path().toStdString();
    PreviewPanel m_panel;
    QObject m_owner;
    std::vector<PreviewItem> m_items;

private slots:
    void initTestCase() { DocumentFixture::isolateHome(); }
    void cleanupTestCase() { std::filesystem::remove_all(m_root); } // Qt cannot remove the Latin-1 name
    void scanFromAnotherHostShowsItsFactsAndKeepsFilesAlone();
    void scanFromHereActsOnlyOnItemsStillHere();
    void badFilesGiveOneMessageAndNoWindow();
    void escapeCancelsAFirstScanAndClosesOnce()
    {
        GateReader reader;
        DocumentWindowController window(m_folder.path().toStdString(), {}, reader);
        int closes = 0;
        window.onClose = [&] { ++closes; };
        QSignalSpy ended(&window, &DocumentWindowController::scanEnded);
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QVERIFY(window.isScanning() && showsProgress(window) && !window.canPerform(std::nullopt));
        // The 0.1 s tick fills in "N files in M folders · size".
        QTRY_VERIFY(
            window.findChild<QLabel*>(QStringLiteral("progressCount"))->text().contains(" files in "));
        QTest::keyClick(window.centralWidget(), Qt::Key_Escape);
        reader.open();
        QVERIFY(ended.wait(20000) && ended.first().first().toBool());
        QTRY_VERIFY(!window.isVisible());
        QCOMPARE(closes, 1);
        QVERIFY(!window.isScanning() && !window.disk().root());
    }

    void closingOrDestroyingDuringAScanStopsItAndInstallsNothing()
    {
        GateReader reader;
        auto window = std::make_unique<DocumentWindowController>(
            m_folder.path().toStdString(), VolumeFactsProvider {}, reader);
        QSignalSpy ended(window.get(), &DocumentWindowController::scanEnded);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        window->close();
        reader.open();
        // The scan thread stops and reports; the closed window shows and installs nothing.
        QTRY_VERIFY_WITH_TIMEOUT(!window->isScanning(), 20000);
        QCOMPARE(ended.count(), 0);
        QVERIFY(!window->disk().root() && showsProgress(*window));

        // No close at all: the destructor cancels and joins the thread before the
        // document and scanner it uses go.
        reader.open(false);
        window = std::make_unique<DocumentWindowController>(
            m_folder.path().toStdString(), VolumeFactsProvider {}, reader);
        window->show();
        QVERIFY(window->isScanning());
        reader.open();
        window.reset();
        QCoreApplication::processEvents(); // a stray hand-over finds no window
    }

    void aCancelledRescanReturnsToTheInstalledTree()
    {
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("media")));
        std::ofstream(dir.filePath(QStringLiteral("media/song.mp3")).toStdString()) << "la";
        GateReader reader;
        reader.open();
        DocumentWindowController window(dir.path().toStdString(), {}, reader);
        QSignalSpy ended(&window, &DocumentWindowController::scanEnded);
        window.show();
        QVERIFY(ended.wait(20000));
        FileNode* root = window.disk().root();
        window.treemapView()->setRoot(root->child(0));

        reader.open(false);
        window.perform(Command::RescanAll);
        QVERIFY(window.isScanning() && showsProgress(window) && !window.canPerform(std::nullopt));
        // No rows while the tree may change.
        QCOMPARE(window.outlineView()->model()->rowCount() + window.kindsTable()->model()->rowCount(), 0);
        QVERIFY(!static_cast<FileOutlineModel*>(window.outlineView()->model())->indexOf(root).isValid());
        QTest::mouseClick(window.findChild<QPushButton*>(QStringLiteral("cancel")), Qt::LeftButton);
        reader.open();
        QVERIFY(ended.wait(20000) && ended.last().first().toBool());
        QVERIFY(window.isVisible() && !showsProgress(window));
        QVERIFY(window.disk().root() == root && window.treemapView()->root() == root);
        QVERIFY(
            window.outlineView()->model()->rowCount() == 1 && window.kindsTable()->model()->rowCount() > 0);
    }

    void memoryRunningOutKeepsTheTreeOrClosesTheWindowWithAMessage()
    {
        QTemporaryDir dir;
        for (int i = 0; i < 200; ++i)
            std::ofstream(dir.filePath(QString::number(i)).toStdString()) << i;
        s_chunksLeft = 1L << 40;
        NodeArena::setChunkSource(&limitedChunk);
        DocumentWindowController window(dir.path().toStdString());
        QSignalSpy ended(&window, &DocumentWindowController::scanEnded);
        window.show();
        QVERIFY(ended.wait(20000));
        FileNode* root = window.disk().root();
        QVERIFY(root && root->fileCount == 200);

        // A full rescan that runs out keeps the tree the window shows.
        s_chunksLeft = 0;
        window.perform(Command::RescanAll);
        QVERIFY(ended.wait(20000));
        QVERIFY(window.disk().root() == root && root->fileCount == 200);
        QVERIFY(window.isVisible() && !showsProgress(window));
        QVERIFY(closeFailureAlert());

        // A first scan has nothing to keep: the window closes, with the message.
        DocumentWindowController first(dir.path().toStdString());
        int closes = 0;
        first.onClose = [&] { ++closes; };
        first.show();
        QTRY_COMPARE_WITH_TIMEOUT(closes, 1, 20000);
        NodeArena::setChunkSource(nullptr);
        QVERIFY(!first.disk().root() && closeFailureAlert());
    }

    void eachKindOfItemGetsItsPage()
    {
        QImage(800, 400, QImage::Format_RGB32).save(QString::fromStdString(m_root + "/wide.png"));
        {
            std::ofstream text(m_root + "/notes.txt");
            for (int i = 0; i < 5000; ++i)
                text << "line " << i << " of a long text file\n"; // about 150 KB
        }
        std::ofstream(m_root + "/caf\xe9.txt") << "not UTF-8 in the name\n";
        std::ofstream(m_root + "/blob.bin", std::ios::binary) << std::string("\x00\x01\xfe\xff", 4) << "x";
        QVERIFY(QDir().mkpath(QString::fromStdString(m_root + "/folder")));
        // A pipe is described, never read: what waits in it stays for its reader.
        QCOMPARE(::mkfifo((m_root + "/pipe.txt").c_str(), 0600), 0);
        const int fd = ::open((m_root + "/pipe.txt").c_str(), O_RDWR | O_NONBLOCK);
        QCOMPARE(::write(fd, "queued\n", 7), ssize_t(7));

        using Page = PreviewPanel::Page;
        const std::pair<PreviewItem, Page> cases[] = { { item("wide.png"), Page::Image },
            { item("notes.txt"), Page::Text }, { item("caf\xe9.txt"), Page::Text },
            { item("blob.bin"), Page::Other }, { item("folder", true), Page::Folder },
            { item("vanished.txt"), Page::Other }, { item("pipe.txt"), Page::Other } };
        for (const auto& [shown, page] : cases) {
            show({ shown });
            QCOMPARE(m_panel.page(), page);
            if (page == Page::Other) // still described, by what the scan knew
                QVERIFY(
                    m_panel.shownText().contains(shown.name) && m_panel.shownText().contains("Some Kind"));
        }
        char left[16] = {};
        QCOMPARE(::read(fd, left, sizeof left), ssize_t(7));
        ::close(fd);
        show({ item("caf\xe9.txt") });
        QCOMPARE(m_panel.shownText(), QStringLiteral("not UTF-8 in the name\n"));
        show({ item("notes.txt") }); // only the start of a long text
        QVERIFY(m_panel.shownText().startsWith("line 0 ") && !m_panel.shownText().contains("line 4999 "));
        show({});
        QCOMPARE(m_panel.page(), Page::Empty);

        // A source that goes away is never called again.
        int asked = 0;
        {
            QObject shortLived;
            m_panel.setSource(&shortLived,
                [&] {
                    ++asked;
                    return std::vector<PreviewItem> { item("notes.txt") };
                },
                {});
            m_panel.reloadData();
        }
        m_panel.reloadData(); // its source is gone: its callbacks must not run
        QVERIFY(asked == 1 && m_panel.page() == PreviewPanel::Page::Empty && !m_panel.source());
    }
    void modelsOverAVolumeInMemory()
    {
        TallyfernDocument doc("/vol", volume, QStringLiteral("Volume"));
        TreeBuilder b("/vol");
        FileNode* docs = b.folder(b.root(), "docs");
        b.file(docs, "a.txt", 4096);
        b.file(docs, "b.txt", 8192);
        b.file(b.folder(b.folder(b.root(), "Tool.app"), "Contents"), "binary", 100'000);
        b.folder(b.root(), "locked")->flags.insert(NodeFlags::Unreadable);
        b.file(b.folder(b.root(), "zero"), "empty.txt", 0);
        b.file(b.root(), "bad\xff\xfename\n.bin", 2048);
        doc.install(b.finish());
        FileOutlineModel model(doc);
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        // Only folders have counts.
        for (const FileNode* n : { docs, docs->child(0) })
            QCOMPARE(
                model.indexOf(n, FileOutlineModel::Count).data().toString().isEmpty(), n == docs->child(0));
        // The share of a folder of size 0 is no division by zero.
        const auto share = [&](const char* path) {
            return model.indexOf(nodeAt(doc.root(), path), FileOutlineModel::Percent)
                .data(ItemRoles::Fraction);
        };
        QCOMPARE(share("zero/empty.txt").toDouble(), 0.0);
        QCOMPARE(share("docs/b.txt").toDouble() + share("docs/a.txt").toDouble(), 1.0);
        // Pseudo and unreadable items are grey.
        for (const FileNode* n : { doc.freeNode(), nodeAt(doc.root(), "locked"), docs })
            QCOMPARE(model.indexOf(n).data(ItemRoles::Secondary).toBool(), n != docs);
        // A package shows no triangle while its contents are hidden.
        FileNode* app = nodeAt(doc.root(), "Tool.app");
        QVERIFY(!model.hasChildren(model.indexOf(app)));
        QVERIFY(!model.indexOf(nodeAt(doc.root(), "Tool.app/Contents")).isValid());
        // A name that is not UTF-8 and holds a newline is shown, replaced where invalid.
        const QString name = model.indexOf(nodeAt(doc.root(), "bad\xff\xfename\n.bin")).data().toString();
        QVERIFY(name.startsWith(QStringLiteral("bad\uFFFD")) && name.endsWith(QStringLiteral("name\n.bin")));
        model.relayout([&doc] { doc.showPackageContents = true; });
        QCOMPARE(model.rowCount(model.indexOf(app)), 1);

        // The kinds table: each row's swatch is its own kind's colour.
        KindsTableModel kinds(doc);
        QAbstractItemModelTester kindsTester(&kinds, QAbstractItemModelTester::FailureReportingMode::QtTest);
        for (int row = 0; row < kinds.rowCount(); ++row) {
            const RGB rgb = doc.colors.at(std::size_t(doc.kindStats[std::size_t(row)].kind));
            const QColor swatch
                = kinds.index(row, KindsTableModel::Swatch).data(ItemRoles::Swatch).value<QColor>();
            QVERIFY(std::abs(swatch.redF() - rgb.r) < 1e-3 && std::abs(swatch.greenF() - rgb.g) < 1e-3
                && std::abs(swatch.blueF() - rgb.b) < 1e-3);
        }
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
        int depth = 0;
        for (QModelIndex up = model.indexOf(leaf); up.isValid(); up = up.parent())
            ++depth;
        QCOMPARE(depth, 20'002);
    }

    void randomEditsKeepRowsExpansionAndSelection()
    {
        for (std::uint64_t seed = 1; seed <= 40; ++seed) {
            std::mt19937_64 rng(seed);
            TallyfernDocument document("/vol", volume, QStringLiteral("vol"));
            TreeBuilder builder("/vol");
            grow(builder, builder.root(), rng, 4);
            builder.file(builder.root(), "anchor", 10);
            document.install(builder.finish());
            FileOutlineModel model(document);
            document.setObserver(&model);
            QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
            QTreeView view;
            view.setModel(&model);
            view.setSelectionMode(QAbstractItemView::MultiSelection);

            for (int step = 0; step < 25; ++step) {
                // Open and select a few rows, as a user would.
                const std::vector<FileNode*> nodes = preOrder(document.root());
                if (nodes.size() < 2)
                    break; // everything was trashed
                for (int k = 0; k < 3; ++k) {
                    FileNode* pick = nodes[rng() % nodes.size()];
                    if (const QModelIndex index = model.indexOf(pick); index.isValid() && rng() % 2)
                        view.expand(index);
                    else if (index.isValid())
                        view.selectionModel()->select(
                            index, QItemSelectionModel::Select | QItemSelectionModel::Rows);
                }
                std::set<FileNode*> expanded, selected;
                for (FileNode* n : preOrder(document.root()))
                    if (const QModelIndex index = model.indexOf(n); index.isValid() && view.isExpanded(index))
                        expanded.insert(n);
                for (const QModelIndex& index : view.selectionModel()->selectedRows())
                    selected.insert(model.node(index));

                if (rng() % 4 == 0) {
                    FileNode* focus = nodes[rng() % nodes.size()];
                    document.focus = focus->isDirectory() ? focus : focus->parent;
                    document.computeKindStats();
                }
                FileNode* target = nodes[1 + rng() % (nodes.size() - 1)];
                switch (rng() % 4) {
                case 0:
                    document.removeNode(target);
                    break;
                case 1:
                    if (target->isDirectory() && target->parent) {
                        TreeBuilder fresh(target->path());
                        grow(fresh, fresh.root(), rng, 2);
                        document.replaceContents(target, fresh.finish());
                    }
                    break;
                case 2:
                    document.showFreeSpace = !document.showFreeSpace;
                    document.showFreeSpace ? document.attachPseudoNodes() : document.detachPseudoNodes();
                    break;
                default:
                    model.relayout(
                        [&document] { document.showPackageContents = !document.showPackageContents; });
                }
                QCOMPARE(treeFaults(document.root()), std::string());
                FileNode* scope
                    = document.focus && document.isInTree(document.focus) ? document.focus : document.root();
                if (document.kindStatsCover(scope)) {
                    const std::vector<KindStat> kept = document.kindStats;
                    const std::vector<RGB> colours = document.colors;
                    document.computeKindStats();
                    QVERIFY(kept == document.kindStats && colours == document.colors);
                }

                // Every row shows the node the tree has there; what was open or selected and
                // still shows is open or selected still.
                for (FileNode* n : preOrder(document.root())) {
                    const QModelIndex index = model.indexOf(n);
                    if (!index.isValid())
                        continue;
                    QCOMPARE(model.node(index), n);
                    QCOMPARE(model.rowCount(index),
                        FileOutlineModel::isExpandable(n, document.showPackageContents) ? int(n->childCount())
                                                                                        : 0);
                    if (expanded.contains(n) && model.rowCount(index) > 0)
                        QVERIFY2(view.isExpanded(index), n->path().c_str());
                    QCOMPARE(view.selectionModel()->isRowSelected(index.row(), index.parent()),
                        selected.contains(n));
                }
            }
            document.setObserver(nullptr);
        }
    }

    void pathsThatCannotBeScannedSaySo()
    {
        FolderFixture folder;
        folder.write("file", 10);
        for (const char* relative : { "gone", "file", "file/x" }) {
            DocumentWindowController window(folder.path(relative));
            window.show();
            QCOMPARE(window.centralWidget()->objectName(), QStringLiteral("unavailable"));
            QVERIFY(!window.findChild<QLabel*>(QStringLiteral("progressCount")));
            QVERIFY(!window.canPerform(std::nullopt));
        }
    }

    void theKeyboardAndScreenReadersReachEveryView()
    {
        DocumentFixture fixture;
        QVERIFY(fixture.open());
        DocumentWindowController& window = *fixture.window;
        QVERIFY(QTest::qWaitForWindowActive(&window));
        TreemapView* treemap = window.treemapView();
        // Screen readers can name every view.
        for (QWidget* view : QList<QWidget*> { window.outlineView(), window.kindsTable(), treemap })
            QVERIFY(!view->accessibleName().isEmpty());

        // A right click below the last row leaves the selection as it is.
        FileNode* report = fixture.node("docs/report.pdf");
        window.select(report);
        window.outlineView()->collapseAll(); // so that there is room below the rows
        QWidget* viewport = window.outlineView()->viewport();
        QTest::mouseClick(viewport, Qt::RightButton, {}, QPoint(20, viewport->height() - 3));
        QCOMPARE(window.selectedNodes(), std::vector<FileNode*> { report });

        // Arrows walk from block to block, each beside the one before.
        treemap->setFocus();
        QTest::keyClick(treemap, Qt::Key_Right);
        QCOMPARE(window.selectedNodes().size(), 1u);
        const Qt::Key arrows[] = { Qt::Key_Right, Qt::Key_Left, Qt::Key_Down, Qt::Key_Up };
        for (int i = 0; i < 4; ++i) {
            FileNode* before = window.selectedNodes().front();
            const TMRect from = *Treemap::rect(before, treemap->root(), treemap->bounds(), false);
            QTest::keyClick(treemap, arrows[i]);
            FileNode* after = window.selectedNodes().front();
            if (after == before)
                continue; // the edge of the view
            const TMRect to = *Treemap::rect(after, treemap->root(), treemap->bounds(), false);
            // The edge left behind and the one met: right, left, bottom, top of `from`.
            const double edge[] = { from.x1, from.x0, from.y1, from.y0 },
                         met[] = { to.x0, to.x1, to.y0, to.y1 };
            QVERIFY2(std::abs(edge[i] - met[i]) < 1, qPrintable(QString::number(i)));
            QVERIFY(i < 2 ? to.y0 < from.y1 && from.y0 < to.y1 : to.x0 < from.x1 && from.x0 < to.x1);
        }

        // Return zooms into the selected folder, Backspace out; Ctrl and the keypad's
        // plus zoom in as Ctrl+= does.
        FileNode* root = treemap->root();
        FileNode* docs = fixture.node("docs");
        window.select(docs);
        const std::pair<QKeyCombination, FileNode*> keys[] = { { Qt::Key_Return, docs },
            { Qt::Key_Backspace, root }, { Qt::ControlModifier | Qt::KeypadModifier | Qt::Key_Plus, docs },
            { Qt::ControlModifier | Qt::KeypadModifier | Qt::Key_Minus, root } };
        for (const auto& [key, zoom] : keys) {
            QTest::keyClick(treemap, key.key(), key.keyboardModifiers());
            QCOMPARE(treemap->root(), zoom);
        }
    }

    void copyPathKeepsTheExactBytesInAUriList()
    {
        FolderFixture folder;
        folder.write("caf\xe9 #1%.txt", 10);
        auto window = openScanned(folder.root());
        QVERIFY(window);
        window->select(window->disk().root()->child(0));
        window->perform(Command::CopyPath);
        const QMimeData* copied = QGuiApplication::clipboard()->mimeData();
        QCOMPARE(copied->data(QStringLiteral("text/uri-list")),
            "file://" + QByteArray::fromStdString(folder.root()) + "/caf%E9%20%231%25.txt\r\n");
        QCOMPARE(
            copied->text(), QString::fromStdString(folder.root()) + QStringLiteral("/caf\uFFFD #1%.txt"));
    }

    void windowsKeepTheirLayout()
    {
        FolderFixture folder;
        folder.write("a.bin", 4096);
        auto first = openScanned(folder.root());
        QVERIFY(first);
        // A date fits its column whole.
        QHeaderView* header = first->outlineView()->header();
        const QModelIndex time = first->outlineView()->model()->index(0, FileOutlineModel::Modified);
        QVERIFY(header->fontMetrics().horizontalAdvance(time.data().toString())
            < header->sectionSize(time.column()));
        // What the user changed comes back in the next window.
        first->resize(740, 440);
        // Narrow, the view scrolls sideways rather than squeezing the names.
        QTRY_VERIFY(header->sectionSize(FileOutlineModel::Name)
            > header->fontMetrics().horizontalAdvance(QStringLiteral("twelve chars")));
        first->move(20, 10);
        first->outlineView()->header()->resizeSection(FileOutlineModel::Size, 111);
        first->close();
        auto third = openScanned(folder.root());
        QCOMPARE(QRect(third->pos(), third->size()), QRect(20, 10, 740, 440));
        QCOMPARE(third->outlineView()->header()->sectionSize(FileOutlineModel::Size), 111);
    }
};

void DocumentWindowTest::scanFromAnotherHostShowsItsFactsAndKeepsFilesAlone()
{
    QTemporaryDir dir;
    // Content, not the name, says it is a saved scan.
    const std::string file = dir.filePath(QStringLiteral("from-server.data")).toStdString();
    std::ofstream(file, std::ios::binary) << kForeign;
    QVERIFY(ScanReader::isSavedScan(file));
    auto window = openSaved(file);
    QVERIFY(window);
    TallyfernDocument& disk = window->disk();

    QVERIFY(window->windowTitle().contains(QStringLiteral("saved scan from elsewhere.example")));
    QVERIFY(window->findChild<QLabel*>(QStringLiteral("summary"))->text().contains("hard links"));
    // Free and other space from the metadata fill the volume's capacity.
    QVERIFY(disk.freeNode() && disk.freeNode()->parent && disk.freeNode()->size == 4000000);
    QVERIFY(disk.root()->size == 10000000 && disk.scannedBytes() == 503808 + 8192 + 8192 + 4096);

    window->select(nodeAt(disk.root(), "docs/a.pdf"));
    for (const Command command : kFileCommands)
        QVERIFY(
            !window->canPerform(command) && window->disabledReason(command).contains("elsewhere.example"));
    QVERIFY(window->canPerform(Command::CopyPath) && !window->canPerform(Command::RescanAll));

    // Save Scan As through its panel, compressed by the name; the file read back holds
    // the same tree, and the new window still knows where the scan was made.
    const auto saveAs = [&](const std::string& path) {
        window->perform(Command::SaveScanAs);
        auto* panel = window->findChild<QFileDialog*>(QStringLiteral("saveScanPanel"));
        auto* name = panel ? panel->findChild<QLineEdit*>(QStringLiteral("fileNameEdit")) : nullptr;
        QVERIFY(name);
        panel->selectFile(QString::fromStdString(path));
        QTest::keyClick(name, Qt::Key_Return);
    };
    // A disk that fills up (a file size limit, which binds root too): said so, and
    // nothing left behind.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit {};
    getrlimit(RLIMIT_FSIZE, &limit);
    const rlimit full { 16, limit.rlim_max };
    setrlimit(RLIMIT_FSIZE, &full);
    saveAs(dir.filePath(QStringLiteral("full.json")).toStdString());
    QTRY_VERIFY(window->findChild<QMessageBox*>(QStringLiteral("saveFailed")));
    setrlimit(RLIMIT_FSIZE, &limit);
    QCOMPARE(std::distance(fs::directory_iterator(dir.path().toStdString()), {}), 1);
    const std::string saved = dir.filePath(QStringLiteral("again.json.gz")).toStdString();
    saveAs(saved);
    QTRY_VERIFY(
        window->findChild<QLabel*>(QStringLiteral("status"))->text().startsWith(QStringLiteral("Saved")));
    auto again = openSaved(saved);
    QVERIFY(again && !again->canPerform(Command::RevealInFileManager));
    QCOMPARE(snapshot(again->disk().root()), snapshot(disk.root()));
}

void DocumentWindowTest::scanFromHereActsOnlyOnItemsStillHere()
{
    FolderFixture folder;
    folder.write("keep/a.bin", 40000);
    folder.write("gone.bin", 90000);
    QTemporaryDir dir;
    const std::string file = dir.filePath(QStringLiteral("here.json")).toStdString();
    {
        Scanner scanner(folder.path(""));
        const FileTree tree = scanner.run();
        ScanSink sink(file);
        QVERIFY(ScanWriter::write(tree, ScanWriter::metadataFor(folder.path("")), sink) && sink.commit());
    }
    auto window = openSaved(file);
    QVERIFY(window);
    FileNode* root = window->disk().root();

    window->select(nodeAt(root, "gone.bin"));
    for (const Command command : kFileCommands)
        QVERIFY2(window->canPerform(command), qPrintable(window->disabledReason(command)));
    fs::remove(folder.path("gone.bin"));
    for (const Command command : { Command::OpenItem, Command::MoveToTrash })
        QVERIFY(
            !window->canPerform(command) && window->disabledReason(command).contains("not on this computer"));
    window->select(nodeAt(root, "keep/a.bin"));
    QVERIFY(window->canPerform(Command::MoveToTrash));

    // Rescanning everything makes it a scan of this folder as it is now.
    QSignalSpy ended(window.get(), &DocumentWindowController::scanEnded);
    window->perform(Command::RescanAll);
    QVERIFY(ended.wait(20000));
    QVERIFY(!window->disk().savedOrigin && window->disk().root()->fileCount == 1);
}

void DocumentWindowTest::badFilesGiveOneMessageAndNoWindow()
{
    // Which files the reader refuses is its own tests' business: here, that its message
    // reaches the user once and no window stays.
    QTemporaryDir dir;
    const std::string file = dir.filePath(QStringLiteral("bad.json")).toStdString();
    std::ofstream(file, std::ios::binary) << std::string(kForeign).substr(0, 200);
    QVERIFY(ScanReader::isSavedScan(file)); // by its name, whatever it holds
    DocumentWindowController window { DocumentWindowController::SavedScanFile { file } };
    QSignalSpy closed(&window, &DocumentWindowController::closed);
    window.show();
    QVERIFY(closed.wait(20000));
    QVERIFY(!window.disk().root());
    QList<QMessageBox*> boxes;
    for (QWidget* top : QApplication::topLevelWidgets())
        if (auto* box = qobject_cast<QMessageBox*>(top); box && box->objectName() == "savedScanRefused")
            boxes << box;
    QCOMPARE(boxes.size(), 1);
    const QString message = boxes.front()->informativeText();
    QVERIFY2(message.contains(QString::fromStdString(file)) && message.contains(QStringLiteral("byte")),
        qPrintable(message));
    delete boxes.front();
}

int main(int argc, char** argv)
{
    QTemporaryFile config;
    if (!config.open())
        return 1;
    config.write(R"({"screens": [{"name": "small", "x": 0, "y": 0, "width": 800, "height": 500,
        "logicalDpi": 96, "dpr": 1}]})");
    config.flush();
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + config.fileName().toLocal8Bit());
    QApplication app(argc, argv);
    DocumentWindowTest test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_DocumentWindow.moc"
