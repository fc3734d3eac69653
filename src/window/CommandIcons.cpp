// SPDX-License-Identifier: MIT
#include "window/CommandIcons.h"

#include <QFile>

namespace {

struct Names {
    const char* theme;
    const char* shipped; // under :/icons
};

Names namesOf(Command command)
{
    switch (command) {
    case Command::RevealInFileManager:
        return { "system-file-manager", "folder" };
    case Command::OpenItem:
        return { "document-open", "open" };
    case Command::CopyPath:
    case Command::Copy:
        return { "edit-copy", "copy" };
    case Command::QuickLook:
        return { "view-preview", "eye" };
    case Command::MoveToTrash:
        return { "user-trash", "trash" };
    case Command::ZoomIn:
        return { "zoom-in", "zoom-in" };
    case Command::ZoomOut:
        return { "zoom-out", "zoom-out" };
    case Command::ZoomToTop:
        return { "go-top", "zoom-top" };
    case Command::CollapseSubfolders:
        return { "view-list-tree", "collapse" };
    case Command::Rescan:
    case Command::RescanAll:
        return { "view-refresh", "rescan" };
    case Command::ToggleFreeSpace:
    case Command::TogglePackageContents:
    case Command::CustomizeToolbar:
        break;
    }
    return { nullptr, nullptr };
}

} // namespace

// The shipped drawings live in a static library, whose resources are not registered on
// their own. Q_INIT_RESOURCE must be used outside any namespace.
static bool registerShippedIcons()
{
    Q_INIT_RESOURCE(commands);
    return true;
}

QIcon CommandIcons::forCommand(Command command)
{
    static const bool registered = registerShippedIcons();
    (void)registered;
    const Names names = namesOf(command);
    if (!names.theme)
        return {};
    const QString shipped = QStringLiteral(":/icons/%1.svg").arg(QLatin1String(names.shipped));
    return QIcon::fromTheme(QLatin1String(names.theme), QFile::exists(shipped) ? QIcon(shipped) : QIcon());
}
