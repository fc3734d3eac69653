// SPDX-License-Identifier: MIT
// The outline and kinds models over trees made in memory: odd names, pseudo items,
// packages, 20,000 levels; and random edits followed in place, checked by Qt's model
// tester, against the tree, for what the view keeps, and for kind totals counted afresh.
#include "model/TallyfernDocument.h"
#include "widgets/ItemRoles.h"
#include "window/FileOutlineModel.h"
#include "window/KindsTableModel.h"
#include "window/support/WindowFixture.h"

#include <QAbstractItemModelTester>
#include <QTest>
#include <QTreeView>

#include <random>
#include <set>

namespace {

void grow(TreeBuilder& builder, FileNode* folder, std::mt19937_64& rng, int depth)
{
    const int items = int(rng() % 6);
    for (int i = 0; i < items; ++i) {
        const std::string name = "n" + std::to_string(rng() % 1000) + "_" + std::to_string(i);
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

class OutlineModelTest : public QObject {
    Q_OBJECT
private slots:
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
        // Every index the model offers leads back to itself; only folders have counts.
        std::vector<QModelIndex> pending { model.index(0, 0) };
        int rows = 0;
        for (; !pending.empty(); ++rows) {
            const QModelIndex index = pending.back();
            pending.pop_back();
            const FileNode* n = model.node(index);
            QCOMPARE(model.indexOf(n), index);
            QCOMPARE(index.siblingAtColumn(FileOutlineModel::Count).data().toString().isEmpty(),
                !n->isDirectory());
            for (int r = 0; r < model.rowCount(index); ++r)
                pending.push_back(model.index(r, 0, index));
        }
        QCOMPARE(rows, 1 + 7 + 2 + 1); // root, its 7 rows, docs' files, zero's file
        QCOMPARE(model.index(0, 0).data().toString(), QStringLiteral("Volume"));
        // The share of a folder of size 0 is no division by zero.
        const auto share = [&](const char* path) {
            return model.indexOf(nodeAt(doc.root(), path), FileOutlineModel::Percent)
                .data(ItemRoles::Fraction);
        };
        QCOMPARE(share("zero/empty.txt").toDouble(), 0.0);
        QCOMPARE(share("docs/b.txt").toDouble() + share("docs/a.txt").toDouble(), 1.0);
        // Pseudo and unreadable items are grey.
        for (const FileNode* grey : { doc.freeNode(), nodeAt(doc.root(), "locked") })
            QVERIFY(model.indexOf(grey).data(ItemRoles::Secondary).toBool());
        QVERIFY(!model.indexOf(docs).data(ItemRoles::Secondary).toBool());
        // A package shows no triangle while its contents are hidden.
        FileNode* app = nodeAt(doc.root(), "Tool.app");
        QVERIFY(!model.hasChildren(model.indexOf(app)));
        QVERIFY(!model.indexOf(nodeAt(doc.root(), "Tool.app/Contents")).isValid());
        // A name that is not UTF-8 and holds a newline is shown, replaced where invalid.
        const QString name = model.indexOf(nodeAt(doc.root(), "bad\xff\xfename\n.bin")).data().toString();
        QVERIFY(name.startsWith(QStringLiteral("bad")) && name.contains(QChar(0xFFFD)));
        QVERIFY(name.endsWith(QStringLiteral("name\n.bin")));
        model.relayout([&doc] { doc.showPackageContents = true; });
        QCOMPARE(model.rowCount(model.indexOf(app)), 1);

        // The kinds table: each row's swatch is its own kind's colour.
        KindsTableModel kinds(doc);
        QAbstractItemModelTester kindsTester(&kinds, QAbstractItemModelTester::FailureReportingMode::QtTest);
        QCOMPARE(kinds.rowCount(), int(doc.kindStats.size()));
        for (int row = 0; row < kinds.rowCount(); ++row) {
            const RGB rgb = doc.colors.at(std::size_t(doc.kindStats[std::size_t(row)].kind));
            const QColor swatch
                = kinds.index(row, KindsTableModel::Swatch).data(ItemRoles::Swatch).value<QColor>();
            QVERIFY(std::abs(swatch.redF() - rgb.r) < 1e-3 && std::abs(swatch.greenF() - rgb.g) < 1e-3
                && std::abs(swatch.blueF() - rgb.b) < 1e-3);
        }
        // While a scan may rewrite the tree, neither model has rows.
        model.setBlocked(true);
        kinds.setBlocked(true);
        QCOMPARE(model.rowCount() + kinds.rowCount(), 0);
        QVERIFY(!model.indexOf(app).isValid());
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
        QCOMPARE(model.node(index), leaf);
        int depth = 0;
        for (QModelIndex up = index; up.isValid(); up = up.parent())
            ++depth;
        QCOMPARE(depth, 20'002);
    }

    void randomEditsKeepRowsExpansionAndSelection()
    {
        for (std::uint64_t seed = 1; seed <= 40; ++seed) {
            std::mt19937_64 rng(seed);
            TallyfernDocument document("/vol", volume, QStringLiteral("vol"));
            {
                TreeBuilder builder("/vol");
                grow(builder, builder.root(), rng, 4);
                builder.file(builder.root(), "anchor", 10);
                document.install(builder.finish());
            }
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
                    const QModelIndex index = model.indexOf(pick);
                    if (!index.isValid())
                        continue;
                    if (rng() % 2)
                        view.expand(index);
                    else
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
                    QVERIFY(kept == document.kindStats);
                    QVERIFY(colours == document.colors);
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
};

QTEST_MAIN(OutlineModelTest)
#include "tst_OutlineModel.moc"
