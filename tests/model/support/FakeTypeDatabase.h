// SPDX-License-Identifier: MIT
#pragma once

#include "platform/TypeDatabase.h"

#include <QHash>

#include <atomic>

// A type database with a hand-written table that counts how often it is asked, so that
// tests can tell a cache hit from a fresh look-up.
class FakeTypeDatabase final : public TypeDatabase {
public:
    QHash<QString, ContentType> data;
    QHash<QString, ContentType> packages;
    mutable std::atomic<int> dataQueries { 0 };
    mutable std::atomic<int> packageQueries { 0 };

    [[nodiscard]] std::optional<ContentType> dataType(const QString& extension) const override
    {
        ++dataQueries;
        if (const auto it = data.constFind(extension); it != data.constEnd())
            return *it;
        return ContentType { QStringLiteral("application/x-extension-") + extension, {}, {}, {}, true };
    }
    [[nodiscard]] std::optional<ContentType> packageType(const QString& extension) const override
    {
        ++packageQueries;
        if (const auto it = packages.constFind(extension); it != packages.constEnd())
            return *it;
        return std::nullopt;
    }

    static ContentType type(const char* name, const char* description, bool dynamic = false)
    {
        return ContentType { QString::fromUtf8(name), QString::fromUtf8(description), {}, {}, dynamic };
    }
};
