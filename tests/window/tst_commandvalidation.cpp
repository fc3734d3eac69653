// SPDX-License-Identifier: MIT
// Commands of a document window on a real folder as the user drives them: during scans,
// by double clicks, on the outline's rows and the toolbar. Which command applies to what
// is tested on trees in memory (DocumentCommandsTest).
#include "model/TallyfernDocument.h"
#include "window/CommandActions.h"
#include "window/DocumentToolbar.h"
#include "window/FileOutlineView.h"
#include "window/ToolbarConfiguration.h"
#include "window/support/CommandFixture.h"

#include <QAction>
#include <QSettings>
#include <QThreadPool>
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

class TestCommandValidation : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { CommandFixture::isolateHome(); }
    void init() { m_fixture = std::make_unique<CommandFixture>(); }
    void cleanup()
    {
        m_fixture.reset();
        QThreadPool::globalInstance()->waitForDone();
    }

    void everythingIsDisabledDuringAScan();
    void toolbarDefaultsAndACustomizationInANewWindow();
    void hidingPackageContentsStepsOutOfAPackage();
    void doubleClickDescendsExactlyOneLevel();
    void collapseWithAFileSelected();
    void freeSpaceShownTwiceRestoresEveryTotal();

private:
    FileNode* node(const std::string& relative) const { return m_fixture->node(relative); }
    DocumentWindowController& window() const { return *m_fixture->window; }
    FileNode* zoomRoot() const { return m_fixture->window->treemapView()->root(); }
    static QStringList toolbarItems(const CommandFixture& fixture)
    {
        return fixture.window->findChild<DocumentToolbar*>()->items();
    }

    std::unique_ptr<CommandFixture> m_fixture;
};

void TestCommandValidation::everythingIsDisabledDuringAScan()
{
    auto scanning = std::make_unique<DocumentWindowController>(m_fixture->folder.root());
    // The first scan's result arrives through the event loop: until then it is running.
    QVERIFY(scanning->isScanning());
    QVERIFY(!scanning->canPerform(std::nullopt));
    for (std::size_t i = 0; i < CommandActions::kCount; ++i)
        QVERIFY(!scanning->canPerform(Command(i)));

    QVERIFY(m_fixture->open());
    QVERIFY(window().canPerform(std::nullopt));
    window().perform(Command::RescanAll); // a full rescan disables everything again
    QVERIFY(!window().canPerform(Command::TogglePackageContents));
    // The free-space item belongs to the scan thread until the new tree is in.
    QVERIFY(!window().isChecked(Command::ToggleFreeSpace));
    QSignalSpy ended(&window(), &DocumentWindowController::scanEnded);
    QVERIFY(ended.wait(20000));
    QVERIFY(window().canPerform(Command::TogglePackageContents));
    QVERIFY(window().isChecked(Command::ToggleFreeSpace));
}

void TestCommandValidation::toolbarDefaultsAndACustomizationInANewWindow()
{
    ToolbarConfiguration::forget();
    QVERIFY(m_fixture->open());
    auto* toolbar = window().findChild<DocumentToolbar*>();
    QCOMPARE(toolbar->items(),
        (QStringList {
            "zoomOut", "zoomIn", "zoomTop", "flexibleSpace", "reveal", "quickLook", "rescan", "trash" }));
    // Its buttons are enabled by the same rule.
    QAction* trash = toolbar->actions().last();
    window().outlineView()->clearSelection();
    QVERIFY(!trash->isEnabled());
    m_fixture->click(node("top.bin"));
    QVERIFY(trash->isEnabled());

    ToolbarConfiguration::save({ "trash", "space", "zoomIn" });
    CommandFixture second;
    QVERIFY(second.open());
    QCOMPARE(toolbarItems(second), (QStringList { "trash", "space", "zoomIn" }));
    second.close();

    // A saved list is cleaned on load: unknown and repeated items go, spaces may repeat;
    // something that is not a list at all gives an empty toolbar, not a crash.
    QSettings().setValue("TallyfernDocument/items",
        QStringList { "zoomIn", "bogus", "space", "zoomIn", "space", "flexibleSpace", "trash" });
    QVERIFY(second.open());
    QCOMPARE(toolbarItems(second), (QStringList { "zoomIn", "space", "space", "flexibleSpace", "trash" }));
    second.close();
    QSettings().setValue("TallyfernDocument/items", 42);
    QVERIFY(second.open());
    QCOMPARE(toolbarItems(second), QStringList());
    ToolbarConfiguration::forget();
}

void TestCommandValidation::hidingPackageContentsStepsOutOfAPackage()
{
    QVERIFY(m_fixture->open());
    window().perform(Command::TogglePackageContents);
    m_fixture->click(node("Tool.app/Contents/bin"));
    window().perform(Command::ZoomIn);
    QCOMPARE(zoomRoot(), node("Tool.app/Contents"));
    // The title names the zoom root; the kinds describe it alone.
    QVERIFY(window().windowTitle().endsWith(QString::fromStdString(node("Tool.app/Contents")->path())));
    std::int64_t kinds = 0;
    for (const auto& [kind, size] : kindTotals(window().disk()))
        kinds += size;
    QCOMPARE(kinds, node("Tool.app/Contents")->size);

    window().perform(Command::TogglePackageContents);
    QCOMPARE(zoomRoot(), node(""));
    QVERIFY(!m_fixture->indexOf(node("Tool.app/Contents")).isValid());
    QVERIFY(m_fixture->indexOf(node("Tool.app")).isValid());
}

void TestCommandValidation::doubleClickDescendsExactlyOneLevel()
{
    QVERIFY(m_fixture->open());
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

void TestCommandValidation::collapseWithAFileSelected()
{
    QVERIFY(m_fixture->open());
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

void TestCommandValidation::freeSpaceShownTwiceRestoresEveryTotal()
{
    QVERIFY(m_fixture->open());
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
    QCOMPARE(treeFaults(root), std::string());
    for (const KindStat& stat : disk.kindStats)
        QVERIFY(stat.kind != KindRegistry::kFreeSpace && stat.kind != KindRegistry::kOtherSpace);

    window().perform(Command::ToggleFreeSpace);
    QVERIFY(window().isChecked(Command::ToggleFreeSpace));
    QCOMPARE(root->size, size);
    QCOMPARE(root->fileCount, count);
    QCOMPARE(root->childCount(), children);
    QCOMPARE(kindTotals(disk), kinds);
    QCOMPARE(treeFaults(root), std::string());
}

QTEST_MAIN(TestCommandValidation)
#include "tst_commandvalidation.moc"
