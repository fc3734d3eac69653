// SPDX-License-Identifier: MIT
#include "app/MainMenu.h"

#include "app/ApplicationActions.h"
#include "window/CommandActions.h"

#include <QAction>
#include <QApplication>
#include <QCoreApplication>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>

#include <algorithm>

namespace {

const char* const kWindowEntry = "tallyfernWindowEntry";

// The open windows at the end of the Window menu, the active one checked; the desktop
// does not list an application's windows for it.
void listWindows(QMenu* menu)
{
    for (QAction* action : menu->actions())
        if (action->property(kWindowEntry).toBool())
            delete action;
    QList<QWidget*> windows;
    for (QWidget* window : QApplication::topLevelWidgets())
        if (qobject_cast<QMainWindow*>(window) && window->isVisible())
            windows << window;
    std::ranges::sort(windows, [](const QWidget* a, const QWidget* b) {
        return QString::localeAwareCompare(a->windowTitle(), b->windowTitle()) < 0;
    });
    if (windows.isEmpty())
        return;
    menu->addSeparator()->setProperty(kWindowEntry, true);
    for (QWidget* window : windows) {
        QAction* action = menu->addAction(window->windowTitle());
        action->setProperty(kWindowEntry, true);
        action->setCheckable(true);
        action->setChecked(window == QApplication::activeWindow());
        QObject::connect(action, &QAction::triggered, window, [window] {
            if (window->isMinimized())
                window->showNormal();
            window->raise();
            window->activateWindow();
        });
    }
}

} // namespace

namespace MainMenu {

QMenuBar* build(CommandActions& commands, ApplicationActions& application)
{
    using App = ApplicationActions::Id;
    auto* bar = new QMenuBar;
    const auto menu = [&](const char* title) {
        QMenu* m = bar->addMenu(QCoreApplication::translate("MainMenu", title));
        m->setToolTipsVisible(true); // why a file command is disabled
        QObject::connect(m, &QMenu::aboutToShow, &commands, &CommandActions::refresh);
        QObject::connect(m, &QMenu::aboutToShow, &application, &ApplicationActions::refresh);
        return m;
    };
    const auto app = [&](App id) { return application.action(id); };
    const auto doc = [&](Command command) { return commands.action(command); };

    QMenu* tallyfern = menu(QT_TRANSLATE_NOOP("MainMenu", "Tallyfern"));
    tallyfern->addAction(app(App::About));
    tallyfern->addAction(app(App::CheckForUpdates));
    tallyfern->addSeparator();
    tallyfern->addAction(app(App::Quit));

    QMenu* file = menu(QT_TRANSLATE_NOOP("MainMenu", "File"));
    file->addAction(app(App::NewScan));
    file->addAction(app(App::OpenFolder));
    file->addAction(app(App::OpenScan));
    file->addSeparator();
    file->addAction(doc(Command::SaveScanAs));
    file->addSeparator();
    file->addAction(doc(Command::Rescan));
    file->addAction(doc(Command::RescanAll));
    file->addSeparator();
    file->addAction(app(App::Close));

    QMenu* edit = menu(QT_TRANSLATE_NOOP("MainMenu", "Edit"));
    edit->addAction(app(App::Undo));
    edit->addAction(app(App::Redo));
    edit->addSeparator();
    edit->addAction(app(App::Cut));
    edit->addAction(doc(Command::Copy));
    edit->addAction(app(App::Paste));
    edit->addAction(app(App::SelectAll));
    edit->addSeparator();
    edit->addAction(doc(Command::CopyPath));
    edit->addSeparator();
    edit->addAction(doc(Command::Find));
    edit->addAction(doc(Command::Preferences));

    QMenu* item = menu(QT_TRANSLATE_NOOP("MainMenu", "Item"));
    item->addAction(doc(Command::OpenItem));
    item->addAction(doc(Command::RevealInFileManager));
    item->addAction(doc(Command::OpenTerminal));
    item->addAction(doc(Command::QuickLook));
    item->addSeparator();
    item->addAction(doc(Command::MoveToTrash));

    QMenu* view = menu(QT_TRANSLATE_NOOP("MainMenu", "View"));
    view->addAction(doc(Command::ZoomIn));
    view->addAction(doc(Command::ZoomOut));
    view->addAction(doc(Command::ZoomToTop));
    view->addAction(doc(Command::CollapseSubfolders));
    view->addSeparator();
    view->addAction(doc(Command::ToggleFreeSpace));
    view->addAction(doc(Command::TogglePackageContents));
    view->addAction(doc(Command::ColorByAge));
    view->addAction(doc(Command::ShowApparentSizes));
    view->addSeparator();
    view->addAction(doc(Command::CustomizeToolbar));
    view->addAction(app(App::FullScreen));

    QMenu* window = menu(QT_TRANSLATE_NOOP("MainMenu", "Window"));
    window->addAction(app(App::Minimize));
    window->addAction(app(App::Zoom));
    window->addSeparator();
    window->addAction(app(App::BringAllToFront));
    QObject::connect(window, &QMenu::aboutToShow, window, [window] { listWindows(window); });

    QMenu* help = menu(QT_TRANSLATE_NOOP("MainMenu", "Help"));
    help->addAction(app(App::Help));
    help->addAction(app(App::Shortcuts));
    help->addSeparator();
    help->addAction(app(App::SendFeedback));
    help->addAction(app(App::Website));
    help->addAction(app(App::Privacy));
    return bar;
}

} // namespace MainMenu
