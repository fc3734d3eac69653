// SPDX-License-Identifier: MIT
#include "platform/DisplayName.h"

#include "platform/MountTable.h"

#include <QDir>
#include <QStorageInfo>
#include <QSysInfo>

namespace DisplayName {

QString decode(std::string_view bytes)
{
    return QString::fromUtf8(bytes.data(), qsizetype(bytes.size()));
}

QString of(const std::string& path)
{
    const std::string standard = MountTable::standardize(path);
    if (standard == "/") {
        const QString system = QSysInfo::prettyProductName();
        return system.isEmpty() || system.startsWith(QLatin1String("Unknown")) ? QStringLiteral("Computer")
                                                                               : system;
    }
    const QString decoded = decode(standard);
    if (QDir::cleanPath(QDir::homePath()) == decoded)
        return QStringLiteral("Home");

    const std::size_t slash = standard.rfind('/');
    const QString last = decode(slash == std::string::npos ? standard : standard.substr(slash + 1));

    const std::vector<MountEntry> mounts = MountTable::current();
    const MountEntry* mount = MountTable::holding(mounts, standard);
    if (mount && mount->mountPoint == standard) {
        // The label comes from the /dev/disk/by-label links, which QStorageInfo reads.
        const QString label = QStorageInfo(decoded).name();
        if (!label.isEmpty())
            return label;
    }
    return last;
}

} // namespace DisplayName
