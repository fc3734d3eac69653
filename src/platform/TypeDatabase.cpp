// SPDX-License-Identifier: MIT
#include "platform/TypeDatabase.h"

#include <QMimeDatabase>

#include <algorithm>
#include <array>
#include <fnmatch.h>
#include <string>
#include <unordered_map>
#include <vector>

namespace {

// Folder extensions that are bundles wherever they appear. Linux's type database has no
// such notion, so they live here.
struct PackageKind {
    const char* extension;
    const char* description;
    const char* iconName;
};

constexpr std::array kPackages {
    PackageKind { "app", "Application bundle", "application-x-executable" },
    PackageKind { "appex", "Application extension", "application-x-executable" },
    PackageKind { "bundle", "Bundle", "package-x-generic" },
    PackageKind { "framework", "Framework", "package-x-generic" },
    PackageKind { "plugin", "Plug-in", "application-x-addon" },
    PackageKind { "kext", "Kernel extension", "application-x-addon" },
    PackageKind { "prefpane", "Preference pane", "preferences-system" },
    PackageKind { "qlgenerator", "Preview generator", "application-x-addon" },
    PackageKind { "xcodeproj", "Xcode project", "text-x-script" },
    PackageKind { "xcworkspace", "Xcode workspace", "text-x-script" },
    PackageKind { "xcarchive", "Xcode archive", "package-x-generic" },
    PackageKind { "dsym", "Debug symbols bundle", "package-x-generic" },
    PackageKind { "photoslibrary", "Photos library", "image-x-generic" },
    PackageKind { "rtfd", "Rich text document with attachments", "text-rtf" },
};

// ASCII lower case into `out` (at least `name.size()` bytes): glob patterns are ASCII,
// and matched without regard to case as shared-mime-info does by default.
std::string_view lowered(std::string_view name, char* out)
{
    for (std::size_t i = 0; i < name.size(); ++i) {
        const char c = name[i];
        out[i] = c >= 'A' && c <= 'Z' ? char(c | 0x20) : c;
    }
    return { out, name.size() };
}

// The longest run of characters in a glob pattern that are not wildcards: a name the
// pattern matches contains it.
std::string anchorOf(const std::string& pattern)
{
    std::string best;
    std::string run;
    bool inClass = false;
    for (const char c : pattern) {
        if (inClass) {
            inClass = c != ']';
            continue;
        }
        if (c == '*' || c == '?' || c == '[') {
            inClass = c == '[';
            best = std::max(
                best, run, [](const std::string& a, const std::string& b) { return a.size() < b.size(); });
            run.clear();
        } else {
            run.push_back(c);
        }
    }
    return std::max(
        best, run, [](const std::string& a, const std::string& b) { return a.size() < b.size(); });
}

// Every glob pattern of the database, sorted so that one whole name is tested against all
// of them in a few hash look-ups: literal names, "*.suffix" patterns (looked up at each
// dot of the name), other "*suffix" patterns, and the few left (each with a literal
// anchor that must occur in the name before it is matched). Asking the database itself
// costs far more, about a tenth of a millisecond a name.
class NameGlobs {
public:
    NameGlobs()
    {
        const QMimeDatabase db;
        for (const QMimeType& type : db.allMimeTypes()) {
            const std::string typeName = type.name().toStdString();
            for (const QString& glob : type.globPatterns()) {
                std::string p = glob.toLower().toStdString();
                const std::size_t wild = p.find_first_of("*?[");
                if (p.empty() || p.size() > kMaxName)
                    continue;
                if (wild == std::string::npos)
                    m_literals.emplace(std::move(p), typeName);
                else if (wild == 0 && p.size() > 1 && p.find_first_of("*?[", 1) == std::string::npos)
                    m_suffixes.emplace(p.substr(1), typeName);
                else
                    m_others.push_back({ anchorOf(p), std::move(p), typeName });
            }
        }
        for (const auto& [suffix, type] : m_suffixes)
            if (suffix.front() != '.')
                m_plainSuffixes.push_back(suffix);
    }

    // The type of the longest pattern that matches (a literal name before any), or empty.
    [[nodiscard]] std::string_view match(std::string_view name) const
    {
        if (name.empty() || name.size() > kMaxName)
            return {};
        char buffer[kMaxName + 1];
        const std::string_view lower = lowered(name, buffer);
        buffer[lower.size()] = '\0';
        if (const auto it = m_literals.find(lower); it != m_literals.end())
            return it->second;
        const std::string* best = nullptr;
        std::size_t bestLength = 0;
        const auto consider = [&](std::size_t length, const std::string& type) {
            if (length > bestLength) {
                bestLength = length;
                best = &type;
            }
        };
        // The first dot gives the longest suffix.
        for (std::size_t dot = lower.find('.'); dot != std::string_view::npos && !best;
             dot = lower.find('.', dot + 1))
            if (const auto it = m_suffixes.find(lower.substr(dot)); it != m_suffixes.end())
                consider(it->first.size() + 1, it->second);
        for (const std::string& suffix : m_plainSuffixes)
            if (lower.ends_with(suffix))
                consider(suffix.size() + 1, m_suffixes.find(suffix)->second);
        for (const Other& other : m_others)
            if (other.pattern.size() > bestLength && lower.find(other.anchor) != std::string_view::npos
                && ::fnmatch(other.pattern.c_str(), buffer, 0) == 0)
                consider(other.pattern.size(), other.type);
        return best ? std::string_view(*best) : std::string_view();
    }

private:
    static constexpr std::size_t kMaxName = 255;
    struct Hash {
        using is_transparent = void;
        std::size_t operator()(std::string_view s) const noexcept
        {
            return std::hash<std::string_view> {}(s);
        }
    };
    using Map = std::unordered_map<std::string, std::string, Hash, std::equal_to<>>; // pattern → type
    struct Other {
        std::string anchor;
        std::string pattern;
        std::string type;
    };
    Map m_literals;
    Map m_suffixes; // without the leading "*"
    std::vector<std::string> m_plainSuffixes; // those not starting with a dot
    std::vector<Other> m_others;
};

class SystemTypeDatabase final : public TypeDatabase {
public:
    [[nodiscard]] std::optional<ContentType> dataType(const QString& extension) const override
    {
        if (extension.isEmpty())
            return std::nullopt;
        // QMimeDatabase is thread-safe; one per call is cheap (it shares the loaded data).
        const QMimeDatabase db;
        const QList<QMimeType> matches = db.mimeTypesForFileName(QStringLiteral("x.") + extension);
        for (const QMimeType& t : matches) {
            if (!t.isValid() || t.isDefault())
                continue;
            return ContentType { t.name(), t.comment(), t.iconName(), t.genericIconName(), false };
        }
        // Unknown to the system: a made-up type, like an unregistered dynamic one.
        return ContentType { QStringLiteral("application/x-extension-") + extension, QString(),
            QStringLiteral("application-octet-stream"), QStringLiteral("unknown"), true };
    }

    [[nodiscard]] std::string_view nameGlobType(std::string_view name) const override
    {
        static const NameGlobs globs;
        return globs.match(name);
    }

    [[nodiscard]] std::optional<ContentType> typeNamed(std::string_view typeName) const override
    {
        const QMimeType t
            = QMimeDatabase().mimeTypeForName(QString::fromUtf8(typeName.data(), qsizetype(typeName.size())));
        if (!t.isValid())
            return std::nullopt;
        return ContentType { t.name(), t.comment(), t.iconName(), t.genericIconName(), false };
    }

    [[nodiscard]] std::optional<ContentType> packageType(const QString& extension) const override
    {
        for (const PackageKind& p : kPackages)
            if (extension == QLatin1String(p.extension))
                return ContentType { QStringLiteral("inode/x-bundle-") + extension,
                    QString::fromUtf8(p.description), QString::fromUtf8(p.iconName),
                    QStringLiteral("package-x-generic"), false };
        return std::nullopt;
    }
};

} // namespace

ContentType TypeDatabase::folderType()
{
    return ContentType { QStringLiteral("inode/directory"), QStringLiteral("Folder"),
        QStringLiteral("folder"), QStringLiteral("folder"), false };
}

ContentType TypeDatabase::symlinkType()
{
    return ContentType { QStringLiteral("inode/symlink"), QStringLiteral("Symbolic link"),
        QStringLiteral("inode-symlink"), QStringLiteral("emblem-symbolic-link"), false };
}

ContentType TypeDatabase::genericDataType()
{
    return ContentType { QStringLiteral("application/octet-stream"), QStringLiteral("Document"),
        QStringLiteral("application-octet-stream"), QStringLiteral("text-x-generic"), false };
}

ContentType TypeDatabase::executableType()
{
    return ContentType { QStringLiteral("application/x-executable"), QStringLiteral("Executable"),
        QStringLiteral("application-x-executable"), QStringLiteral("application-x-executable"), false };
}

std::string_view TypeDatabase::nameGlobType(std::string_view) const
{
    return {};
}

std::optional<ContentType> TypeDatabase::typeNamed(std::string_view) const
{
    return std::nullopt;
}

const TypeDatabase& TypeDatabase::system()
{
    static const SystemTypeDatabase instance;
    return instance;
}
