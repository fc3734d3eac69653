// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>

#include <array>

class QAction;
class QWidget;

// The actions of the menu bar that are not document commands: the application's own
// (New Scan…, Open Folder…, About, help and links, Quit), the window commands that act
// on whichever window is active, and the edit commands without a meaning here.
// AppDelegate connects the application's own; the window commands are handled here.
//
// Threads: main thread only.
class ApplicationActions : public QObject {
    Q_OBJECT
public:
    enum class Id {
        About,
        CheckForUpdates,
        Quit,
        NewScan,
        OpenFolder,
        OpenScan,
        Close,
        Undo,
        Redo,
        Cut,
        Paste,
        SelectAll,
        FullScreen,
        Minimize,
        Zoom,
        BringAllToFront,
        Help,
        Shortcuts,
        SendFeedback,
        Website,
        Privacy,
    };
    static constexpr std::size_t kCount = std::size_t(Id::Privacy) + 1;

    explicit ApplicationActions(QObject* parent = nullptr);
    ~ApplicationActions() override;

    [[nodiscard]] QAction* action(Id id) const { return m_actions[std::size_t(id)]; }

    // Window commands need an active window; Select All an active document with a tree.
    void refresh();

private:
    static QWidget* activeWindow();
    static QWidget* activeMainWindow();
    void selectAll();

    std::array<QAction*, kCount> m_actions {};
};
