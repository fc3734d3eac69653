// SPDX-License-Identifier: MIT
#include "window/ToolbarConfiguration.h"

#include "window/CommandIcons.h"

#include <QSettings>

namespace {

const QString kItemsKey = QStringLiteral("items");

} // namespace

const QString ToolbarConfiguration::kIdentifier = QStringLiteral("TallyfernDocument");
const QString ToolbarConfiguration::kFlexibleSpace = QStringLiteral("flexibleSpace");
const QString ToolbarConfiguration::kSpace = QStringLiteral("space");

const std::vector<ToolbarConfiguration::Item>& ToolbarConfiguration::items()
{
    static const std::vector<Item> table = {
        { QStringLiteral("zoomIn"), Command::ZoomIn, QStringLiteral("Zoom In") },
        { QStringLiteral("zoomOut"), Command::ZoomOut, QStringLiteral("Zoom Out") },
        { QStringLiteral("zoomTop"), Command::ZoomToTop, QStringLiteral("Zoom to Top") },
        { QStringLiteral("reveal"), Command::RevealInFileManager, QStringLiteral("Reveal in File Manager") },
        { QStringLiteral("quickLook"), Command::QuickLook, QStringLiteral("Quick Look") },
        { QStringLiteral("trash"), Command::MoveToTrash, QStringLiteral("Move to Trash") },
        { QStringLiteral("rescan"), Command::Rescan, QStringLiteral("Rescan") },
    };
    return table;
}

const ToolbarConfiguration::Item* ToolbarConfiguration::item(const QString& identifier)
{
    for (const Item& candidate : items())
        if (candidate.identifier == identifier)
            return &candidate;
    return nullptr;
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
        return QStringLiteral("Flexible Space");
    if (identifier == kSpace)
        return QStringLiteral("Space");
    const Item* found = item(identifier);
    return found ? found->label : QString();
}

QIcon ToolbarConfiguration::icon(const QString& identifier)
{
    const Item* found = item(identifier);
    return found ? CommandIcons::forCommand(found->command) : QIcon();
}
