// SPDX-License-Identifier: MIT
#include "app/support/ShellFixture.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSettings>
#include <QStandardPaths>

#include <cerrno>

ShellFixture::ShellFixture()
{
    for (const char* name : { "a", "b", "c" }) {
        QDir(m_dir.path()).mkpath(QLatin1String(name));
        for (int i = 0; i < 3; ++i) {
            QFile file(QString::fromStdString(folder(name)) + QStringLiteral("/file%1.txt").arg(i));
            if (file.open(QIODevice::WriteOnly))
                file.write(QByteArray(1000 * (i + 1), 'x'));
        }
    }
}

std::string ShellFixture::folder(const char* name) const
{
    return QFile::encodeName(m_dir.path() + QLatin1Char('/') + QLatin1String(name)).toStdString();
}

AppDelegate::Environment ShellFixture::environment()
{
    AppDelegate::Environment env;
    env.volumes.mounts = [] {
        return MountTable::parse("22 1 8:1 / / rw - ext4 /dev/sda1 rw\n"
                                 "41 22 8:17 / /media/tester/STICK rw - vfat /dev/sdb1 rw\n");
    };
    env.volumes.facts = [](const std::string& path) {
        return std::optional<VolumeFacts>(
            VolumeFacts { path, 100'000'000'000, 40'000'000'000, 40'000'000'000 });
    };
    env.volumes.home = "/home/tester";
    env.volumes.user = "tester";
    env.volumes.probeOpener = [](const char*) { return ENOENT; };
    env.volumes.watchMounts = false;
    // Documents of fixture folders are not whole volumes.
    env.documentFacts = [](const std::string&) { return std::optional<VolumeFacts>(); };
    env.chooseFolders = [] { return std::optional<std::vector<std::string>>(); };
    env.openUrl = [](const QUrl&) {};
    auto count = terminations;
    env.terminate = [count] { ++*count; };
    return env;
}

void ShellFixture::isolateSettings(const char* program)
{
    QStandardPaths::setTestModeEnabled(true);
    QCoreApplication::setOrganizationName(QStringLiteral("TallyfernTest"));
    QCoreApplication::setApplicationName(QString::fromLatin1(program));
    QSettings().clear();
}
