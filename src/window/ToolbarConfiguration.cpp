// SPDX-License-Identifier: MIT
#include "window/ToolbarConfiguration.h"

#include <QCoreApplication>

#include <QSettings>

namespace {

const QString kItemsKey = QStringLiteral("items");

} // namespace

const QString ToolbarConfiguration::kIdentifier = QStringLiteral("TallyfernDocument");
const QString ToolbarConfiguration::kFlexibleSpace = QStringLiteral("flexibleSpace");
const QString ToolbarConfiguration::kSpace = QStringLiteral("space");

QStringList ToolbarConfiguration::commandItems()
{
    QStringList identifiers;
    for (const CommandInfo& info : CommandTable::all())
        if (info.identifier)
            identifiers << QLatin1String(info.identifier);
    return identifiers;
}

const CommandInfo* ToolbarConfiguration::item(const QString& identifier)
{
    return CommandTable::find(identifier);
}

QStringList ToolbarConfiguration::defaultItems()
{
    return { QStringLiteral("zoomOut"), QStringLiteral("zoomIn"), QStringLiteral("zoomTop"), kFlexibleSpace,
        QStringLiteral("reveal"), QStringLiteral("quickLook"), QStringLiteral("rescan"),
        QStringLiteral("trash") };
}

QStringList ToolbarConfiguration::allowedItems()
{
    return defaultItems() << kSpace;
}

QStringList ToolbarConfiguration::sanitized(const QStringList& identifiers)
{
    QStringList result;
    for (const QString& identifier : identifiers) {
        const bool space = identifier == kFlexibleSpace || identifier == kSpace;
        if (space || (item(identifier) && !result.contains(identifier)))
            result << identifier;
    }
    return result;
}

QStringList ToolbarConfiguration::load()
{
    QSettings settings;
    settings.beginGroup(kIdentifier);
    if (!settings.contains(kItemsKey))
        return defaultItems();
    return sanitized(settings.value(kItemsKey).toStringList());
}

void ToolbarConfiguration::save(const QStringList& identifiers)
{
    QSettings settings;
    settings.beginGroup(kIdentifier);
    // An empty list is a choice too; QSettings would store it as "no value".
    settings.setValue(
        kItemsKey, identifiers.isEmpty() ? QVariant(QStringList()) : QVariant(sanitized(identifiers)));
}

void ToolbarConfiguration::forget()
{
    QSettings settings;
    settings.remove(kIdentifier);
}

QString ToolbarConfiguration::label(const QString& identifier)
{
    if (identifier == kFlexibleSpace)
        return QCoreApplication::translate("ToolbarConfiguration", "Flexible Space");
    if (identifier == kSpace)
        return QCoreApplication::translate("ToolbarConfiguration", "Space");
    const CommandInfo* found = item(identifier);
    return found ? found->displayIconText() : QString();
}

QIcon ToolbarConfiguration::icon(const QString& identifier)
{
    const CommandInfo* found = item(identifier);
    return found ? found->icon() : QIcon();
}
