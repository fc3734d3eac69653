// SPDX-License-Identifier: MIT
// Several document windows at once: the Window menu lists them, each toolbar follows its
// own document, and the preview panel's keys act on the document it shows.
#include "app/AppDelegate.h"
#include "app/support/ShellFixture.h"
#include "model/TallyfernDocument.h"
#include "window/DocumentToolbar.h"
#include "window/DocumentWindowController.h"
#include "window/FileOutlineModel.h"
#include "window/FileOutlineView.h"
#include "window/PreviewPanel.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QSignalSpy>
#include <QTest>

namespace {

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

class WindowsAndToolbarsTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { ShellFixture::isolateSettings("tst_WindowsAndToolbars"); }

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
        // Opened twice: the list is rebuilt, not appended to.
        for (int i = 0; i < 2; ++i) {
            emit menu->aboutToShow();
            QStringList listed;
            QString checked;
            for (QAction* action : menu->actions()) {
                if (action->isCheckable()) {
                    listed << action->text();
                    if (action->isChecked())
                        checked = action->text();
                }
            }
            QStringList titles { a->windowTitle(), b->windowTitle() };
            titles.sort();
            QCOMPARE(listed, titles);
            QCOMPARE(checked, b->windowTitle());
        }
        for (QAction* action : menu->actions())
            if (action->text() == a->windowTitle())
                action->trigger();
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

QTEST_MAIN(WindowsAndToolbarsTest)
#include "tst_WindowsAndToolbars.moc"
