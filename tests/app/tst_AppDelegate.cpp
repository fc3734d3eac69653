// SPDX-License-Identifier: MIT
#include "app/AppDelegate.h"
#include "app/MainMenu.h"
#include "app/support/ShellFixture.h"
#include "model/TallyfernDocument.h"
#include "window/DocumentWindowController.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QSignalSpy>
#include <QTest>

namespace {

// Each menu's items as "Title<tab>Key; Key", separators as "-".
QList<QPair<QString, QStringList>> readBack(const QMenuBar* bar)
{
    QList<QPair<QString, QStringList>> table;
    for (QAction* top : bar->actions()) {
        QStringList rows;
        for (QAction* action : top->menu()->actions()) {
            QStringList keys;
            for (const QKeySequence& key : action->shortcuts())
                keys << key.toString(QKeySequence::PortableText);
            rows << (action->isSeparator()
                    ? QStringLiteral("-")
                    : action->text() + (keys.isEmpty() ? QString() : QLatin1Char('\t') + keys.join("; ")));
        }
        table.append({ top->text(), rows });
    }
    return table;
}

} // namespace

// Launch, opening and closing of windows, the lifecycle rules of the shell, and the menu
// bar every window gets: titles, order and keys, and which items answer when.
class AppDelegateTest : public QObject {
    Q_OBJECT

    static std::vector<std::string> paths(const AppDelegate& delegate)
    {
        std::vector<std::string> out;
        for (DocumentWindowController* document : delegate.documents())
            out.push_back(document->disk().path());
        return out;
    }

    static bool waitForScan(DocumentWindowController* document)
    {
        if (!document->isScanning())
            return true;
        QSignalSpy ended(document, &DocumentWindowController::scanEnded);
        return ended.wait(10000);
    }

private slots:
    void initTestCase() { ShellFixture::isolateSettings("tst_AppDelegate"); }

    void launchWithoutPathsShowsTheChooserFirst()
    {
        ShellFixture fixture;
        AppDelegate delegate(fixture.environment());
        delegate.open({});
        delegate.applicationDidFinishLaunching();
        QVERIFY(!delegate.launchedWithFiles());
        QVERIFY(delegate.documents().empty());
        QVERIFY(delegate.volumesController());
        QVERIFY(QTest::qWaitForWindowActive(delegate.volumesController()));
        QCOMPARE(delegate.volumesController()->volumes().back().name, QStringLiteral("Home Folder"));
    }

    void launchWithTwoPathsOpensTwoWindowsAndNoChooser()
    {
        ShellFixture fixture;
        AppDelegate delegate(fixture.environment());
        delegate.open({ fixture.folder("b"), fixture.folder("a") });
        delegate.applicationDidFinishLaunching();
        QVERIFY(delegate.launchedWithFiles());
        QCOMPARE(paths(delegate), std::vector<std::string>({ fixture.folder("b"), fixture.folder("a") }));
        QVERIFY(!delegate.volumesController());
        for (DocumentWindowController* document : delegate.documents()) {
            QVERIFY(document->isVisible());
            QVERIFY(waitForScan(document));
            QVERIFY(document->disk().root());
        }
    }

    void closingWindowsOneByOneUntilTheChooserReturns()
    {
        ShellFixture fixture;
        AppDelegate delegate(fixture.environment());
        delegate.open({ fixture.folder("a"), fixture.folder("b"), fixture.folder("c") });
        delegate.applicationDidFinishLaunching();
        const std::vector<DocumentWindowController*> opened = delegate.documents();
        QCOMPARE(opened.size(), std::size_t(3));
        QPointer<DocumentWindowController> middle = opened[1];
        QVERIFY(middle->close());
        QCOMPARE(delegate.documents(), std::vector<DocumentWindowController*>({ opened[0], opened[2] }));
        QTRY_VERIFY(middle.isNull()); // its last owner let go
        QVERIFY(opened[0]->isVisible() && opened[2]->isVisible());
        QVERIFY(!delegate.volumesController()); // windows remain: no chooser

        QVERIFY(opened[0]->close());
        QVERIFY(!delegate.volumesController());
        QVERIFY(opened[2]->close());
        QVERIFY(delegate.documents().empty());
        QVERIFY(delegate.volumesController() && delegate.volumesController()->isVisible());
        QCOMPARE(*fixture.terminations, 0);
        // Closing the chooser with no document left ends the program.
        QVERIFY(delegate.volumesController()->close());
        QCOMPARE(*fixture.terminations, 1);
    }
    void menuTableReadsBackFromTheBuiltMenuBar()
    {
        const QList<QPair<QString, QStringList>> expected = {
            { "Tallyfern", { "About Tallyfern", "Check for Updates…", "-", "Quit Tallyfern\tCtrl+Q" } },
            { "File",
                { "New Scan…\tCtrl+N", "Open Folder…\tCtrl+O", "-", "Rescan Selected Folder\tCtrl+R",
                    "Rescan Everything\tCtrl+Alt+R", "-", "Close\tCtrl+W" } },
            { "Edit",
                { "Undo\tCtrl+Z", "Redo\tCtrl+Shift+Z", "-", "Cut\tCtrl+X", "Copy\tCtrl+C", "Paste\tCtrl+V",
                    "Select All\tCtrl+A", "-", "Copy Path\tCtrl+Alt+C", "-", "Find…\tCtrl+F",
                    "Preferences…\tCtrl+," } },
            { "Item",
                { "Open\tCtrl+Down", "Reveal in File Manager\tCtrl+Shift+R", "Quick Look\tCtrl+Y", "-",
                    "Move to Trash\tCtrl+Backspace; Del" } },
            { "View",
                { "Zoom In\tCtrl+=", "Zoom Out\tCtrl+-", "Zoom to Top\tCtrl+0",
                    "Collapse All Subfolders\tCtrl+Alt+Left", "-", "Show Free Space\tCtrl+Shift+F",
                    "Show Package Contents\tCtrl+Shift+P", "Color by Age", "-", "Customize Toolbar…",
                    "Enter Full Screen\tF11" } },
            { "Window", { "Minimize\tCtrl+M", "Zoom", "-", "Bring All to Front" } },
            { "Help",
                { "Tallyfern Help\tF1", "Keyboard Shortcuts", "-", "Send Feedback…", "Tallyfern Website",
                    "Privacy Policy" } },
        };

        CommandActions commands;
        ApplicationActions application;
        std::unique_ptr<QMenuBar> bar(MainMenu::build(commands, application));
        const auto actual = readBack(bar.get());
        QCOMPARE(actual.size(), expected.size());
        for (qsizetype i = 0; i < expected.size(); ++i) {
            QCOMPARE(actual[i].first, expected[i].first);
            QCOMPARE(actual[i].second, expected[i].second);
        }
        // The toggles carry checkmarks.
        QVERIFY(commands.action(Command::ToggleFreeSpace)->isCheckable());
        QVERIFY(commands.action(Command::TogglePackageContents)->isCheckable());

        // Every window's bar shares the same actions, so one key means one thing.
        std::unique_ptr<QMenuBar> other(MainMenu::build(commands, application));
        const auto commandsOf = [](const QMenuBar* menuBar) {
            QList<QAction*> out;
            for (QAction* top : menuBar->actions())
                for (QAction* action : top->menu()->actions())
                    if (!action->isSeparator())
                        out << action;
            return out;
        };
        QCOMPARE(commandsOf(other.get()), commandsOf(bar.get()));
    }

    void documentCommandsFollowTheActiveDocumentWindow()
    {
        ShellFixture fixture;
        AppDelegate delegate(fixture.environment());
        delegate.applicationDidFinishLaunching();
        CommandActions& commands = delegate.commandActions();
        using Id = ApplicationActions::Id;
        QAction* selectAll = delegate.applicationActions().action(Id::SelectAll);
        VolumesWindowController* chooser = delegate.volumesController();
        QVERIFY(QTest::qWaitForWindowActive(chooser));
        const auto allOff = [&] {
            for (std::size_t i = 0; i < CommandActions::kCount; ++i)
                QVERIFY2(!commands.action(Command(i))->isEnabled(),
                    qPrintable(commands.action(Command(i))->text()));
        };

        // No document window: document commands are off, the application's own are on.
        for (QAction* action : chooser->menuBar()->actions())
            emit action->menu()->aboutToShow();
        allOff();
        QVERIFY(!selectAll->isEnabled());
        QVERIFY(delegate.applicationActions().action(Id::NewScan)->isEnabled());

        // A document window: off while it scans, then each item says what the window's own
        // rule says, without a menu having to open.
        DocumentWindowController* document = delegate.openDocument(fixture.folder("a"));
        QVERIFY(QTest::qWaitForWindowActive(document));
        QCOMPARE(commands.activeDocument(), document);
        QSignalSpy ended(document, &DocumentWindowController::scanEnded);
        if (document->isScanning()) {
            commands.refresh();
            allOff();
            QVERIFY(ended.wait(10000));
        }
        QVERIFY(document->canPerform(std::nullopt));
        for (std::size_t i = 0; i < CommandActions::kCount; ++i) {
            QAction* action = commands.action(Command(i));
            QCOMPARE(action->isEnabled(), document->canPerform(Command(i)));
            if (action->isCheckable())
                QCOMPARE(action->isChecked(), document->isChecked(Command(i)));
        }
        QVERIFY(commands.action(Command::RescanAll)->isEnabled());
        // Select All follows when a menu opens (or the focus moves).
        for (QAction* action : document->menuBar()->actions())
            emit action->menu()->aboutToShow();
        QVERIFY(selectAll->isEnabled());
        // Triggering goes to that window.
        commands.action(Command::RescanAll)->trigger();
        QVERIFY(document->isScanning());
        QVERIFY(ended.wait(10000));

        // Back on the chooser the document commands are off again; triggering does nothing.
        delegate.showVolumes();
        QVERIFY(QTest::qWaitForWindowActive(chooser));
        QCOMPARE(commands.activeDocument(), nullptr);
        allOff();
        commands.action(Command::ZoomIn)->trigger();
    }
};

QTEST_MAIN(AppDelegateTest)
#include "tst_AppDelegate.moc"
