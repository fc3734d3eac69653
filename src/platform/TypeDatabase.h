// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

#include <optional>
#include <string_view>

// A system content type: what kinds are grouped by, and where their icons come from.
struct ContentType {
    QString name;            // e.g. "image/jpeg", or "inode/directory"
    QString description;     // localised; may be empty
    QString iconName;        // freedesktop icon name
    QString genericIconName; // freedesktop generic icon name
    bool isDynamic = false;  // made up for an extension the system does not know
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
    // the glob patterns. nameMayMatch() is a quick test that allocates nothing and is
    // false for most names; nameType() gives the type of a name it let through, absent
    // when no pattern matches. `name` is the file system's bytes.
    [[nodiscard]] virtual bool nameMayMatch(std::string_view name) const;
    [[nodiscard]] virtual std::optional<ContentType> nameType(std::string_view name) const;

    // Fixed types for folders, symbolic links and plain data.
    [[nodiscard]] static ContentType folderType();
    [[nodiscard]] static ContentType symlinkType();
    [[nodiscard]] static ContentType genericDataType();
    [[nodiscard]] static ContentType executableType();

    // The system's database; lives for the whole process.
    [[nodiscard]] static const TypeDatabase& system();
};
