// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

#include <optional>
#include <string_view>

// A system content type: what kinds are grouped by, and where their icons come from.
struct ContentType {
    QString name; // e.g. "image/jpeg", or "inode/directory"
    QString description; // localised; may be empty
    QString iconName; // freedesktop icon name
    QString genericIconName; // freedesktop generic icon name
    bool isDynamic = false; // made up for an extension the system does not know
    friend bool operator==(const ContentType&, const ContentType&) = default;
};

// The type database seam: shared-mime-info through QMimeDatabase for data, a built-in
// table of bundle folder extensions for packages. Replaceable in tests.
class TypeDatabase {
public:
    virtual ~TypeDatabase() = default;
    // The type of a lower-case extension conforming to "data" (files) or to "package"
    // (folders shown as one item); absent when there is none.
    [[nodiscard]] virtual std::optional<ContentType> dataType(const QString& extension) const = 0;
    [[nodiscard]] virtual std::optional<ContentType> packageType(const QString& extension) const = 0;

    // Names without a usable extension (libc.so.6, Makefile) are matched whole against
    // the glob patterns: the name of the matching type, empty when none matches (most
    // names; the answer is quick and allocates nothing). `name` is the file system's bytes.
    [[nodiscard]] virtual std::string_view nameGlobType(std::string_view name) const;
    // The type of that name; absent when the database has none.
    [[nodiscard]] virtual std::optional<ContentType> typeNamed(std::string_view typeName) const;

    // Fixed types for folders, symbolic links and plain data.
    [[nodiscard]] static ContentType folderType();
    [[nodiscard]] static ContentType symlinkType();
    [[nodiscard]] static ContentType genericDataType();
    [[nodiscard]] static ContentType executableType();

    // The system's database; lives for the whole process.
    [[nodiscard]] static const TypeDatabase& system();
};
