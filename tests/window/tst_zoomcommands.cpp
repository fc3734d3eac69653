// SPDX-License-Identifier: MIT
// Zoom and navigation commands of a document window on a real folder.
#include "model/TallyfernDocument.h"
#include "window/FileOutlineModel.h"
#include "window/FileOutlineView.h"
#include "window/KeyTableView.h"
#include "window/support/CommandFixture.h"

#include "platform/gui/PreviewPanel.h"

#include <QtTest>

namespace {

std::vector<std::pair<std::int32_t, std::int64_t>> kindTotals(const TallyfernDocument& disk)
{
    std::vector<std::pair<std::int32_t, std::int64_t>> totals;
    for (const KindStat& stat : disk.kindStats)
        totals.emplace_back(stat.kind, stat.size);
    return totals;
}

// A double click as the user makes it: the first click, then the second.
void doubleClick(QWidget* widget, QPoint point)
{
    QTest::mouseClick(widget, Qt::LeftButton, {}, point);
    QTest::mouseDClick(widget, Qt::LeftButton, {}, point);
}

} // namespace

class TestZoomCommands : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { CommandFixture::isolateHome(); }
    void init()
    {
        m_fixture = std::make_unique<CommandFixture>();
        QVERIFY(m_fixture->open());
    }
    void cleanup() { m_fixture.reset(); }

    void zoomInUsesTheLowestSelectedRow();
    void zoomTargetsOfFilesPseudoItemsEmptyFoldersAndPackages();
    void zoomOutAndToTopFollowTheTitleAndTheKinds();
    void doubleClickDescendsExactlyOneLevel();
    void collapseWithAFileSelected();
    void freeSpaceShownTwiceRestoresEveryTotal();
    void hidingPackageContentsLeavesAZoomInsideAPackage();
    void outlineDoubleClickExpandsFoldersAndPreviewsFiles();

private:
    FileNode* node(const std::string& relative) const { return m_fixture->node(relative); }
    FileNode* zoomRoot() const { return m_fixture->window->treemapView()->root(); }
    DocumentWindowController& window() const { return *m_fixture->window; }

    std::unique_ptr<CommandFixture> m_fixture;
};

void TestZoomCommands::zoomInUsesTheLowestSelectedRow()
{
    // Outline order puts docs above media above empty (sizes), whatever the click order.
    m_fixture->selectRows({ node("empty"), node("docs"), node("media") });
    QCOMPARE(window().selectedNodes().size(), std::size_t(3));
    QVERIFY(window().canPerform(Command::ZoomIn));
    window().perform(Command::ZoomIn);
    // "empty" is the lowest row; it is not expandable, so its parent (the root) is shown.
    QCOMPARE(zoomRoot(), node(""));

    m_fixture->selectRows({ node("media"), node("docs") });
    window().perform(Command::ZoomIn);
    QCOMPARE(zoomRoot(), node("media"));
}

void TestZoomCommands::zoomTargetsOfFilesPseudoItemsEmptyFoldersAndPackages()
{
    m_fixture->click(node("docs/deep/l2/l3/l4/big.bin"));
    window().perform(Command::ZoomIn);
    QCOMPARE(zoomRoot(), node("docs/deep/l2/l3/l4"));

    FileNode* free = window().disk().freeNode();
    QVERIFY(free && free->parent == node(""));
    m_fixture->click(free);
    window().perform(Command::ZoomIn);
    QCOMPARE(zoomRoot(), node(""));

    m_fixture->click(node("empty"));
    window().perform(Command::ZoomIn);
    QCOMPARE(zoomRoot(), node(""));

    // A package with hidden contents counts as one item: its folder is shown.
    m_fixture->click(node("Tool.app"));
    window().perform(Command::ZoomIn);
    QCOMPARE(zoomRoot(), node(""));

    window().perform(Command::TogglePackageContents);
    QVERIFY(window().disk().showPackageContents);
    m_fixture->click(node("Tool.app"));
    window().perform(Command::ZoomIn);
    QCOMPARE(zoomRoot(), node("Tool.app"));
    QVERIFY(window().windowTitle().endsWith(QString::fromStdString(node("Tool.app")->path())));
}

void TestZoomCommands::zoomOutAndToTopFollowTheTitleAndTheKinds()
{
    QVERIFY(!window().canPerform(Command::ZoomOut));
    window().perform(Command::ZoomOut); // at the top: nothing happens
    QCOMPARE(zoomRoot(), node(""));

    m_fixture->click(node("media/photo.jpg"));
    window().perform(Command::ZoomIn);
    QCOMPARE(zoomRoot(), node("media"));
    QVERIFY(window().windowTitle().endsWith(QString::fromStdString(node("media")->path())));
    // The kinds table describes the zoom root only: two kinds, media's bytes.
    QCOMPARE(window().disk().kindStats.size(), std::size_t(2));
    QCOMPARE(window().disk().kindStats[0].size + window().disk().kindStats[1].size, node("media")->size);
    QCOMPARE(window().kindsTable()->model()->rowCount(), 2);

    m_fixture->click(node("docs/deep/l2/l3/l4/big.bin"));
    window().perform(Command::ZoomIn);
    QCOMPARE(zoomRoot(), node("docs/deep/l2/l3/l4"));
    window().perform(Command::ZoomOut);
    QCOMPARE(zoomRoot(), node("docs/deep/l2/l3"));
    QVERIFY(window().windowTitle().endsWith(QString::fromStdString(node("docs/deep/l2/l3")->path())));
    QVERIFY(window().canPerform(Command::ZoomToTop));
    window().perform(Command::ZoomToTop);
    QCOMPARE(zoomRoot(), node(""));
    QVERIFY(!window().canPerform(Command::ZoomToTop));
    QVERIFY(window().windowTitle().endsWith(QString::fromStdString(m_fixture->folder.root())));
}

void TestZoomCommands::doubleClickDescendsExactlyOneLevel()
{
    TreemapView* treemap = window().treemapView();
    FileNode* big = node("docs/deep/l2/l3/l4/big.bin");
    const QPoint deepPoint = m_fixture->pointOf(big);
    QVERIFY(deepPoint.x() >= 0);
    doubleClick(treemap, deepPoint);
    QCOMPARE(zoomRoot(), node("docs")); // the root's child on the way, not big.bin's folder

    doubleClick(treemap, m_fixture->pointOf(big));
    QCOMPARE(zoomRoot(), node("docs/deep"));

    // A file lying directly in the zoom root changes nothing.
    window().perform(Command::ZoomToTop);
    const QPoint topFile = m_fixture->pointOf(node("top.bin"));
    QVERIFY(topFile.x() >= 0);
    doubleClick(treemap, topFile);
    QCOMPARE(zoomRoot(), node(""));
    // Nor does the free-space block.
    const QPoint freePoint = m_fixture->pointOf(window().disk().freeNode());
    QVERIFY(freePoint.x() >= 0);
    doubleClick(treemap, freePoint);
    QCOMPARE(zoomRoot(), node(""));
}

void TestZoomCommands::collapseWithAFileSelected()
{
    FileOutlineView* outline = window().outlineView();
    m_fixture->reveal(node("docs/deep/l2/l3/l4/big.bin"));
    QVERIFY(outline->isExpanded(m_fixture->indexOf(node("docs/deep/l2"))));
    m_fixture->click(node("docs/notes.txt"));
    QVERIFY(window().canPerform(Command::CollapseSubfolders));
    window().perform(Command::CollapseSubfolders);

    QVERIFY(outline->isExpanded(m_fixture->indexOf(node("docs"))));
    QVERIFY(!outline->isExpanded(m_fixture->indexOf(node("docs/deep"))));
    QCOMPARE(window().selectedNodes(), std::vector<FileNode*> { node("docs") });
    // Opening deep again shows its subfolders closed: they were collapsed, not hidden.
    outline->expand(m_fixture->indexOf(node("docs/deep")));
    QVERIFY(!outline->isExpanded(m_fixture->indexOf(node("docs/deep/l2"))));
}

void TestZoomCommands::freeSpaceShownTwiceRestoresEveryTotal()
{
    TallyfernDocument& disk = window().disk();
    FileNode* root = node("");
    const std::int64_t size = root->size;
    const std::int64_t count = root->fileCount;
    const auto kinds = kindTotals(disk);
    const std::size_t children = root->childCount();
    QVERIFY(window().isChecked(Command::ToggleFreeSpace));
    const std::int64_t pseudo = disk.freeNode()->size + disk.otherNode()->size;
    QVERIFY(disk.freeNode()->size == CommandFixture::kVolumeFree);

    window().perform(Command::ToggleFreeSpace);
    QVERIFY(!window().isChecked(Command::ToggleFreeSpace));
    QCOMPARE(root->size, size - pseudo);
    QCOMPARE(root->childCount(), children - 2);
    QVERIFY(disk.freeNode()->parent == nullptr);
    QCOMPARE(CommandFixture::checkTree(root), std::string());
    for (const KindStat& stat : disk.kindStats)
        QVERIFY(stat.kind != KindRegistry::kFreeSpace && stat.kind != KindRegistry::kOtherSpace);

    window().perform(Command::ToggleFreeSpace);
    QVERIFY(window().isChecked(Command::ToggleFreeSpace));
    QCOMPARE(root->size, size);
    QCOMPARE(root->fileCount, count);
    QCOMPARE(root->childCount(), children);
    QCOMPARE(kindTotals(disk), kinds);
    QCOMPARE(CommandFixture::checkTree(root), std::string());
}

void TestZoomCommands::hidingPackageContentsLeavesAZoomInsideAPackage()
{
    window().perform(Command::TogglePackageContents);
    m_fixture->click(node("Tool.app/Contents/bin"));
    window().perform(Command::ZoomIn);
    QCOMPARE(zoomRoot(), node("Tool.app/Contents"));
    QVERIFY(window().isChecked(Command::TogglePackageContents));

    window().perform(Command::TogglePackageContents);
    QVERIFY(!window().isChecked(Command::TogglePackageContents));
    QCOMPARE(zoomRoot(), node("")); // the package's parent
    QVERIFY(!m_fixture->indexOf(node("Tool.app/Contents")).isValid());
}

void TestZoomCommands::outlineDoubleClickExpandsFoldersAndPreviewsFiles()
{
    FileOutlineView* outline = window().outlineView();
    m_fixture->reveal(node("media"));
    const QModelIndex media = m_fixture->indexOf(node("media"));
    QVERIFY(!outline->isExpanded(media));
    doubleClick(outline->viewport(), outline->visualRect(media).center());
    QVERIFY(outline->isExpanded(media));
    doubleClick(outline->viewport(), outline->visualRect(media).center());
    QVERIFY(!outline->isExpanded(media));

    const QModelIndex top = m_fixture->indexOf(node("top.bin"));
    doubleClick(outline->viewport(), outline->visualRect(top).center());
    QTRY_VERIFY(PreviewPanel::existing() && PreviewPanel::existing()->isVisible());
    QCOMPARE(PreviewPanel::existing()->itemCount(), 1);
    doubleClick(outline->viewport(), outline->visualRect(top).center());
    QVERIFY(!PreviewPanel::existing()->isVisible());

    // Below the last row: nothing.
    const QSize before = outline->viewport()->size();
    doubleClick(outline->viewport(), QPoint(10, before.height() - 3));
    QVERIFY(!PreviewPanel::existing()->isVisible());
    QCOMPARE(zoomRoot(), node(""));
}

QTEST_MAIN(TestZoomCommands)
#include "tst_zoomcommands.moc"
