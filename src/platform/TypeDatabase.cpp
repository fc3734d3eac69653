// SPDX-License-Identifier: MIT
#include "platform/TypeDatabase.h"

#include <QFile>
#include <QMimeDatabase>

#include <algorithm>
#include <array>
#include <fnmatch.h>
#include <string>
#include <unordered_set>
#include <vector>

namespace {

// Folder extensions that are bundles wherever they appear. Linux's type database has no
// such notion, so they live here.
struct PackageKind {
    const char* extension;
    const char* description;
    const char* iconName;
};

constexpr std::array kPackages{
    PackageKind{"app", "Application bundle", "application-x-executable"},
    PackageKind{"appex", "Application extension", "application-x-executable"},
    PackageKind{"bundle", "Bundle", "package-x-generic"},
    PackageKind{"framework", "Framework", "package-x-generic"},
    PackageKind{"plugin", "Plug-in", "application-x-addon"},
    PackageKind{"kext", "Kernel extension", "application-x-addon"},
    PackageKind{"prefpane", "Preference pane", "preferences-system"},
    PackageKind{"qlgenerator", "Preview generator", "application-x-addon"},
    PackageKind{"xcodeproj", "Xcode project", "text-x-script"},
    PackageKind{"xcworkspace", "Xcode workspace", "text-x-script"},
    PackageKind{"xcarchive", "Xcode archive", "package-x-generic"},
    PackageKind{"dsym", "Debug symbols bundle", "package-x-generic"},
    PackageKind{"photoslibrary", "Photos library", "image-x-generic"},
    PackageKind{"rtfd", "Rich text document with attachments", "text-rtf"},
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
// anchor that must occur in the name before it is matched).
class NameGlobs {
public:
    NameGlobs()
    {
        const QMimeDatabase db;
        for (const QMimeType& type : db.allMimeTypes()) {
            for (const QString& glob : type.globPatterns()) {
                const std::string p = glob.toLower().toStdString();
                const std::size_t wild = p.find_first_of("*?[");
                if (p.empty() || p.size() > kMaxName)
                    continue;
                if (wild == std::string::npos) {
                    m_literals.insert(p);
                } else if (wild == 0 && p.size() > 1 && p.find_first_of("*?[", 1) == std::string::npos) {
                    if (p[1] == '.')
                        m_dotSuffixes.insert(p.substr(1));
                    else
                        m_otherSuffixes.push_back(p.substr(1));
                } else {
                    m_others.push_back({ p, anchorOf(p) });
                }
            }
        }
    }

    [[nodiscard]] bool mayMatch(std::string_view name) const
    {
        if (name.empty() || name.size() > kMaxName)
            return false;
        char buffer[kMaxName + 1];
        const std::string_view lower = lowered(name, buffer);
        buffer[lower.size()] = '\0';
        if (m_literals.contains(lower))
            return true;
        for (std::size_t dot = lower.find('.'); dot != std::string_view::npos; dot = lower.find('.', dot + 1))
            if (m_dotSuffixes.contains(lower.substr(dot)))
                return true;
        for (const std::string& suffix : m_otherSuffixes)
            if (lower.ends_with(suffix))
                return true;
        for (const auto& [pattern, anchor] : m_others)
            if (lower.find(anchor) != std::string_view::npos && ::fnmatch(pattern.c_str(), buffer, 0) == 0)
                return true;
        return false;
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
    using Set = std::unordered_set<std::string, Hash, std::equal_to<>>;
    struct Other {
        std::string pattern;
        std::string anchor;
    };
    Set m_literals;
    Set m_dotSuffixes;
    std::vector<std::string> m_otherSuffixes;
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
            return ContentType{t.name(), t.comment(), t.iconName(), t.genericIconName(), false};
        }
        // Unknown to the system: a made-up type, like an unregistered dynamic one.
        return ContentType{QStringLiteral("application/x-extension-") + extension, QString(),
                           QStringLiteral("application-octet-stream"), QStringLiteral("unknown"), true};
    }

    [[nodiscard]] bool nameMayMatch(std::string_view name) const override
    {
        static const NameGlobs globs;
        return globs.mayMatch(name);
    }

    [[nodiscard]] std::optional<ContentType> nameType(std::string_view name) const override
    {
        const QMimeDatabase db;
        const QString fileName = QFile::decodeName(QByteArray(name.data(), qsizetype(name.size())));
        for (const QMimeType& t : db.mimeTypesForFileName(fileName))
            if (t.isValid() && !t.isDefault())
                return ContentType { t.name(), t.comment(), t.iconName(), t.genericIconName(), false };
        return std::nullopt;
    }

    [[nodiscard]] std::optional<ContentType> packageType(const QString& extension) const override
    {
        for (const PackageKind& p : kPackages)
            if (extension == QLatin1String(p.extension))
                return ContentType{QStringLiteral("inode/x-bundle-") + extension, QString::fromUtf8(p.description),
                                   QString::fromUtf8(p.iconName), QStringLiteral("package-x-generic"), false};
        return std::nullopt;
    }
};

} // namespace

ContentType TypeDatabase::folderType()
{
    return ContentType{QStringLiteral("inode/directory"), QStringLiteral("Folder"), QStringLiteral("folder"),
                       QStringLiteral("folder"), false};
}

ContentType TypeDatabase::symlinkType()
{
    return ContentType{QStringLiteral("inode/symlink"), QStringLiteral("Symbolic link"),
                       QStringLiteral("inode-symlink"), QStringLiteral("emblem-symbolic-link"), false};
}

ContentType TypeDatabase::genericDataType()
{
    return ContentType{QStringLiteral("application/octet-stream"), QStringLiteral("Document"),
                       QStringLiteral("application-octet-stream"), QStringLiteral("text-x-generic"), false};
}

ContentType TypeDatabase::executableType()
{
    return ContentType { QStringLiteral("application/x-executable"), QStringLiteral("Executable"),
        QStringLiteral("application-x-executable"), QStringLiteral("application-x-executable"), false };
}

bool TypeDatabase::nameMayMatch(std::string_view) const
{
    return false;
}

std::optional<ContentType> TypeDatabase::nameType(std::string_view) const
{
    return std::nullopt;
}

const TypeDatabase& TypeDatabase::system()
{
    static const SystemTypeDatabase instance;
    return instance;
}
