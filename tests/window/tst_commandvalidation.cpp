// SPDX-License-Identifier: MIT
// When each document command is enabled, the checkmarks, the context menu and the
// toolbar of a real document window.
#include "model/TallyfernDocument.h"
#include "window/CommandActions.h"
#include "window/DocumentToolbar.h"
#include "window/FileOutlineView.h"
#include "window/ToolbarConfiguration.h"
#include "window/support/CommandFixture.h"

#include <QAction>
#include <QClipboard>
#include <QMenu>
#include <QThreadPool>
#include <QTimer>
#include <QtTest>

namespace {

const std::vector<Command> kFileActions = { Command::RevealInFileManager, Command::OpenItem,
    Command::QuickLook, Command::CopyPath, Command::Copy };

QStringList titles(const QMenu& menu)
{
    QStringList out;
    for (const QAction* action : menu.actions())
        out << (action->isSeparator() ? QStringLiteral("—") : action->text());
    return out;
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
    void enablementFollowsTheSelection();
    void zoomOutAndToTopOnlyWhenZoomedIn();
    void rescansAreDisabledWhileAFolderRescanRuns();
    void freeSpaceNeedsAFreeSpaceItem();
    void sharedActionsFollowTheWindow();
    void contextMenusOfTheOutlineAndTheTreemap();
    void toolbarDefaultsAndACustomizationInANewWindow();

private:
    FileNode* node(const std::string& relative) const { return m_fixture->node(relative); }
    DocumentWindowController& window() const { return *m_fixture->window; }
    void expect(const std::vector<Command>& commands, bool enabled) const
    {
        for (Command command : commands)
            QVERIFY2(window().canPerform(command) == enabled, qPrintable(QString::number(int(command))));
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
    QVERIFY(!window().canPerform(Command::ToggleFreeSpace));
    QVERIFY(!window().canPerform(Command::ZoomIn));
    QSignalSpy ended(&window(), &DocumentWindowController::scanEnded);
    QVERIFY(ended.wait(20000));
    QVERIFY(window().canPerform(Command::TogglePackageContents));
}

void TestCommandValidation::enablementFollowsTheSelection()
{
    QVERIFY(m_fixture->open());
    // Nothing selected.
    window().outlineView()->clearSelection();
    expect(kFileActions, false);
    expect({ Command::ZoomIn, Command::MoveToTrash, Command::CollapseSubfolders }, false);
    expect({ Command::Rescan, Command::RescanAll, Command::TogglePackageContents }, true);

    // Only the free-space item: Zoom In, but no file action.
    m_fixture->click(window().disk().freeNode());
    expect({ Command::ZoomIn }, true);
    expect(kFileActions, false);
    expect({ Command::MoveToTrash }, false);

    // Only the root: everything but the Trash.
    m_fixture->click(node(""));
    expect(kFileActions, true);
    expect({ Command::MoveToTrash }, false);
    expect({ Command::CollapseSubfolders }, true);

    // A file: all of them.
    m_fixture->click(node("docs/notes.txt"));
    expect(kFileActions, true);
    expect({ Command::MoveToTrash, Command::ZoomIn, Command::CollapseSubfolders }, true);
}

void TestCommandValidation::zoomOutAndToTopOnlyWhenZoomedIn()
{
    QVERIFY(m_fixture->open());
    expect({ Command::ZoomOut, Command::ZoomToTop }, false);
    m_fixture->click(node("docs"));
    window().perform(Command::ZoomIn);
    expect({ Command::ZoomOut, Command::ZoomToTop }, true);
    window().perform(Command::ZoomOut);
    expect({ Command::ZoomOut, Command::ZoomToTop }, false);
}

void TestCommandValidation::rescansAreDisabledWhileAFolderRescanRuns()
{
    QVERIFY(m_fixture->open());
    m_fixture->click(node("media"));
    window().perform(Command::Rescan);
    expect({ Command::Rescan, Command::RescanAll }, false);
    expect(kFileActions, true);
    expect({ Command::ZoomIn, Command::MoveToTrash, Command::ToggleFreeSpace }, true);
    window().perform(Command::RescanAll); // disabled: no full scan starts
    QVERIFY(!window().isScanning());
    QTRY_VERIFY_WITH_TIMEOUT(window().canPerform(Command::Rescan), 20000);
    expect({ Command::RescanAll }, true);
}

void TestCommandValidation::freeSpaceNeedsAFreeSpaceItem()
{
    QVERIFY(m_fixture->open(false)); // a folder, not a whole volume
    QVERIFY(!window().disk().freeNode());
    QVERIFY(window().disk().showFreeSpace);
    expect({ Command::ToggleFreeSpace }, false);
    QVERIFY(!window().isChecked(Command::ToggleFreeSpace));
    QVERIFY(!window().isChecked(Command::TogglePackageContents));
    window().perform(Command::TogglePackageContents);
    QVERIFY(window().isChecked(Command::TogglePackageContents));
}

void TestCommandValidation::sharedActionsFollowTheWindow()
{
    QVERIFY(m_fixture->open());
    CommandActions actions;
    DocumentWindowController* document = m_fixture->window.get();
    actions.setActiveDocumentLookup([document] { return document; });
    actions.watch(document);
    document->setCommandActions(&actions);

    window().outlineView()->clearSelection();
    QVERIFY(!actions.action(Command::MoveToTrash)->isEnabled());
    m_fixture->click(node("top.bin"));
    QVERIFY(actions.action(Command::MoveToTrash)->isEnabled());
    QVERIFY(actions.action(Command::ToggleFreeSpace)->isChecked());
    window().perform(Command::ToggleFreeSpace);
    QVERIFY(!actions.action(Command::ToggleFreeSpace)->isChecked());

    // The toolbar now carries the shared actions.
    auto* toolbar = window().findChild<DocumentToolbar*>();
    QVERIFY(toolbar);
    QVERIFY(toolbar->actions().contains(actions.action(Command::MoveToTrash)));
    QCOMPARE(toolbar->items().size(), 8);

    document->setCommandActions(nullptr);
}

void TestCommandValidation::contextMenusOfTheOutlineAndTheTreemap()
{
    QVERIFY(m_fixture->open());
    const QStringList expected = { "Reveal in File Manager", "Open", "Quick Look", "Copy Path", "—",
        "Zoom In", "Collapse All Subfolders", "Rescan", "—", "Move to Trash" };
    FileOutlineView* outline = window().outlineView();

    // A right click on a row that is not selected selects it first.
    m_fixture->click(node("docs"));
    m_fixture->reveal(node("media/photo.jpg"));
    const QPoint photo = outline->visualRect(m_fixture->indexOf(node("media/photo.jpg"))).center();
    std::unique_ptr<QMenu> menu = outline->menuAt(photo);
    QVERIFY(menu);
    QCOMPARE(titles(*menu), expected);
    QCOMPARE(window().selectedNodes(), std::vector<FileNode*> { node("media/photo.jpg") });
    for (QAction* action : menu->actions())
        if (!action->isSeparator()) {
            QVERIFY(action->shortcut().isEmpty());
            QVERIFY(action->isEnabled());
        }
    QGuiApplication::clipboard()->clear();
    menu->actions()[3]->trigger(); // Copy Path
    QCOMPARE(QGuiApplication::clipboard()->text(), QString::fromStdString(node("media/photo.jpg")->path()));

    // On the root row: the Trash entry is there but disabled.
    menu = outline->menuAt(outline->visualRect(m_fixture->indexOf(node(""))).center());
    QVERIFY(menu);
    QVERIFY(!menu->actions().last()->isEnabled());
    QVERIFY(menu->actions().first()->isEnabled());

    // Below the last row: no menu.
    QVERIFY(!outline->menuAt(QPoint(5, outline->viewport()->height() - 2)));

    // The treemap selects the block under the pointer, then shows the same menu.
    TreemapView* treemap = window().treemapView();
    const QPoint point = m_fixture->pointOf(node("top.bin"));
    QVERIFY(point.x() >= 0);
    QStringList shown;
    QTimer::singleShot(0, this, [&shown] {
        if (auto* popup = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
            shown = titles(*popup);
            popup->close();
        }
    });
    QContextMenuEvent event(QContextMenuEvent::Mouse, point, treemap->mapToGlobal(point));
    QCoreApplication::sendEvent(treemap, &event);
    QCOMPARE(shown, expected);
    QCOMPARE(window().selectedNodes(), std::vector<FileNode*> { node("top.bin") });
}

void TestCommandValidation::toolbarDefaultsAndACustomizationInANewWindow()
{
    ToolbarConfiguration::forget();
    QVERIFY(m_fixture->open());
    auto* toolbar = window().findChild<DocumentToolbar*>();
    QVERIFY(toolbar);
    QCOMPARE(toolbar->items(),
        (QStringList {
            "zoomOut", "zoomIn", "zoomTop", "flexibleSpace", "reveal", "quickLook", "rescan", "trash" }));
    QCOMPARE(toolbar->toolButtonStyle(), Qt::ToolButtonIconOnly);
    // Its buttons are enabled by the same rule.
    QAction* trash = toolbar->actions().last();
    window().outlineView()->clearSelection();
    QVERIFY(!trash->isEnabled());
    m_fixture->click(node("top.bin"));
    QVERIFY(trash->isEnabled());
    QAction* rescan = toolbar->actions()[6];
    QVERIFY(rescan->isEnabled());

    ToolbarConfiguration::save({ "trash", "space", "zoomIn" });
    CommandFixture second;
    QVERIFY(second.open());
    QCOMPARE(
        second.window->findChild<DocumentToolbar*>()->items(), (QStringList { "trash", "space", "zoomIn" }));
    ToolbarConfiguration::forget();
}

QTEST_MAIN(TestCommandValidation)
#include "tst_commandvalidation.moc"
