// SPDX-License-Identifier: MIT
#include "app/AppDelegate.h"
#include "app/Links.h"
#include "app/MainMenu.h"
#include "app/support/ShellFixture.h"
#include "window/DocumentWindowController.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QSignalSpy>
#include <QTest>

namespace {

struct Row {
    QString title; // "-" for a separator
    QList<QKeySequence> keys;
    friend bool operator==(const Row&, const Row&) = default;
};

using Table = QList<QPair<QString, QList<Row>>>;

Row item(const char* title, QList<QKeySequence> keys = {})
{
    return { QString::fromUtf8(title), std::move(keys) };
}

Row separator()
{
    return { QStringLiteral("-"), {} };
}

QKeySequence key(QKeyCombination combination)
{
    return QKeySequence(combination);
}

Table readBack(const QMenuBar* bar)
{
    Table table;
    for (QAction* top : bar->actions()) {
        QList<Row> rows;
        for (QAction* action : top->menu()->actions())
            rows.append(action->isSeparator() ? separator() : Row { action->text(), action->shortcuts() });
        table.append({ top->text(), rows });
    }
    return table;
}

char* toString(const Row& row)
{
    QStringList keys;
    for (const QKeySequence& k : row.keys)
        keys << k.toString();
    return qstrdup(QStringLiteral("%1 [%2]").arg(row.title, keys.join(", ")).toUtf8().constData());
}

} // namespace

// The menu bar every window gets: titles, order and keys, and which items answer when.
class MainMenuTest : public QObject {
    Q_OBJECT

    static QList<QAction*> documentActions(CommandActions& commands)
    {
        QList<QAction*> out;
        for (std::size_t i = 0; i < CommandActions::kCount; ++i)
            out << commands.action(Command(i));
        return out;
    }

private slots:
    void initTestCase() { ShellFixture::isolateSettings("tst_MainMenu"); }

    void menuTableReadsBackFromTheBuiltMenuBar()
    {
        const auto ctrl = Qt::ControlModifier;
        const auto alt = Qt::AltModifier;
        const auto shift = Qt::ShiftModifier;
        const Table expected = {
            { "Tallyfern",
                { item("About Tallyfern"), item("Check for Updates…"), separator(),
                    item("Quit Tallyfern", { key(ctrl | Qt::Key_Q) }) } },
            { "File",
                { item("New Scan…", { key(ctrl | Qt::Key_N) }),
                    item("Open Folder…", { key(ctrl | Qt::Key_O) }), separator(),
                    item("Rescan Selected Folder", { key(ctrl | Qt::Key_R) }),
                    item("Rescan Everything", { key(ctrl | alt | Qt::Key_R) }), separator(),
                    item("Close", { key(ctrl | Qt::Key_W) }) } },
            { "Edit",
                { item("Undo", { key(ctrl | Qt::Key_Z) }), item("Redo", { key(ctrl | shift | Qt::Key_Z) }),
                    separator(), item("Cut", { key(ctrl | Qt::Key_X) }),
                    item("Copy", { key(ctrl | Qt::Key_C) }), item("Paste", { key(ctrl | Qt::Key_V) }),
                    item("Select All", { key(ctrl | Qt::Key_A) }), separator(),
                    item("Copy Path", { key(ctrl | alt | Qt::Key_C) }) } },
            { "Item",
                { item("Open", { key(ctrl | Qt::Key_Down) }),
                    item("Reveal in File Manager", { key(ctrl | shift | Qt::Key_R) }),
                    item("Quick Look", { key(ctrl | Qt::Key_Y) }), separator(),
                    item("Move to Trash",
                        { key(ctrl | Qt::Key_Backspace), key(QKeyCombination(Qt::Key_Delete)) }) } },
            { "View",
                { item("Zoom In", { key(ctrl | Qt::Key_Equal) }),
                    item("Zoom Out", { key(ctrl | Qt::Key_Minus) }),
                    item("Zoom to Top", { key(ctrl | Qt::Key_0) }),
                    item("Collapse All Subfolders", { key(ctrl | alt | Qt::Key_Left) }), separator(),
                    item("Show Free Space", { key(ctrl | shift | Qt::Key_F) }),
                    item("Show Package Contents", { key(ctrl | shift | Qt::Key_P) }), separator(),
                    item("Customize Toolbar…"),
                    item("Enter Full Screen", { key(QKeyCombination(Qt::Key_F11)) }) } },
            { "Window",
                { item("Minimize", { key(ctrl | Qt::Key_M) }), item("Zoom"), separator(),
                    item("Bring All to Front") } },
            { "Help",
                { item("Tallyfern Help", { key(QKeyCombination(Qt::Key_F1)) }), item("Keyboard Shortcuts"),
                    separator(), item("Send Feedback…"), item("Tallyfern Website"),
                    item("Privacy Policy") } },
        };

        CommandActions commands;
        ApplicationActions application;
        std::unique_ptr<QMenuBar> bar(MainMenu::build(commands, application));
        const Table actual = readBack(bar.get());
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
        ApplicationActions& application = delegate.applicationActions();
        using Id = ApplicationActions::Id;
        VolumesWindowController* chooser = delegate.volumesController();
        QVERIFY(QTest::qWaitForWindowActive(chooser));

        // No document window: document commands are off, the application's own are on.
        for (QAction* action : chooser->menuBar()->actions())
            emit action->menu()->aboutToShow();
        for (QAction* action : documentActions(commands))
            QVERIFY2(!action->isEnabled(), qPrintable(action->text()));
        for (const Id id : { Id::NewScan, Id::OpenFolder, Id::Help, Id::Shortcuts, Id::SendFeedback,
                 Id::Website, Id::Privacy, Id::About, Id::Quit, Id::Close })
            QVERIFY(application.action(id)->isEnabled());
        QVERIFY(!application.action(Id::SelectAll)->isEnabled());
        for (const Id id : { Id::Undo, Id::Redo, Id::Cut, Id::Paste })
            QVERIFY(!application.action(id)->isEnabled());

        // A scanning document window: still nothing to act on.
        DocumentWindowController* document = delegate.openDocument(fixture.folder("a"));
        QVERIFY(QTest::qWaitForWindowActive(document));
        QCOMPARE(commands.activeDocument(), document);
        if (document->isScanning()) {
            commands.refresh();
            for (QAction* action : documentActions(commands))
                QVERIFY2(!action->isEnabled(), qPrintable(action->text()));
            QSignalSpy ended(document, &DocumentWindowController::scanEnded);
            QVERIFY(ended.wait(10000));
        }

        // After the scan each item says what the window's own rule says, without a menu
        // having to open: the window reports the change.
        QVERIFY(document->canPerform(std::nullopt));
        for (std::size_t i = 0; i < CommandActions::kCount; ++i) {
            const auto command = Command(i);
            QCOMPARE(commands.action(command)->isEnabled(), document->canPerform(command));
            if (commands.action(command)->isCheckable())
                QCOMPARE(commands.action(command)->isChecked(), document->isChecked(command));
        }
        QVERIFY(application.action(Id::SelectAll)->isEnabled());

        // Triggering goes to that window: Rescan Everything starts a scan when it is allowed.
        QAction* rescanAll = commands.action(Command::RescanAll);
        rescanAll->trigger();
        QCOMPARE(document->isScanning(), document->canPerform(Command::RescanAll) || document->isScanning());
        if (document->isScanning()) {
            QSignalSpy ended(document, &DocumentWindowController::scanEnded);
            QVERIFY(ended.wait(10000));
        }

        // Back on the chooser the document commands are off again.
        delegate.showVolumes();
        QVERIFY(QTest::qWaitForWindowActive(chooser));
        QCOMPARE(commands.activeDocument(), nullptr);
        for (QAction* action : documentActions(commands))
            QVERIFY2(!action->isEnabled(), qPrintable(action->text()));
        // With nothing active, triggering does nothing and does not crash.
        commands.action(Command::ZoomIn)->trigger();
    }

    void closeAndWindowItemsActOnTheActiveWindow()
    {
        ShellFixture fixture;
        AppDelegate delegate(fixture.environment());
        delegate.open({ fixture.folder("a"), fixture.folder("b") });
        delegate.applicationDidFinishLaunching();
        DocumentWindowController* second = delegate.documents()[1];
        second->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(second));
        QTest::keyClick(second, Qt::Key_W, Qt::ControlModifier);
        QCOMPARE(delegate.documents().size(), std::size_t(1));
        QVERIFY(delegate.documents()[0] != second);

        DocumentWindowController* first = delegate.documents()[0];
        first->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(first));
        QTest::keyClick(first, Qt::Key_F11);
        QTRY_VERIFY(first->isFullScreen());
        delegate.applicationActions().refresh();
        QCOMPARE(delegate.applicationActions().action(ApplicationActions::Id::FullScreen)->text(),
            QStringLiteral("Exit Full Screen"));
        QTest::keyClick(first, Qt::Key_F11);
        QTRY_VERIFY(!first->isFullScreen());

        // A dialog in front can be closed, but the window sizing commands are not for it.
        delegate.showShortcuts();
        QVERIFY(QTest::qWaitForWindowActive(delegate.shortcutsBox()));
        delegate.applicationActions().refresh();
        QVERIFY(delegate.applicationActions().action(ApplicationActions::Id::Close)->isEnabled());
        QVERIFY(!delegate.applicationActions().action(ApplicationActions::Id::Minimize)->isEnabled());
        QVERIFY(!delegate.applicationActions().action(ApplicationActions::Id::FullScreen)->isEnabled());
    }

    void aboutBoxShowsVersionAndTheWebsiteLink()
    {
        ShellFixture fixture;
        AppDelegate delegate(fixture.environment());
        delegate.applicationActions().action(ApplicationActions::Id::About)->trigger();
        AboutDialog* about = delegate.aboutDialog();
        QVERIFY(about);
        QVERIFY(QTest::qWaitForWindowExposed(about));
        QCOMPARE(about->versionLabel()->text(), QStringLiteral("Version ") + Links::appVersion());
        QVERIFY(about->creditsLabel()->text().contains(
            QStringLiteral("href=\"%1\"").arg(Links::website().toString())));
        QVERIFY(
            about->creditsLabel()->text().contains(QStringLiteral(">%1</a>").arg(Links::website().host())));
        QVERIFY(about->creditsLabel()->openExternalLinks());
        // Asking again brings the same box forward.
        delegate.showAbout();
        QCOMPARE(delegate.aboutDialog(), about);
    }

    void shortcutsHelpSpeaksLinuxKeys()
    {
        ShellFixture fixture;
        AppDelegate delegate(fixture.environment());
        delegate.applicationActions().action(ApplicationActions::Id::Shortcuts)->trigger();
        QMessageBox* box = delegate.shortcutsBox();
        QVERIFY(box);
        QVERIFY(QTest::qWaitForWindowExposed(box));
        QCOMPARE(box->windowModality(), Qt::ApplicationModal);
        QCOMPARE(box->text(), QStringLiteral("Tallyfern Shortcuts"));
        QCOMPARE(box->informativeText(),
            QStringLiteral(
                "Click a block in the treemap to find it in the list; double-click to drill into its "
                "folder. Select a kind in the lower-left table to highlight every file of that kind.\n"
                "\n"
                "Space — Quick Look\n"
                "Ctrl+= / Ctrl+- / Ctrl+0 — zoom in / out / to top\n"
                "Ctrl+Alt+← — collapse all subfolders\n"
                "Ctrl+Shift+R — reveal in File Manager\n"
                "Ctrl+↓ — open\n"
                "Ctrl+Backspace — move to Trash\n"
                "Ctrl+R — rescan the selected folder"));
        // Every key the help names is the key of its menu item.
        CommandActions& commands = delegate.commandActions();
        const QString text = box->informativeText();
        for (const Command command : { Command::ZoomIn, Command::ZoomOut, Command::ZoomToTop,
                 Command::RevealInFileManager, Command::Rescan, Command::MoveToTrash }) {
            const QString native = commands.action(command)->shortcut().toString(QKeySequence::PortableText);
            QVERIFY2(text.contains(native), qPrintable(native));
        }
        QTest::keyClick(box, Qt::Key_Return);
        QTRY_VERIFY(!delegate.shortcutsBox());
    }
};

QTEST_MAIN(MainMenuTest)
#include "tst_MainMenu.moc"
