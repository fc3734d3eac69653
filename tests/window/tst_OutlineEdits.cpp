// SPDX-License-Identifier: MIT
// The outline follows every edit of the tree in place: random trashes, folder rescans,
// pseudo items and package toggles on random trees, each checked by Qt's model tester,
// against the tree, and for what the view keeps (expanded folders, selected rows). The
// kind totals the edits keep up to date equal a count afresh.
#include "model/TallyfernDocument.h"
#include "window/FileOutlineModel.h"
#include "window/support/CommandFixture.h"
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

std::vector<FileNode*> everyNode(FileNode* root)
{
    std::vector<FileNode*> nodes { root };
    for (std::size_t i = 0; i < nodes.size(); ++i)
        for (FileNode* child : nodes[i]->children())
            nodes.push_back(child);
    return nodes;
}

} // namespace

class OutlineEditsTest : public QObject {
    Q_OBJECT
private slots:
    void randomEditsKeepRowsExpansionAndSelection()
    {
        for (std::uint64_t seed = 1; seed <= 40; ++seed) {
            std::mt19937_64 rng(seed);
            TallyfernDocument document(
                "/vol",
                [](const std::string&) {
                    return std::optional<VolumeFacts>(VolumeFacts { "/vol", 1'000'000, 50'000, 50'000 });
                },
                QStringLiteral("vol"));
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
                const std::vector<FileNode*> nodes = everyNode(document.root());
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
                for (FileNode* n : everyNode(document.root()))
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
                for (FileNode* n : everyNode(document.root())) {
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

QTEST_MAIN(OutlineEditsTest)
#include "tst_OutlineEdits.moc"
