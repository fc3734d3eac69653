// SPDX-License-Identifier: MIT
#include "platform/gui/IconProvider.h"

#include <QHash>
#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>

#include <sys/stat.h>

namespace IconProvider {

namespace {

// Drawn on a 16-point grid; rendered sharp at every size asked for.
const char* const kPage
    = R"(<path d="M3.5 1.5h6l3 3v10h-9z" fill="#fbfbfb" stroke="#8a8f99"/><path d="M9.5 1.5v3h3" fill="#e3e6ea" stroke="#8a8f99"/>)";

QString svg(const char* body)
{
    return QStringLiteral(
        R"(<svg xmlns="http://www.w3.org/2000/svg" width="16" height="16" viewBox="0 0 16 16">%1</svg>)")
        .arg(QLatin1String(body));
}

QString pageWith(const char* mark)
{
    return svg(kPage).replace(QLatin1String("</svg>"), QLatin1String(mark) + QLatin1String("</svg>"));
}

QString drawingFor(const QString& name)
{
    if (name == QLatin1String("folder"))
        return svg(
            R"(<path d="M1.5 3.5h4.5l1.5 1.5h7v8.5h-13z" fill="#5b9bd8" stroke="#3b76b0"/><path d="M1.5 6h13v7.5h-13z" fill="#7cb4e8" stroke="#3b76b0"/>)");
    if (name == QLatin1String("image"))
        return pageWith(
            R"(<rect x="4.5" y="6.5" width="7" height="6" fill="#cfe8ff" stroke="#5a8fc4"/><path d="M5 12l2.3-3 1.6 2 1-1.2 1.6 2.2z" fill="#3f9d4b"/><circle cx="9.8" cy="8.2" r="0.9" fill="#f2b632"/>)");
    if (name == QLatin1String("audio"))
        return pageWith(
            R"(<path d="M7 12.2V6.8l4-1v5.2" fill="none" stroke="#8b4fc4" stroke-width="1.1"/><circle cx="6.2" cy="12.3" r="1.2" fill="#8b4fc4"/><circle cx="10.2" cy="11.2" r="1.2" fill="#8b4fc4"/>)");
    if (name == QLatin1String("video"))
        return pageWith(
            R"(<rect x="4.5" y="6.5" width="7" height="6" rx="1" fill="#d9534f"/><path d="M7 7.9v3.2l2.8-1.6z" fill="#fff"/>)");
    if (name == QLatin1String("text"))
        return pageWith(R"(<path d="M5 7h6M5 9h6M5 11h6M5 13h4" stroke="#9aa0a8" stroke-width="0.9"/>)");
    if (name == QLatin1String("code"))
        return pageWith(
            R"(<path d="M6.6 7.5L4.8 9.7l1.8 2.2M9.4 7.5l1.8 2.2-1.8 2.2" fill="none" stroke="#2e8b57" stroke-width="1.1"/>)");
    if (name == QLatin1String("archive"))
        return pageWith(
            R"(<path d="M7.5 2v1.5h1V5h-1v1.5h1V8h-1" stroke="#8a6d3b" stroke-width="1"/><rect x="6.7" y="8.5" width="2.6" height="2.6" rx="0.5" fill="#c49a4a" stroke="#8a6d3b" stroke-width="0.7"/>)");
    if (name == QLatin1String("package"))
        return svg(
            R"(<path d="M8 1.5l6 3v7l-6 3-6-3v-7z" fill="#e9a84c" stroke="#a86b1c"/><path d="M2 4.5l6 3 6-3M8 7.5v7" fill="none" stroke="#a86b1c"/>)");
    if (name == QLatin1String("executable"))
        return svg(
            R"(<rect x="1.5" y="2.5" width="13" height="11" rx="1.5" fill="#4a5361" stroke="#2c323b"/><path d="M4 6l2.2 2L4 10M7.5 10.5h4" fill="none" stroke="#9fe29f" stroke-width="1.2"/>)");
    if (name == QLatin1String("drive"))
        return svg(
            R"(<rect x="1.5" y="4.5" width="13" height="7" rx="1.5" fill="#c8ccd2" stroke="#6f7680"/><path d="M1.5 9h13" stroke="#6f7680"/><circle cx="12" cy="10.3" r="0.7" fill="#3fbf5f"/>)");
    if (name == QLatin1String("symlink"))
        return pageWith(
            R"(<path d="M5 12.5c0-3 1.5-4.5 4.5-4.5M8 6l2 2-2 2" fill="none" stroke="#4f7fbf" stroke-width="1.2"/>)");
    if (name == QLatin1String("circle.dashed"))
        return svg(
            R"(<circle cx="8" cy="8" r="6" fill="none" stroke="#7d8590" stroke-width="1.4" stroke-dasharray="2.4 1.8"/>)");
    if (name == QLatin1String("questionmark.circle"))
        return svg(
            R"(<circle cx="8" cy="8" r="6.3" fill="none" stroke="#7d8590" stroke-width="1.3"/><path d="M6.1 6.3c0-1.2.9-1.9 1.9-1.9s1.9.7 1.9 1.7c0 1.5-1.9 1.5-1.9 3" fill="none" stroke="#7d8590" stroke-width="1.3"/><circle cx="8" cy="11.4" r="0.8" fill="#7d8590"/>)");
    if (name == QLatin1String("exclamationmark.triangle.fill"))
        return svg(
            R"(<path d="M8 1.8l6.6 11.7H1.4z" fill="#f0a030" stroke="#c77a12" stroke-linejoin="round"/><path d="M8 5.6v4.2" stroke="#fff" stroke-width="1.6"/><circle cx="8" cy="11.6" r="0.9" fill="#fff"/>)");
    return pageWith("");
}

// The drawing that stands for a freedesktop icon name.
QString drawingNameFor(const QString& icon)
{
    static const std::pair<const char*, const char*> kByPrefix[] = {
        { "folder", "folder" },
        { "inode-directory", "folder" },
        { "drive", "drive" },
        { "image", "image" },
        { "audio", "audio" },
        { "video", "video" },
        { "text-x-script", "code" },
        { "text-x-c", "code" },
        { "text-x-python", "code" },
        { "text-x-java", "code" },
        { "text-html", "code" },
        { "application-x-shellscript", "code" },
        { "application-javascript", "code" },
        { "text", "text" },
        { "package", "archive" },
        { "application-x-archive", "archive" },
        { "application-zip", "archive" },
        { "application-x-compressed", "archive" },
        { "application-gzip", "archive" },
        { "application-x-executable", "executable" },
        { "application-x-sharedlib", "executable" },
        { "inode-symlink", "symlink" },
        { "emblem-symbolic-link", "symlink" },
        { "x-office", "text" },
    };
    for (const auto& [prefix, drawing] : kByPrefix)
        if (icon.startsWith(QLatin1String(prefix)))
            return QLatin1String(drawing);
    return QStringLiteral("document");
}

QIcon render(const QString& drawing)
{
    static QHash<QString, QIcon> cache;
    const auto found = cache.constFind(drawing);
    if (found != cache.constEnd())
        return *found;
    QSvgRenderer renderer(drawingFor(drawing).toUtf8());
    QIcon icon;
    for (int side : { 16, 24, 32, 48, 64 }) {
        QPixmap pixmap(side, side);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        renderer.render(&painter);
        painter.end();
        icon.addPixmap(pixmap);
    }
    cache.insert(drawing, icon);
    return icon;
}

QIcon themed(const QString& name)
{
    return name.isEmpty() ? QIcon() : QIcon::fromTheme(name);
}

} // namespace

QIcon shipped(const QString& name)
{
    return render(drawingNameFor(name));
}

QIcon forType(const ContentType& type)
{
    for (const QString& name : { type.iconName, type.genericIconName }) {
        const QIcon icon = themed(name);
        if (!icon.isNull())
            return icon;
    }
    return shipped(type.genericIconName.isEmpty() ? type.iconName : type.genericIconName);
}

QIcon forItem(const std::string& path, bool directory, const ContentType* packageType)
{
    if (packageType)
        return forType(*packageType);
    if (!directory)
        return shipped(QStringLiteral("text-x-generic"));
    // A mount point (its device differs from its parent's, or it is "/") shows a drive.
    struct stat self { };
    struct stat up { };
    const std::string parent = path == "/" ? path : path + "/..";
    const bool mountPoint = path == "/"
        || (::stat(path.c_str(), &self) == 0 && ::stat(parent.c_str(), &up) == 0 && self.st_dev != up.st_dev);
    const QString name = mountPoint ? QStringLiteral("drive-harddisk") : QStringLiteral("folder");
    const QIcon icon = themed(name);
    return icon.isNull() ? shipped(name) : icon;
}

QIcon symbol(const QString& name)
{
    if (name != QLatin1String("circle.dashed") && name != QLatin1String("questionmark.circle")
        && name != QLatin1String("exclamationmark.triangle.fill"))
        return {};
    return render(name);
}

} // namespace IconProvider
