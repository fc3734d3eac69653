// SPDX-License-Identifier: MIT
#include "platform/gui/SystemWorkspace.h"

#include "platform/DefaultApplication.h"
#include "platform/Terminal.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDesktopServices>

#include <algorithm>

namespace {

std::string parentOf(const std::string& path)
{
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// Whether a desktop entry is this application's: the installed one, or one a desktop
// made for it ("userapp-tallyfern-….desktop").
bool isOwnDesktopEntry(const QString& desktopId)
{
    return desktopId.contains(QLatin1String("tallyfern"), Qt::CaseInsensitive);
}

} // namespace

SystemWorkspace::SystemWorkspace(FileTrash trash, FolderHandler folderHandler)
    : m_trash(std::move(trash))
    , m_folderHandler(std::move(folderHandler))
{
    if (!m_folderHandler)
        m_folderHandler = [] { return DefaultApplication::forType(QStringLiteral("inode/directory")); };
}

void SystemWorkspace::open(const std::string& path)
{
    openUrl(fileUrl(path));
}

void SystemWorkspace::openUrl(const QUrl& url)
{
    QDesktopServices::openUrl(url);
}

std::vector<std::string> SystemWorkspace::parentFolders(const std::vector<std::string>& paths)
{
    std::vector<std::string> folders;
    for (const std::string& path : paths) {
        std::string folder = parentOf(path);
        if (std::find(folders.begin(), folders.end(), folder) == folders.end())
            folders.push_back(std::move(folder));
    }
    return folders;
}

void SystemWorkspace::reveal(const std::vector<std::string>& paths)
{
    if (paths.empty())
        return;
    const auto fallback = [this, folders = parentFolders(paths)] {
        if (const QString handler = m_folderHandler(); isOwnDesktopEntry(handler)) {
            qWarning("No file manager answered, and folders open with %s: nothing revealed",
                qUtf8Printable(handler));
            return;
        }
        for (const std::string& folder : folders)
            open(folder);
    };
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        fallback();
        return;
    }
    QStringList uris;
    for (const std::string& path : paths)
        uris << QString::fromLatin1(fileUrl(path).toEncoded());
    QDBusMessage call = QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.FileManager1"),
        QStringLiteral("/org/freedesktop/FileManager1"), QStringLiteral("org.freedesktop.FileManager1"),
        QStringLiteral("ShowItems"));
    call << uris << QString();
    // Asynchronous: a file manager that is slow to start must not freeze the window.
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call), &m_context);
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, &m_context,
        [fallback](QDBusPendingCallWatcher* finished) {
            if (finished->isError())
                fallback();
            finished->deleteLater();
        });
}

FileTrash::Outcome SystemWorkspace::moveToTrash(const std::string& path)
{
    return m_trash.moveToTrash(path);
}

bool SystemWorkspace::openTerminal(const std::string& folder)
{
    return Terminal::openIn(folder);
}
