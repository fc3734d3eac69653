// SPDX-License-Identifier: MIT
#include "platform/FileTrash.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Room left in a 255-byte file name for ".trashinfo" and a ".NN" suffix.
constexpr std::size_t kMaxTrashBaseName = 255 - 10 - 8;

QString errnoReason(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

std::string parentOf(const std::string& path)
{
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return path.substr(0, slash);
}

std::string baseNameOf(const std::string& path)
{
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string withoutTrailingSlashes(std::string path)
{
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

std::string absolutePath(const std::string& path)
{
    if (!path.empty() && path.front() == '/')
        return withoutTrailingSlashes(path);
    std::string cwd(4096, '\0');
    while (!::getcwd(cwd.data(), cwd.size())) {
        if (errno != ERANGE)
            return path;
        cwd.resize(cwd.size() * 2);
    }
    cwd.resize(std::strlen(cwd.c_str()));
    std::string rest = path;
    while (rest.starts_with("./"))
        rest.erase(0, 2);
    return withoutTrailingSlashes(cwd == "/" ? "/" + rest : cwd + "/" + rest);
}

// Moves without replacing whatever may have appeared at `to` meanwhile.
int renameNoReplace(const std::string& from, const std::string& to)
{
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS)
        return errno;
    // The file system cannot promise it; fall back to a checked plain rename.
    struct stat st { };
    if (::lstat(to.c_str(), &st) == 0)
        return EEXIST;
    return ::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

// mkdir -p with mode 0700 for the folders it creates; iterative.
bool makeFolders(const std::string& path)
{
    std::size_t pos = 1;
    while (pos <= path.size()) {
        const auto next = path.find('/', pos);
        const std::string prefix = path.substr(0, next);
        if (::mkdir(prefix.c_str(), 0700) != 0 && errno != EEXIST)
            return false;
        if (next == std::string::npos)
            break;
        pos = next + 1;
    }
    struct stat st { };
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// The topmost folder above `path` on the same device: the volume's top directory.
std::string volumeTop(const std::string& path, dev_t device)
{
    std::string top = parentOf(path);
    while (top != "/") {
        const std::string up = parentOf(top);
        struct stat st { };
        if (::stat(up.c_str(), &st) != 0 || st.st_dev != device)
            break;
        top = up;
    }
    return top;
}

std::string dataHomeBytes()
{
    return QFile::encodeName(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation))
        .toStdString();
}

// The trash folder for an item on `device`, created when missing; empty when there is
// none we may use (items are never copied across volumes, as that would mean deleting).
std::string trashFolderFor(const std::string& path, dev_t device)
{
    const std::string home = dataHomeBytes();
    struct stat homeStat { };
    if (::stat(home.c_str(), &homeStat) == 0 && homeStat.st_dev == device)
        return home + "/Trash";
    const std::string top = volumeTop(path, device);
    const std::string uid = std::to_string(::getuid());
    const std::string shared = (top == "/" ? "" : top) + "/.Trash";
    struct stat sharedStat { };
    if (::lstat(shared.c_str(), &sharedStat) == 0 && S_ISDIR(sharedStat.st_mode)
        && (sharedStat.st_mode & S_ISVTX) != 0) {
        const std::string mine = shared + "/" + uid;
        if (makeFolders(mine))
            return mine;
    }
    return (top == "/" ? "" : top) + "/.Trash-" + uid;
}

std::string deletionDate()
{
    const std::time_t now = std::time(nullptr);
    std::tm local {};
    ::localtime_r(&now, &local);
    char text[32] = {};
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local);
    return text;
}

// The freedesktop.org trash layout written byte for byte: reserve a name through its
// info file (O_EXCL), then rename the item into files/.
FileTrash::Outcome moveBytesToTrash(const std::string& given)
{
    const std::string path = absolutePath(given);
    struct stat st { };
    if (::lstat(path.c_str(), &st) != 0)
        return { false, given, errnoReason(errno) };
    const std::string trash = trashFolderFor(path, st.st_dev);
    const std::string files = trash + "/files";
    const std::string info = trash + "/info";
    if (!makeFolders(files) || !makeFolders(info))
        return { false, given, QStringLiteral("The Trash folder of this volume could not be created.") };

    std::string base = baseNameOf(path);
    if (base.size() > kMaxTrashBaseName)
        base.resize(kMaxTrashBaseName);
    const QByteArray encoded = QByteArray::fromStdString(path).toPercentEncoding("/");
    const std::string record
        = "[Trash Info]\nPath=" + encoded.toStdString() + "\nDeletionDate=" + deletionDate() + "\n";

    for (int n = 1; n < 100000; ++n) {
        const std::string name = n == 1 ? base : base + "." + std::to_string(n);
        const std::string infoPath = info + "/" + name + ".trashinfo";
        const std::string target = files + "/" + name;
        const int fd = ::open(infoPath.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0600);
        if (fd < 0) {
            if (errno == EEXIST)
                continue;
            return { false, given, errnoReason(errno) };
        }
        const bool written = ::write(fd, record.data(), record.size()) == static_cast<ssize_t>(record.size());
        ::close(fd);
        if (!written) {
            ::unlink(infoPath.c_str());
            return { false, given, QStringLiteral("The Trash information could not be written.") };
        }
        const int error = renameNoReplace(path, target);
        if (error == 0)
            return { true, target, {} };
        ::unlink(infoPath.c_str());
        if (error != EEXIST)
            return { false, given, errnoReason(error) };
    }
    return { false, given, QStringLiteral("The Trash has no free name for this item.") };
}

} // namespace

FileTrash::FileTrash(Mover mover)
    : m_mover(mover ? std::move(mover) : Mover(&FileTrash::systemMove))
{
}

FileTrash::Outcome FileTrash::moveToTrash(const std::string& path) const
{
    QDir().mkpath(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation));
    Outcome outcome = m_mover(path);
    if (!outcome.moved) {
        if (outcome.reason.isEmpty())
            outcome.reason = QStringLiteral("The item couldn’t be moved to the Trash.");
        return outcome;
    }
    const std::string where = absolutePath(outcome.location);
    if (isTrashLocation(where, ::getuid()))
        return { true, where, {} };

    // Reported as moved, but not into a trash: put it back where the user left it.
    if (const int error = renameNoReplace(where, path); error != 0) {
        return { false, where,
            QStringLiteral("The item was moved to %1 instead of the Trash and could not be moved back (%2).")
                .arg(QFile::decodeName(QByteArray::fromStdString(where)), errnoReason(error)) };
    }
    const std::string filesFolder = parentOf(where);
    if (baseNameOf(filesFolder) == "files") {
        // The stray record that came with the misdirected move names an item that is
        // no longer there.
        const std::string stray = parentOf(filesFolder) + "/info/" + baseNameOf(where) + ".trashinfo";
        ::unlink(stray.c_str());
    }
    return { false, path,
        QStringLiteral("The Trash folder could not be used, so the item was left in place.") };
}

FileTrash::Outcome FileTrash::systemMove(const std::string& path)
{
    const QByteArray bytes = QByteArray::fromStdString(path);
    const QString name = QFile::decodeName(bytes);
    // Qt picks the trash by what a symbolic link points at, so a dangling link, or one
    // into another volume, would not move at all; the link itself is what goes.
    struct stat st { };
    const bool link = ::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
    if (link || QFile::encodeName(name) != bytes || baseNameOf(path).size() > kMaxTrashBaseName)
        return moveBytesToTrash(path);
    QFile file(name);
    if (!file.moveToTrash())
        return { false, path, file.errorString() };
    return { true, QFile::encodeName(file.fileName()).toStdString(), {} };
}

bool FileTrash::isTrashLocation(std::string_view location, unsigned uid)
{
    if (location.empty() || location.front() != '/')
        return false;
    std::vector<std::string_view> parts;
    std::size_t pos = 1;
    while (pos <= location.size()) {
        auto next = location.find('/', pos);
        if (next == std::string_view::npos)
            next = location.size();
        const std::string_view part = location.substr(pos, next - pos);
        if (part == "." || part == "..")
            return false;
        if (!part.empty())
            parts.push_back(part);
        pos = next + 1;
    }
    // … / trash / files / item
    if (parts.size() < 3 || parts[parts.size() - 2] != "files")
        return false;
    const std::string_view trash = parts[parts.size() - 3];
    const std::string uidText = std::to_string(uid);
    if (trash == "Trash" || trash == ".Trash-" + uidText)
        return true;
    return trash == uidText && parts.size() >= 4 && parts[parts.size() - 4] == ".Trash";
}
