// SPDX-License-Identifier: MIT
// The shell's lifecycle rules as a user meets them, and the shared menu actions that
// follow the active document window.
#include "app/AppDelegate.h"
#include "model/TallyfernDocument.h"
#include "model/support/Volumes.h"
#include "scan/ScanStream.h"
#include "scan/ScanWriter.h"
#include "scan/Scanner.h"
#include "window/DocumentToolbar.h"
#include "window/DocumentWindowController.h"
#include "window/PreviewPanel.h"

#include <QAction>
#include <QApplication>
#include <QDropEvent>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QSettings>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cerrno>

namespace {

// Small real folders "a", "b", "c" to scan, and an AppDelegate environment with a fixed
// outside world: one disk in the mount table, links and the open panel go nowhere, and
// quitting is counted instead of ending the test program.
struct ShellFixture {
    std::string folder(const char* name) const
    {
        const QString path = dir.path() + QLatin1Char('/') + QLatin1String(name);
        QDir().mkpath(path);
        QFile file(path + QStringLiteral("/data.bin")); // something to select
        if (file.open(QIODevice::WriteOnly))
            file.write(QByteArray(4096, 'x'));
        return QFile::encodeName(path).toStdString();
    }
    AppDelegate::Environment environment()
    {
        AppDelegate::Environment env;
        env.volumes.mounts = [] { return MountTable::parse("22 1 8:1 / / rw - ext4 /dev/sda1 rw\n"); };
        env.volumes.facts = noVolume();
        env.volumes.home = "/home/tester";
        env.volumes.user = "tester";
        env.volumes.probeOpener = [](const char*) { return ENOENT; };
        env.volumes.watchMounts = false;
        env.documentFacts = noVolume(); // documents of fixture folders are not whole volumes
        env.chooseFolders = [] { return std::optional<std::vector<std::string>>(); };
        env.openUrl = [](const QUrl&) {};
        env.terminate = [count = terminations] { ++*count; };
        return env;
    }

    QTemporaryDir dir;
    std::shared_ptr<int> terminations = std::make_shared<int>(0);
};

bool scanned(DocumentWindowController* document)
{
    QSignalSpy ended(document, &DocumentWindowController::scanEnded);
    return !document->isScanning() || ended.wait(10000);
}

// The toolbar button of `identifier` in the window: enabled or not.
bool toolbarEnables(DocumentWindowController* document, const char* identifier)
{
    auto* toolbar = document->findChild<DocumentToolbar*>();
    for (QAction* action : toolbar->actions())
        if (toolbar->identifierOf(action) == QLatin1String(identifier))
            return action->isEnabled();
    return false;
}

} // namespace

class AppDelegateTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        QSettings().clear();
    }

    void windowsOpenAndCloseUntilTheChooserAndThenQuitting()
    {
        ShellFixture fixture;
        AppDelegate delegate(fixture.environment());
        delegate.open({ fixture.folder("b"), fixture.folder("a"), fixture.folder("c") });
        delegate.applicationDidFinishLaunching();
        // Folders given at launch open in their order, each scanned, and no chooser.
        const std::vector<DocumentWindowController*> opened = delegate.documents();
        QCOMPARE(opened.size(), std::size_t(3));
        const char* names[] = { "b", "a", "c" };
        for (std::size_t i = 0; i < opened.size(); ++i) {
            QCOMPARE(opened[i]->disk().path(), fixture.folder(names[i]));
            QVERIFY(opened[i]->isVisible() && scanned(opened[i]) && opened[i]->disk().root());
        }
        QVERIFY(!delegate.volumesController());

        QPointer<DocumentWindowController> middle = opened[1];
        QVERIFY(middle->close());
        QCOMPARE(delegate.documents(), std::vector<DocumentWindowController*>({ opened[0], opened[2] }));
        QTRY_VERIFY(middle.isNull()); // its last owner let go
        QVERIFY(opened[0]->close());
        QVERIFY(!delegate.volumesController()); // a window remains: no chooser
        QVERIFY(opened[2]->close());
        QVERIFY(delegate.documents().empty());
        QVERIFY(delegate.volumesController() && delegate.volumesController()->isVisible());
        QCOMPARE(*fixture.terminations, 0);
        // Closing the chooser with no document left ends the program.
        QVERIFY(delegate.volumesController()->close());
        QCOMPARE(*fixture.terminations, 1);
    }

    void documentCommandsFollowTheActiveDocumentWindow()
    {
        ShellFixture fixture;
        AppDelegate delegate(fixture.environment());
        delegate.open({});
        delegate.applicationDidFinishLaunching();
        CommandActions& commands = delegate.commandActions();
        QAction* selectAll = delegate.applicationActions().action(ApplicationActions::Id::SelectAll);
        VolumesWindowController* chooser = delegate.volumesController();
        QVERIFY(QTest::qWaitForWindowActive(chooser)); // launched without folders: the chooser
        const auto allOff = [&] {
            for (std::size_t i = 0; i < CommandActions::kCount; ++i)
                QVERIFY2(!commands.action(Command(i))->isEnabled(),
                    qPrintable(commands.action(Command(i))->text()));
        };
        const auto openMenus = [](QMainWindow* window) {
            for (QAction* action : window->menuBar()->actions())
                emit action->menu()->aboutToShow();
        };
        // No document window: document commands are off, the application's own are on.
        openMenus(chooser);
        allOff();
        QVERIFY(!selectAll->isEnabled());
        QVERIFY(delegate.applicationActions().action(ApplicationActions::Id::NewScan)->isEnabled());

        // A document window: each item says what its rule says, without a menu opening.
        DocumentWindowController* document = delegate.openDocument(fixture.folder("a"));
        QVERIFY(QTest::qWaitForWindowActive(document));
        QCOMPARE(commands.activeDocument(), document);
        QVERIFY(scanned(document));
        for (std::size_t i = 0; i < CommandActions::kCount; ++i) {
            QAction* action = commands.action(Command(i));
            QCOMPARE(action->isEnabled(), document->canPerform(Command(i)));
            if (action->isCheckable())
                QCOMPARE(action->isChecked(), document->isChecked(Command(i)));
        }
        QVERIFY(commands.action(Command::RescanAll)->isEnabled());
        // Select All follows when a menu opens (or the focus moves).
        openMenus(document);
        QVERIFY(selectAll->isEnabled());
        // Triggering goes to that window.
        commands.action(Command::RescanAll)->trigger();
        QVERIFY(document->isScanning() && scanned(document));

        // Back on the chooser the document commands are off again; triggering does nothing.
        delegate.showVolumes();
        QVERIFY(QTest::qWaitForWindowActive(chooser));
        QCOMPARE(commands.activeDocument(), nullptr);
        allOff();
        commands.action(Command::ZoomIn)->trigger();
    }

    // Saved scans reach a window by their content, whatever their name: handed over at
    // launch and dropped on the chooser, beside a folder that is scanned.
    void savedScansOpenAsSuchAndFoldersAreScanned()
    {
        ShellFixture fixture;
        const std::string file = fixture.folder("a") + "/../saved scan.data";
        {
            Scanner scanner(fixture.folder("a"));
            const FileTree tree = scanner.run();
            ScanSink sink(file);
            QVERIFY(
                ScanWriter::write(tree, ScanWriter::metadataFor(fixture.folder("a")), sink) && sink.commit());
        }
        AppDelegate delegate(fixture.environment());
        const auto isSaved = [](DocumentWindowController* window) {
            if (!scanned(window))
                return false;
            return window->disk().savedOrigin.has_value();
        };

        delegate.open({ file });
        QCOMPARE(delegate.documents().size(), std::size_t(1));
        QVERIFY(isSaved(delegate.documents()[0]));

        delegate.showVolumes();
        QMimeData dropped;
        dropped.setUrls({ QUrl::fromLocalFile(QString::fromStdString(file)),
            QUrl::fromLocalFile(QString::fromStdString(fixture.folder("b"))) });
        QDragEnterEvent enter(QPoint(20, 20), Qt::CopyAction, &dropped, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(delegate.volumesController(), &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(QPointF(20, 20), Qt::CopyAction, &dropped, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(delegate.volumesController(), &drop);
        const std::vector<DocumentWindowController*> windows = delegate.documents();
        QCOMPARE(windows.size(), std::size_t(3));
        QVERIFY(isSaved(windows[1]));
        QVERIFY(!isSaved(windows[2]));
        QCOMPARE(windows[2]->disk().path(), fixture.folder("b"));
    }

    void windowMenuToolbarsAndPreviewFollowTheirOwnDocument()
    {
        ShellFixture fixture;
        AppDelegate delegate(fixture.environment());
        DocumentWindowController* a = delegate.openDocument(fixture.folder("a"));
        DocumentWindowController* b = delegate.openDocument(fixture.folder("b"));
        QVERIFY(scanned(a) && scanned(b));
        b->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(b));

        QMenu* menu = nullptr;
        for (QAction* top : b->menuBar()->actions())
            if (top->text() == QLatin1String("Window"))
                menu = top->menu();
        QVERIFY(menu);
        // Opened twice: the list is rebuilt, not appended to; the active window is checked.
        for (int i = 0; i < 2; ++i) {
            emit menu->aboutToShow();
            QStringList listed, checked;
            for (QAction* action : menu->actions())
                if (action->isCheckable())
                    (action->isChecked() ? checked : listed) << action->text();
            QCOMPARE(listed + checked, QStringList({ a->windowTitle(), b->windowTitle() }));
        }
        // Choosing an entry may rebuild the menu: nothing of it is touched afterwards.
        const QList<QAction*> entries = menu->actions();
        (*std::find_if(entries.begin(), entries.end(), [&](QAction* e) {
            return e->text() == a->windowTitle();
        }))->trigger();
        QVERIFY(QTest::qWaitForWindowActive(a));
        a->select(a->disk().root()->child(0));

        // Whichever window is active, each toolbar shows what its own selection allows.
        for (DocumentWindowController* active : { a, b }) {
            active->activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(active));
            for (const char* item : { "trash", "quickLook", "reveal" }) {
                QVERIFY2(toolbarEnables(a, item), item);
                QVERIFY2(!toolbarEnables(b, item), item);
            }
        }

        // The panel shows a's file; its keys go to a, even while b was active last.
        a->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(a));
        a->perform(Command::QuickLook);
        PreviewPanel* panel = a->findChild<PreviewPanel*>();
        if (!panel)
            for (QWidget* top : QApplication::topLevelWidgets())
                if (auto* found = qobject_cast<PreviewPanel*>(top))
                    panel = found;
        QVERIFY(panel && panel->isVisible());
        QVERIFY(QTest::qWaitForWindowActive(panel));
        QVERIFY(toolbarEnables(a, "trash"));
        QTest::keyClick(panel, Qt::Key_Delete);
        QTRY_VERIFY(a->findChild<QMessageBox*>(QStringLiteral("trashConfirmation")));
        a->findChild<QMessageBox*>(QStringLiteral("trashConfirmation"))->reject();
        panel->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(panel));
        QTest::keyClick(panel, Qt::Key_Y, Qt::ControlModifier);
        QTRY_VERIFY(!panel->isVisible());
    }
};

QTEST_MAIN(AppDelegateTest)
#include "tst_AppDelegate.moc"
