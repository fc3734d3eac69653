// SPDX-License-Identifier: MIT
#include "app/ApplicationActions.h"

#include "window/DocumentWindowController.h"
#include "window/FileOutlineView.h"

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QKeySequence>
#include <QMainWindow>
#include <QWidget>
#include <QWindow>

namespace {

struct Entry {
    ApplicationActions::Id id;
    const char* text;
    QKeySequence key;
    const char* tip;
};

} // namespace

ApplicationActions::ApplicationActions(QObject* parent)
    : QObject(parent)
{
    using Id = ApplicationActions::Id;
    const auto ctrl = Qt::ControlModifier;
    const Entry entries[] = {
        { Id::About, QT_TR_NOOP("About Tallyfern"), {}, QT_TR_NOOP("Show the version of Tallyfern") },
        { Id::CheckForUpdates, QT_TR_NOOP("Check for Updates…"), {},
            QT_TR_NOOP("Open the page of Tallyfern releases") },
        { Id::Quit, QT_TR_NOOP("Quit Tallyfern"), QKeySequence(ctrl | Qt::Key_Q),
            QT_TR_NOOP("Close every window and quit") },
        { Id::NewScan, QT_TR_NOOP("New Scan…"), QKeySequence(ctrl | Qt::Key_N),
            QT_TR_NOOP("Choose a volume to scan") },
        { Id::OpenFolder, QT_TR_NOOP("Open Folder…"), QKeySequence(ctrl | Qt::Key_O),
            QT_TR_NOOP("Choose folders to scan") },
        { Id::OpenScan, QT_TR_NOOP("Open Scan…"), QKeySequence(ctrl | Qt::ShiftModifier | Qt::Key_O),
            QT_TR_NOOP("Open a scan saved by Tallyfern, ncdu or gdu") },
        { Id::Close, QT_TR_NOOP("Close"), QKeySequence(ctrl | Qt::Key_W), QT_TR_NOOP("Close this window") },
        { Id::Undo, QT_TR_NOOP("Undo"), QKeySequence(ctrl | Qt::Key_Z), nullptr },
        { Id::Redo, QT_TR_NOOP("Redo"), QKeySequence(ctrl | Qt::ShiftModifier | Qt::Key_Z), nullptr },
        { Id::Cut, QT_TR_NOOP("Cut"), QKeySequence(ctrl | Qt::Key_X), nullptr },
        { Id::Paste, QT_TR_NOOP("Paste"), QKeySequence(ctrl | Qt::Key_V), nullptr },
        { Id::SelectAll, QT_TR_NOOP("Select All"), QKeySequence(ctrl | Qt::Key_A),
            QT_TR_NOOP("Select every row of the outline") },
        { Id::FullScreen, "Enter Full Screen", QKeySequence(Qt::Key_F11),
            "Fill the screen with this window" },
        { Id::Minimize, QT_TR_NOOP("Minimize"), QKeySequence(ctrl | Qt::Key_M),
            QT_TR_NOOP("Minimize this window") },
        { Id::Zoom, QT_TR_NOOP("Zoom"), {}, QT_TR_NOOP("Enlarge this window, or give it back its size") },
        { Id::BringAllToFront, QT_TR_NOOP("Bring All to Front"), {},
            QT_TR_NOOP("Raise every Tallyfern window") },
        { Id::Help, QT_TR_NOOP("Tallyfern Help"), QKeySequence(Qt::Key_F1),
            QT_TR_NOOP("Open the support pages") },
        { Id::Shortcuts, QT_TR_NOOP("Keyboard Shortcuts"), {}, QT_TR_NOOP("Show the keyboard shortcuts") },
        { Id::SendFeedback, QT_TR_NOOP("Send Feedback…"), {},
            QT_TR_NOOP("Write to the makers of Tallyfern") },
        { Id::Website, QT_TR_NOOP("Tallyfern Website"), {}, QT_TR_NOOP("Open the website of Tallyfern") },
        { Id::Privacy, QT_TR_NOOP("Privacy Policy"), {}, QT_TR_NOOP("Open the privacy policy") },
    };
    for (const Entry& entry : entries) {
        auto* action = new QAction(tr(entry.text), this);
        action->setShortcut(entry.key);
        if (entry.tip)
            action->setStatusTip(tr(entry.tip));
        m_actions[std::size_t(entry.id)] = action;
    }
    // Quit works from every window, even one without this menu bar (a dialog).
    action(Id::Quit)->setShortcutContext(Qt::ApplicationShortcut);
    action(Id::About)->setMenuRole(QAction::AboutRole);
    action(Id::Quit)->setMenuRole(QAction::QuitRole);

    // Nothing in Tallyfern answers these; they stay for the habit of the keys.
    for (const Id id : { Id::Undo, Id::Redo, Id::Cut, Id::Paste })
        action(id)->setEnabled(false);

    connect(action(Id::Close), &QAction::triggered, this, [] {
        if (QWidget* window = activeWindow())
            window->close();
    });
    connect(action(Id::Minimize), &QAction::triggered, this, [] {
        if (QWidget* window = activeMainWindow())
            window->showMinimized();
    });
    connect(action(Id::Zoom), &QAction::triggered, this, [] {
        if (QWidget* window = activeMainWindow())
            window->isMaximized() ? window->showNormal() : window->showMaximized();
    });
    connect(action(Id::FullScreen), &QAction::triggered, this, [] {
        if (QWidget* window = activeMainWindow())
            window->isFullScreen() ? window->showNormal() : window->showFullScreen();
    });
    connect(action(Id::BringAllToFront), &QAction::triggered, this, [] {
        const QWidget* active = activeWindow();
        for (QWidget* window : QApplication::topLevelWidgets()) {
            if (window->isVisible() && !window->isMinimized() && window != active)
                window->raise();
        }
        if (QWidget* window = activeWindow())
            window->raise(); // the key window stays in front
    });
    connect(action(Id::SelectAll), &QAction::triggered, this, &ApplicationActions::selectAll);

    if (auto* gui = qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        connect(gui, &QGuiApplication::focusWindowChanged, this, &ApplicationActions::refresh);
    refresh();
}

ApplicationActions::~ApplicationActions() = default;

QWidget* ApplicationActions::activeWindow()
{
    return QApplication::activeWindow();
}

QWidget* ApplicationActions::activeMainWindow()
{
    return qobject_cast<QMainWindow*>(QApplication::activeWindow());
}

void ApplicationActions::refresh()
{
    action(Id::Close)->setEnabled(activeWindow() != nullptr);
    // Sizing commands are for the chooser and document windows, not for dialogs.
    QWidget* window = activeMainWindow();
    for (const Id id : { Id::Minimize, Id::Zoom, Id::FullScreen })
        action(id)->setEnabled(window != nullptr);
    action(Id::FullScreen)
        ->setText(window && window->isFullScreen() ? tr("Exit Full Screen") : tr("Enter Full Screen"));
    auto* document = qobject_cast<DocumentWindowController*>(window);
    action(Id::SelectAll)
        ->setEnabled(document && document->canPerform(std::nullopt) && document->outlineView());
}

void ApplicationActions::selectAll()
{
    auto* document = qobject_cast<DocumentWindowController*>(activeWindow());
    if (!document || !document->canPerform(std::nullopt))
        return;
    if (QAbstractItemView* outline = document->outlineView())
        outline->selectAll();
}
