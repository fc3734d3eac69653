// SPDX-License-Identifier: MIT
#include "window/CommandTable.h"

#include <QCoreApplication>
#include <QFile>

namespace {

constexpr auto kCtrl = Qt::ControlModifier;
constexpr auto kAlt = Qt::AltModifier;
constexpr auto kShift = Qt::ShiftModifier;

// In Command's order.
const CommandInfo kTable[] = {
    { Command::RevealInFileManager, "reveal", QT_TRANSLATE_NOOP("Command", "Reveal in File Manager"), nullptr,
        QT_TRANSLATE_NOOP("Command", "Show the selected items in the file manager"),
        { kCtrl | kShift | Qt::Key_R }, "system-file-manager", "folder", false },
    { Command::OpenItem, nullptr, QT_TRANSLATE_NOOP("Command", "Open"), nullptr,
        QT_TRANSLATE_NOOP("Command", "Open the selected items with their applications"),
        { kCtrl | Qt::Key_Down }, "document-open", "open", false },
    { Command::CopyPath, nullptr, QT_TRANSLATE_NOOP("Command", "Copy Path"), nullptr,
        QT_TRANSLATE_NOOP("Command", "Copy the paths of the selected items"), { kCtrl | kAlt | Qt::Key_C },
        "edit-copy", "copy", false },
    { Command::Copy, nullptr, QT_TRANSLATE_NOOP("Command", "Copy"), nullptr,
        QT_TRANSLATE_NOOP("Command", "Copy the paths of the selected items"), { kCtrl | Qt::Key_C },
        "edit-copy", "copy", false },
    { Command::QuickLook, "quickLook", QT_TRANSLATE_NOOP("Command", "Quick Look"), nullptr,
        QT_TRANSLATE_NOOP("Command", "Preview the selected items"), { kCtrl | Qt::Key_Y }, "view-preview",
        "eye", false },
    // Delete does what Ctrl+Backspace does: both only ever move to the Trash.
    { Command::MoveToTrash, "trash", QT_TRANSLATE_NOOP("Command", "Move to Trash"), nullptr,
        QT_TRANSLATE_NOOP("Command", "Move the selected items to the Trash"),
        { kCtrl | Qt::Key_Backspace, QKeyCombination(Qt::Key_Delete) }, "user-trash", "trash", false },
    // Ctrl++ also answers the keypad's plus (and Ctrl+- its minus): a shortcut matches
    // without the keypad modifier.
    { Command::ZoomIn, "zoomIn", QT_TRANSLATE_NOOP("Command", "Zoom In"), nullptr,
        QT_TRANSLATE_NOOP("Command", "Show only the selected folder in the treemap"),
        { kCtrl | Qt::Key_Equal, kCtrl | Qt::Key_Plus }, "zoom-in", "zoom-in", false },
    { Command::ZoomOut, "zoomOut", QT_TRANSLATE_NOOP("Command", "Zoom Out"), nullptr,
        QT_TRANSLATE_NOOP("Command", "Show the folder around the one shown"), { kCtrl | Qt::Key_Minus },
        "zoom-out", "zoom-out", false },
    { Command::ZoomToTop, "zoomTop", QT_TRANSLATE_NOOP("Command", "Zoom to Top"), nullptr,
        QT_TRANSLATE_NOOP("Command", "Show the whole scan"), { kCtrl | Qt::Key_0 }, "go-top", "zoom-top",
        false },
    // Desktops take Ctrl+Alt+Left for switching workspaces; none of Debian's binds the second.
    { Command::CollapseSubfolders, nullptr, QT_TRANSLATE_NOOP("Command", "Collapse All Subfolders"), nullptr,
        QT_TRANSLATE_NOOP("Command", "Collapse every folder inside the selected one"),
        { kCtrl | kAlt | Qt::Key_Left, kCtrl | kShift | Qt::Key_Left }, "view-list-tree", "collapse", false },
    { Command::ToggleFreeSpace, nullptr, QT_TRANSLATE_NOOP("Command", "Show Free Space"), nullptr,
        QT_TRANSLATE_NOOP("Command", "Show the volume's free space as an item"),
        { kCtrl | kShift | Qt::Key_F }, nullptr, nullptr, true },
    { Command::TogglePackageContents, nullptr, QT_TRANSLATE_NOOP("Command", "Show Package Contents"), nullptr,
        QT_TRANSLATE_NOOP("Command", "Show what is inside application bundles and other packages"),
        { kCtrl | kShift | Qt::Key_P }, nullptr, nullptr, true },
    { Command::Rescan, "rescan", QT_TRANSLATE_NOOP("Command", "Rescan Selected Folder"),
        QT_TRANSLATE_NOOP("Command", "Rescan"),
        QT_TRANSLATE_NOOP("Command", "Scan the selected folder again"), { kCtrl | Qt::Key_R }, "view-refresh",
        "rescan", false },
    { Command::RescanAll, nullptr, QT_TRANSLATE_NOOP("Command", "Rescan Everything"), nullptr,
        QT_TRANSLATE_NOOP("Command", "Scan the whole folder again"), { kCtrl | kAlt | Qt::Key_R },
        "view-refresh", "rescan", false },
    { Command::SaveScanAs, "saveScan", QT_TRANSLATE_NOOP("Command", "Save Scan As…"),
        QT_TRANSLATE_NOOP("Command", "Save Scan"),
        QT_TRANSLATE_NOOP("Command", "Save this scan to a file that Tallyfern, ncdu and gdu can open"),
        { kCtrl | kShift | Qt::Key_S }, "document-save-as", nullptr, false },
    { Command::OpenTerminal, nullptr, QT_TRANSLATE_NOOP("Command", "Open Terminal Here"), nullptr,
        QT_TRANSLATE_NOOP("Command", "Open a terminal in the selected folder"), {}, "utilities-terminal",
        nullptr, false },
    { Command::CustomizeToolbar, nullptr, QT_TRANSLATE_NOOP("Command", "Customize Toolbar…"), nullptr,
        QT_TRANSLATE_NOOP("Command", "Choose the items of the toolbar"), {}, nullptr, nullptr, false },
    { Command::Find, "find", QT_TRANSLATE_NOOP("Command", "Find…"), QT_TRANSLATE_NOOP("Command", "Find"),
        QT_TRANSLATE_NOOP("Command", "Find items by name in the whole scan"), { kCtrl | Qt::Key_F },
        "edit-find", "find", false },
    { Command::Preferences, nullptr, QT_TRANSLATE_NOOP("Command", "Preferences…"), nullptr,
        QT_TRANSLATE_NOOP("Command", "Choose what scans leave out and whether they enter other file systems"),
        { kCtrl | Qt::Key_Comma }, "preferences-system", nullptr, false },
    { Command::ColorByAge, nullptr, QT_TRANSLATE_NOOP("Command", "Color by Age"), nullptr,
        QT_TRANSLATE_NOOP("Command", "Colour the treemap by how long ago each item was modified"), {},
        nullptr, nullptr, true },
    { Command::ShowApparentSizes, nullptr, QT_TRANSLATE_NOOP("Command", "Show Apparent Sizes"), nullptr,
        QT_TRANSLATE_NOOP("Command", "Show the bytes the files hold instead of the space they take on disk"),
        { kCtrl | kShift | Qt::Key_A }, nullptr, nullptr, true },
};

QString translated(const char* text)
{
    return text ? QCoreApplication::translate("Command", text) : QString();
}

} // namespace

// The shipped drawings live in a static library, whose resources are not registered on
// their own. Q_INIT_RESOURCE must be used outside any namespace.
static bool registerShippedIcons()
{
    Q_INIT_RESOURCE(commands);
    return true;
}

QString CommandInfo::displayText() const
{
    return translated(text);
}

QString CommandInfo::displayIconText() const
{
    return translated(iconText ? iconText : text);
}

QString CommandInfo::displayTip() const
{
    return translated(tip);
}

QList<QKeySequence> CommandInfo::shortcuts() const
{
    QList<QKeySequence> out;
    for (QKeyCombination combination : keys)
        if (combination.key() != Qt::Key_unknown) // what an unused slot holds
            out.append(QKeySequence(combination));
    return out;
}

QIcon CommandInfo::icon() const
{
    static const bool registered = registerShippedIcons();
    (void)registered;
    if (!themeIcon)
        return {};
    const QString shipped = QStringLiteral(":/icons/%1.svg").arg(QLatin1String(shippedIcon));
    return QIcon::fromTheme(QLatin1String(themeIcon), QFile::exists(shipped) ? QIcon(shipped) : QIcon());
}

namespace CommandTable {

std::span<const CommandInfo> all()
{
    return kTable;
}

const CommandInfo& of(Command command)
{
    return kTable[std::size_t(command)];
}

const CommandInfo* find(const QString& identifier)
{
    for (const CommandInfo& info : kTable)
        if (info.identifier && identifier == QLatin1String(info.identifier))
            return &info;
    return nullptr;
}

} // namespace CommandTable
