// SPDX-License-Identifier: MIT
#include "model/ScanPreferences.h"

#include "scan/ExcludePatterns.h"

#include <QCoreApplication>
#include <QSettings>

namespace {

constexpr char kExcludesKey[] = "scan/excludePatterns";
constexpr char kCrossKey[] = "scan/crossFileSystems";

} // namespace

ScanPreferences ScanPreferences::load()
{
    const QSettings settings;
    ScanPreferences preferences;
    preferences.excludes = settings.value(QLatin1String(kExcludesKey)).toStringList();
    preferences.crossFileSystems = settings.value(QLatin1String(kCrossKey), false).toBool();
    return preferences;
}

void ScanPreferences::save() const
{
    QSettings settings;
    settings.setValue(QLatin1String(kExcludesKey), excludes);
    settings.setValue(QLatin1String(kCrossKey), crossFileSystems);
}

std::shared_ptr<const ExcludePatterns> ScanPreferences::compile(
    QString& problem, const std::vector<std::string>& after) const
{
    auto patterns = std::make_shared<ExcludePatterns>();
    for (const QString& line : excludes) {
        if (line.trimmed().isEmpty())
            continue;
        std::string error;
        if (!patterns->add(line.toStdString(), error)) {
            problem = QCoreApplication::translate("ScanPreferences", "“%1”: %2")
                          .arg(line, QString::fromStdString(error));
            return nullptr;
        }
    }
    for (const std::string& line : after) {
        std::string error;
        if (!patterns->add(line, error)) {
            problem = QString::fromLocal8Bit(error);
            return nullptr;
        }
    }
    return patterns;
}
