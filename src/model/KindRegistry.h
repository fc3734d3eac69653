// SPDX-License-Identifier: MIT
#pragma once

#include "platform/TypeDatabase.h"

#include <QHash>
#include <QString>

#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// Hands out the kind identifiers of one document: five fixed kinds, then one per
// distinct type description, in order of first use.
//
// Threads: every operation takes `m_lock`; classification runs on a background thread
// while the main thread reads names and types.
class KindRegistry {
public:
    static constexpr std::int32_t kFreeSpace = 0;
    static constexpr std::int32_t kOtherSpace = 1;
    static constexpr std::int32_t kFolder = 2;
    static constexpr std::int32_t kSymlink = 3;
    static constexpr std::int32_t kNoExtension = 4;

    explicit KindRegistry(const TypeDatabase& types = TypeDatabase::system());

    // Kind of a non-folder item by its name (bytes as the file system gave them). A name
    // without a usable extension is matched whole against the type database's patterns;
    // failing that, an executable file is of the executable kind.
    [[nodiscard]] std::int32_t kindForFile(std::string_view name, bool executable = false);
    // Package kind of a folder, or absent for a plain folder.
    [[nodiscard]] std::optional<std::int32_t> packageForDirectory(std::string_view name);

    // "Unknown" outside the table.
    [[nodiscard]] QString name(std::int32_t kind) const;
    [[nodiscard]] std::optional<ContentType> type(std::int32_t kind) const;
    [[nodiscard]] std::int32_t count() const;

    // The usable extension of a name, lower case: 1 to 12 letters, digits, "-" or "_"
    // after the last dot (not a leading one), at least one of them a letter.
    [[nodiscard]] static std::optional<QString> pathExtension(std::string_view name);

    // Writes the usable extension of `name` (lower case, UTF-8) to `out`, which must hold
    // kMaxExtensionBytes, and returns its length; 0 when there is none. Plain ASCII
    // names take a fast path that allocates nothing.
    static constexpr std::size_t kMaxExtensionBytes = 12 * 4;
    [[nodiscard]] static std::size_t extensionBytes(std::string_view name, char* out);

    // kindForFile() for one walk over many files: the kinds of the extensions it met are
    // kept here, so that most files cost neither the registry's lock nor a string hash.
    // Kinds are still registered by the registry, in the order the files come. One per
    // thread.
    class FileKinds {
    public:
        explicit FileKinds(KindRegistry& registry)
            : m_registry(registry)
        {
        }
        [[nodiscard]] std::int32_t kindFor(std::string_view name, bool executable);

    private:
        struct Entry {
            std::int32_t kind = -1; // -1: empty
            std::uint8_t length = 0;
            char bytes[kMaxExtensionBytes];
        };
        KindRegistry& m_registry;
        std::array<Entry, 256> m_entries {};
    };

private:
    std::int32_t kindForExtension(std::string_view extension);
    std::int32_t registerKind(const QString& name, std::optional<ContentType> type); // lock held
    std::int32_t kindWithoutExtension(std::string_view name, bool executable);

    // Extension caches keyed by the UTF-8 bytes, looked up without making a string.
    struct BytesHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view s) const noexcept
        {
            return std::hash<std::string_view> {}(s);
        }
    };
    struct QStringHash {
        std::size_t operator()(const QString& s) const noexcept { return qHash(s); }
    };
    using ExtensionMap = std::unordered_map<std::string, std::int32_t, BytesHash, std::equal_to<>>;

    const TypeDatabase& m_types;
    mutable std::mutex m_lock;
    std::vector<QString> m_names;
    std::vector<std::optional<ContentType>> m_typesById;
    std::unordered_map<QString, std::int32_t, QStringHash> m_byName;
    ExtensionMap m_fileCache;
    ExtensionMap m_packageCache; // -1: not a package
    ExtensionMap m_globCache; // type name of a whole-name pattern → kind; -1: no such type
    std::atomic<std::int32_t> m_executableKind { -1 }; // registered on first use
};
