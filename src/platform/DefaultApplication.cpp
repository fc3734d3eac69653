// SPDX-License-Identifier: MIT
#include "platform/DefaultApplication.h"

#include <QFile>
#include <QStandardPaths>
#include <QStringList>

namespace {

// The first installed entry listed for `mimeType` in the [Default Applications] group
// of `path`.
QString defaultIn(const QString& path, const QString& mimeType)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    bool inDefaults = false;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine(64 * 1024)).trimmed();
        if (line.startsWith(QLatin1Char('['))) {
            inDefaults = line == QLatin1String("[Default Applications]");
            continue;
        }
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (!inDefaults || equals < 0 || line.left(equals).trimmed() != mimeType)
            continue;
        for (QString id : line.mid(equals + 1).split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
            id = id.trimmed();
            if (!id.isEmpty() && !QStandardPaths::locate(QStandardPaths::ApplicationsLocation, id).isEmpty())
                return id;
        }
    }
    return {};
}

} // namespace

QString DefaultApplication::forType(const QString& mimeType)
{
    QStringList desktops;
    for (const QString& d :
        qEnvironmentVariable("XDG_CURRENT_DESKTOP").split(QLatin1Char(':'), Qt::SkipEmptyParts))
        desktops << d.toLower();
    QStringList folders = QStandardPaths::standardLocations(QStandardPaths::GenericConfigLocation);
    folders += QStandardPaths::standardLocations(QStandardPaths::ApplicationsLocation);
    for (const QString& folder : folders) {
        QStringList names;
        for (const QString& desktop : desktops)
            names << desktop + QStringLiteral("-mimeapps.list");
        names << QStringLiteral("mimeapps.list");
        for (const QString& name : names)
            if (const QString id = defaultIn(folder + QLatin1Char('/') + name, mimeType); !id.isEmpty())
                return id;
    }
    return {};
}
