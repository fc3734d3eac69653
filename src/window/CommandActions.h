// SPDX-License-Identifier: MIT
#pragma once

#include "window/Command.h"

#include <QObject>

#include <array>
#include <functional>

class DocumentWindowController;
class QAction;
struct CommandInfo;

// One QAction per document command, shared by the menu bar of every window, the
// toolbars and the context menus. Triggering one performs the command on the active
// document window; with none active it does nothing and every action is disabled.
//
// Threads: main thread only.
class CommandActions : public QObject {
    Q_OBJECT
public:
    explicit CommandActions(QObject* parent = nullptr);
    ~CommandActions() override;

    [[nodiscard]] QAction* action(Command command) const;
    // A new action showing `info` (texts, icon, shortcuts), not yet connected.
    [[nodiscard]] static QAction* make(const CommandInfo& info, QObject* parent);

    // The document window the commands go to: the active window or the window that owns
    // it (a dialog of that window), else null. Tests may replace the lookup.
    [[nodiscard]] DocumentWindowController* activeDocument() const;
    void setActiveDocumentLookup(std::function<DocumentWindowController*()> lookup);

    // Re-validates enablement and checkmarks against the active document window.
    void refresh();
    // Re-validates whenever `document` reports a change of its command state.
    void watch(DocumentWindowController* document);

    static constexpr std::size_t kCount = std::size_t(Command::ShowApparentSizes) + 1;

private:
    void trigger(Command command);

    std::array<QAction*, kCount> m_actions {};
    std::function<DocumentWindowController*()> m_lookup;
};
