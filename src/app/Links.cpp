// SPDX-License-Identifier: MIT
#include "app/Links.h"

#include "platform/gui/FullDiskAccessProbe.h"

#include <QSysInfo>

#ifndef TALLYFERN_VERSION
#define TALLYFERN_VERSION ""
#endif
#ifndef TALLYFERN_BUILD_NUMBER
#define TALLYFERN_BUILD_NUMBER ""
#endif

namespace Links {

const QUrl& website()
{
    static const QUrl url(QStringLiteral("https://tallyfern.org"));
    return url;
}

const QUrl& support()
{
    static const QUrl url(QStringLiteral("https://tallyfern.org/support"));
    return url;
}

const QUrl& privacy()
{
    static const QUrl url(QStringLiteral("https://tallyfern.org/privacy"));
    return url;
}

const QUrl& releases()
{
    static const QUrl url(QStringLiteral("https://tallyfern.org/releases"));
    return url;
}

const QUrl& fullDiskAccessSettings()
{
    static const QUrl url = FullDiskAccessProbe::settingsUrl();
    return url;
}

QString supportAddress()
{
    return QStringLiteral("support@tallyfern.org");
}

QString versionString(const char* shortVersion, const char* build)
{
    const auto part = [](const char* value, const char* fallback) {
        return QString::fromUtf8(value && *value ? value : fallback);
    };
    return part(shortVersion, "dev") + QStringLiteral(" (") + part(build, "0") + QLatin1Char(')');
}

QString appVersion()
{
    return versionString(TALLYFERN_VERSION, TALLYFERN_BUILD_NUMBER);
}

QString feedbackBody(const QString& version)
{
    return QStringLiteral("\n\n\n\u2014\nTallyfern ") + version + QLatin1Char('\n')
        + QSysInfo::prettyProductName() + QLatin1Char(' ') + QSysInfo::kernelType() + QLatin1Char(' ')
        + QSysInfo::kernelVersion() + QStringLiteral(" \u00B7 ") + QSysInfo::currentCpuArchitecture();
}

QUrl feedbackEmail()
{
    // Every reserved character is encoded by hand: a system name holding '&', '+' or
    // '=' must not split the query.
    QByteArray encoded = "mailto:" + supportAddress().toUtf8();
    encoded += "?subject=" + QUrl::toPercentEncoding(QStringLiteral("Tallyfern feedback"));
    encoded += "&body=" + QUrl::toPercentEncoding(feedbackBody(appVersion()));
    return QUrl::fromEncoded(encoded, QUrl::StrictMode);
}

} // namespace Links
