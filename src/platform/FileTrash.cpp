// SPDX-License-Identifier: MIT
#include "platform/FileTrash.h"

#include <QByteArray>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

// Room left in a 255-byte file name for ".trashinfo" and a ".NN" suffix.
constexpr std::size_t kMaxTrashBaseName = 255 - 10 - 8;

// Folders are only ever walked through, never read, so search permission suffices.
constexpr int kFolderFlags = O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

QString errnoReason(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// `error` is the system's reason when there was one besides failed checks.
QString noTrash(int error = 0)
{
    return error ? QStringLiteral("No usable trash folder on this volume (%1).").arg(errnoReason(error))
                 : QStringLiteral("No usable trash folder on this volume.");
}

class Fd {
public:
    Fd() = default;
    explicit Fd(int fd)
        : m_fd(fd)
    {
    }
    Fd(Fd&& other) noexcept
        : m_fd(std::exchange(other.m_fd, -1))
    {
    }
    Fd& operator=(Fd&& other) noexcept
    {
        if (this != &other) {
            reset();
            m_fd = std::exchange(other.m_fd, -1);
        }
        return *this;
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    ~Fd() { reset(); }

    [[nodiscard]] int get() const { return m_fd; }
    explicit operator bool() const { return m_fd >= 0; }
    [[nodiscard]] Fd duplicate() const { return Fd(::fcntl(m_fd, F_DUPFD_CLOEXEC, 0)); }

private:
    void reset()
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
    }
    int m_fd = -1;
};

// The mount an entry lies on: its mount id where the kernel reports one (a bind mount
// of the same file system is another mount, and renames cannot cross it), else its
// device.
struct Place {
    std::uint64_t mount = 0;
    dev_t device = 0;
    bool hasMountId = false;

    [[nodiscard]] bool sameAs(const Place& other) const
    {
        return hasMountId && other.hasMountId ? mount == other.mount : device == other.device;
    }
};

std::optional<Place> placeOf(int dirFd, const char* name)
{
    struct statx sx { };
    const int flags = AT_SYMLINK_NOFOLLOW | (*name ? 0 : AT_EMPTY_PATH);
    if (::statx(dirFd, name, flags, STATX_INO | STATX_MNT_ID, &sx) != 0)
        return std::nullopt;
    return Place { sx.stx_mnt_id, ::makedev(sx.stx_dev_major, sx.stx_dev_minor),
        (sx.stx_mask & STATX_MNT_ID) != 0 };
}

std::string absolutePath(const std::string& path)
{
    if (!path.empty() && path.front() == '/')
        return path;
    std::string cwd(4096, '\0');
    while (!::getcwd(cwd.data(), cwd.size())) {
        if (errno != ERANGE)
            return {};
        cwd.resize(cwd.size() * 2);
    }
    cwd.resize(std::strlen(cwd.c_str()));
    return cwd + "/" + path;
}

// parts[from, to) joined with "/"; an absolute path starts with "/", even when empty.
std::string joined(const std::vector<std::string>& parts, std::size_t from, std::size_t to, bool absolute)
{
    std::string text(absolute ? "/" : "");
    for (std::size_t i = from; i < to; ++i) {
        if (i > from)
            text += '/';
        text += parts[i];
    }
    return text;
}

// The XDG data home; relative values are invalid there and ignored.
std::optional<std::string> dataHome()
{
    const char* xdg = std::getenv("XDG_DATA_HOME");
    if (xdg && xdg[0] == '/')
        return std::string(xdg);
    const char* home = std::getenv("HOME");
    if (home && home[0] == '/')
        return std::string(home) + "/.local/share";
    return std::nullopt;
}

// mkdir -p with mode 0700 for the folders it creates; iterative.
void makeFolders(const std::string& path)
{
    for (std::size_t slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1))
        ::mkdir(path.substr(0, slash).c_str(), 0700);
    ::mkdir(path.c_str(), 0700);
}

enum class Access {
    Private, // exactly 0700, as a trash folder on a shared volume must be
    Unshared, // writable by its owner alone
};

// Opens the folder `name` in `at` without following a link, creating it (0700) when
// missing, and accepts it only when it is a real folder of this user that `access`
// allows. On refusal `error` is the system's reason, or 0 when a check failed.
Fd openOwnFolder(int at, const char* name, Access access, int& error)
{
    Fd fd(::openat(at, name, kFolderFlags));
    if (!fd && errno == ENOENT && (::mkdirat(at, name, 0700) == 0 || errno == EEXIST))
        fd = Fd(::openat(at, name, kFolderFlags));
    // A link or a file where the folder should be is a failed check, not an error.
    error = fd || errno == ENOTDIR || errno == ELOOP ? 0 : errno;
    struct stat st { };
    if (!fd || ::fstat(fd.get(), &st) != 0)
        return {};
    const mode_t mode = st.st_mode & 0777;
    const bool allowed = access == Access::Private ? mode == 0700 : (mode & 022) == 0;
    if (!S_ISDIR(st.st_mode) || st.st_uid != ::getuid() || !allowed)
        return {};
    return fd;
}

// The item, reached from / one folder at a time without following a link, so the
// folder it is renamed from is the one its path names.
struct Item {
    Fd parent;
    Fd top; // the topmost folder on the parent's mount: the volume's $topdir
    std::string topPath;
    std::string path; // absolute, without empty, "." or ".." components
    std::string fromTop; // the path relative to `top`
    std::string name;
};

std::optional<Item> openItem(const std::string& given, QString& reason)
{
    std::vector<std::string> parts;
    // An empty path would otherwise name the working folder.
    const std::string absolute = given.empty() ? std::string() : absolutePath(given);
    if (absolute.empty()) {
        reason = errnoReason(given.empty() ? ENOENT : errno);
        return std::nullopt;
    }
    for (std::size_t start = 0; start < absolute.size();) {
        std::size_t end = absolute.find('/', start);
        if (end == std::string::npos)
            end = absolute.size();
        std::string part = absolute.substr(start, end - start);
        // Taken as written: with no link allowed on the way, ".." can only mean the
        // folder before it.
        if (part == "..") {
            if (!parts.empty())
                parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(std::move(part));
        }
        start = end + 1;
    }
    if (parts.empty()) {
        reason = QStringLiteral("The top folder cannot be moved to the Trash.");
        return std::nullopt;
    }

    Item item;
    item.parent = Fd(::open("/", kFolderFlags));
    std::optional<Place> topPlace = placeOf(item.parent.get(), "");
    item.top = item.parent.duplicate();
    std::size_t topIndex = 0;
    for (std::size_t i = 0; i + 1 < parts.size(); ++i) {
        Fd next(::openat(item.parent.get(), parts[i].c_str(), kFolderFlags));
        if (!next) {
            const int error = errno;
            struct stat st { };
            const bool link = ::fstatat(item.parent.get(), parts[i].c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0
                && S_ISLNK(st.st_mode);
            reason = link ? QStringLiteral("The path to this item passes through a symbolic link.")
                          : errnoReason(error);
            return std::nullopt;
        }
        const std::optional<Place> place = placeOf(next.get(), "");
        if (!place || !topPlace) {
            reason = errnoReason(errno);
            return std::nullopt;
        }
        if (!place->sameAs(*topPlace)) {
            topPlace = place;
            item.top = next.duplicate();
            topIndex = i + 1;
        }
        item.parent = std::move(next);
    }
    if (!item.parent || !item.top) {
        reason = errnoReason(errno);
        return std::nullopt;
    }
    item.name = parts.back();
    item.path = joined(parts, 0, parts.size(), true);
    item.topPath = joined(parts, 0, topIndex, true);
    item.fromTop = joined(parts, topIndex, parts.size(), false);
    return item;
}

struct TrashFolder {
    Fd files;
    Fd info;
    std::string path;
};

// files/ and info/ of a trash folder already checked.
std::optional<TrashFolder> openInside(const Fd& trash, std::string path, int& error)
{
    TrashFolder folder { openOwnFolder(trash.get(), "files", Access::Unshared, error), {}, std::move(path) };
    if (!folder.files)
        return std::nullopt;
    folder.info = openOwnFolder(trash.get(), "info", Access::Unshared, error);
    if (!folder.info)
        return std::nullopt;
    return folder;
}

// $topdir/.Trash/$uid when $topdir/.Trash is a real sticky folder, else $topdir/.Trash-$uid.
std::optional<TrashFolder> volumeTrash(const Item& item, const Place& place, int& error)
{
    const std::string uid = std::to_string(::getuid());
    const std::string top = item.topPath == "/" ? "" : item.topPath;
    Fd shared(::openat(item.top.get(), ".Trash", kFolderFlags));
    struct stat st { };
    if (shared && ::fstat(shared.get(), &st) == 0 && S_ISDIR(st.st_mode) && (st.st_mode & S_ISVTX) != 0) {
        const Fd mine = openOwnFolder(shared.get(), uid.c_str(), Access::Private, error);
        const std::optional<Place> at = mine ? placeOf(mine.get(), "") : std::nullopt;
        if (at && at->sameAs(place))
            if (auto folder = openInside(mine, top + "/.Trash/" + uid, error))
                return folder;
    }
    const std::string own = ".Trash-" + uid;
    const Fd mine = openOwnFolder(item.top.get(), own.c_str(), Access::Private, error);
    const std::optional<Place> at = mine ? placeOf(mine.get(), "") : std::nullopt;
    if (!at || !at->sameAs(place))
        return std::nullopt;
    return openInside(mine, top + "/" + own, error);
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

bool writeAll(int fd, const std::string& bytes)
{
    for (std::size_t done = 0; done < bytes.size();) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// Renames without replacing whatever may have appeared at the target meanwhile.
int renameNoReplace(int fromDir, const std::string& from, int toDir, const std::string& to)
{
    if (::renameat2(fromDir, from.c_str(), toDir, to.c_str(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS)
        return errno;
    // The file system may not promise it; fall back to a checked plain rename.
    struct stat st { };
    if (::fstatat(toDir, to.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0)
        return EEXIST;
    return ::renameat(fromDir, from.c_str(), toDir, to.c_str()) == 0 ? 0 : errno;
}

} // namespace

FileTrash::FileTrash(Hook beforeMove)
    : m_beforeMove(std::move(beforeMove))
{
}

FileTrash::Outcome FileTrash::moveToTrash(const std::string& path) const
{
    const std::optional<std::string> home = dataHome();
    if (!home)
        return { false, path,
            QStringLiteral("There is no Trash: neither HOME nor XDG_DATA_HOME names an absolute folder.") };
    QString reason;
    std::optional<Item> item = openItem(path, reason);
    if (!item)
        return { false, path, reason };
    const std::optional<Place> place = placeOf(item->parent.get(), "");
    const std::optional<Place> own = placeOf(item->parent.get(), item->name.c_str());
    if (!place || !own)
        return { false, path, errnoReason(errno) };
    if (!own->sameAs(*place))
        return { false, path, QStringLiteral("A mounted volume cannot be moved to the Trash.") };

    makeFolders(*home);
    const Fd homeFd(::open(home->c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (!homeFd)
        return { false, path,
            QStringLiteral("The Trash folder could not be created (%1).").arg(errnoReason(errno)) };

    // The home trash for items on its mount, with an absolute Path; the volume's
    // otherwise, with a Path relative to its top folder.
    const std::optional<Place> homePlace = placeOf(homeFd.get(), "");
    const bool inHome = homePlace && homePlace->sameAs(*place);
    int error = 0;
    std::optional<TrashFolder> trash;
    if (inHome) {
        if (const Fd folder = openOwnFolder(homeFd.get(), "Trash", Access::Unshared, error))
            trash = openInside(folder, *home + "/Trash", error);
    } else {
        trash = volumeTrash(*item, *place, error);
    }
    if (!trash)
        return { false, path, noTrash(error) };

    const std::string original = inHome ? item->path : item->fromTop;
    const std::string record
        = "[Trash Info]\nPath=" + QByteArray::fromStdString(original).toPercentEncoding("/").toStdString()
        + "\nDeletionDate=" + deletionDate() + "\n";
    const std::string base = item->name.substr(0, kMaxTrashBaseName);
    bool hooked = false;
    for (int n = 1; n < 100000; ++n) {
        const std::string name = n == 1 ? base : base + "." + std::to_string(n);
        const std::string infoName = name + ".trashinfo";
        // Creating the record first and exclusively reserves the name against
        // concurrent trashing.
        const Fd infoFd(::openat(
            trash->info.get(), infoName.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_NOFOLLOW | O_CLOEXEC, 0600));
        if (!infoFd) {
            if (errno == EEXIST)
                continue;
            return { false, path, errnoReason(errno) };
        }
        if (!writeAll(infoFd.get(), record)) {
            ::unlinkat(trash->info.get(), infoName.c_str(), 0);
            return { false, path, QStringLiteral("The Trash information could not be written.") };
        }
        if (!std::exchange(hooked, true) && m_beforeMove)
            m_beforeMove();
        const int moveError = renameNoReplace(item->parent.get(), item->name, trash->files.get(), name);
        if (moveError == 0)
            return { true, trash->path + "/files/" + name, {} };
        ::unlinkat(trash->info.get(), infoName.c_str(), 0);
        if (moveError == EXDEV)
            return { false, path, noTrash() };
        if (moveError == EINVAL)
            return { false, path, QStringLiteral("The Trash folder lies inside this item.") };
        if (moveError != EEXIST)
            return { false, path, errnoReason(moveError) };
    }
    return { false, path, QStringLiteral("The Trash has no free name for this item.") };
}
