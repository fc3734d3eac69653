// SPDX-License-Identifier: MIT
#include "app/support/ShellFixture.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSettings>
#include <QStandardPaths>

#include <cerrno>

ShellFixture::ShellFixture()
    : mountInfo(std::make_shared<std::string>("22 1 8:1 / / rw - ext4 /dev/sda1 rw\n"
                                              "41 22 8:17 / /media/tester/STICK rw - vfat /dev/sdb1 rw\n"))
{
    for (const char* name : { "a", "b", "c" }) {
        QDir(m_dir.path()).mkpath(QString::fromLatin1(name) + QStringLiteral("/sub"));
        for (int i = 0; i < 3; ++i) {
            QFile file(m_dir.path() + QLatin1Char('/') + QLatin1String(name)
                + QStringLiteral("/sub/file%1.txt").arg(i));
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
    auto table = mountInfo;
    env.volumes.mounts = [table] { return MountTable::parse(*table); };
    env.volumes.facts = [](const std::string& path) -> std::optional<VolumeFacts> {
        VolumeFacts facts;
        facts.volumePath = path;
        facts.total = 100'000'000'000;
        facts.available = 40'000'000'000;
        facts.important = facts.available;
        return facts;
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
