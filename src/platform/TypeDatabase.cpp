// SPDX-License-Identifier: MIT
#include "platform/TypeDatabase.h"

#include <QMimeDatabase>

#include <array>

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

const TypeDatabase& TypeDatabase::system()
{
    static const SystemTypeDatabase instance;
    return instance;
}
