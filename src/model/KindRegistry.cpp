// SPDX-License-Identifier: MIT
#include "model/KindRegistry.h"

#include <QList>

#include <cstring>

namespace {

bool isAsciiLetter(unsigned char c)
{
    return (c | 0x20) >= 'a' && (c | 0x20) <= 'z';
}
bool isAsciiDigit(unsigned char c)
{
    return c >= '0' && c <= '9';
}

bool isMark(char32_t c)
{
    switch (QChar::category(c)) {
    case QChar::Mark_NonSpacing:
    case QChar::Mark_SpacingCombining:
    case QChar::Mark_Enclosing:
        return true;
    default:
        return false;
    }
}

// The rules for names with non-ASCII bytes. A combining mark belongs to the character
// before it, so "é" counts as one letter whether the name is composed or not.
std::size_t unicodeExtension(std::string_view candidate, char* out)
{
    const QString decoded = QString::fromUtf8(candidate.data(), qsizetype(candidate.size()))
                                .normalized(QString::NormalizationForm_C);
    const QList<uint> points = decoded.toUcs4(); // NOLINT
    int characters = 0;
    bool letter = false;
    for (qsizetype i = 0; i < points.size(); ++i) {
        const char32_t c = points[i];
        if (i > 0 && isMark(c))
            continue;
        if (++characters > 12)
            return 0;
        if (QChar::isLetter(c))
            letter = true;
        else if (!QChar::isNumber(c) && c != U'-' && c != U'_')
            return 0; // includes U+FFFD, which stands in for bytes that are not UTF-8
    }
    if (characters == 0 || !letter)
        return 0;
    const QByteArray lower = decoded.toLower().toUtf8();
    if (lower.size() > qsizetype(KindRegistry::kMaxExtensionBytes))
        return 0;
    std::memcpy(out, lower.constData(), std::size_t(lower.size()));
    return std::size_t(lower.size());
}

QString capitalized(const QString& name)
{
    if (name.isEmpty())
        return name;
    const qsizetype head = name.at(0).isHighSurrogate() && name.size() > 1 ? 2 : 1;
    return name.left(head).toUpper() + name.mid(head);
}

} // namespace

KindRegistry::KindRegistry(const TypeDatabase& types)
    : m_types(types)
{
    const std::pair<const char*, std::optional<ContentType>> fixed[] = {
        { "Free Space", std::nullopt },
        { "Other Space", std::nullopt },
        { "Folder", TypeDatabase::folderType() },
        { "Symbolic Link", TypeDatabase::symlinkType() },
        { "Document (no extension)", TypeDatabase::genericDataType() },
    };
    for (const auto& [name, type] : fixed) {
        m_byName.emplace(QString::fromLatin1(name), std::int32_t(m_names.size()));
        m_names.push_back(QString::fromLatin1(name));
        m_typesById.push_back(type);
    }
}

std::size_t KindRegistry::extensionBytes(std::string_view name, char* out)
{
    const std::size_t dot = name.rfind('.');
    if (dot == std::string_view::npos || dot == 0)
        return 0;
    const std::string_view candidate = name.substr(dot + 1);
    if (candidate.empty() || candidate.size() > kMaxExtensionBytes)
        return 0;
    bool letter = false;
    for (std::size_t i = 0; i < candidate.size(); ++i) {
        const auto c = static_cast<unsigned char>(candidate[i]);
        if (c >= 0x80)
            return unicodeExtension(candidate, out);
        if (isAsciiLetter(c)) {
            letter = true;
            out[i] = char(c | 0x20);
        } else if (isAsciiDigit(c) || c == '-' || c == '_') {
            out[i] = char(c);
        } else {
            return 0;
        }
    }
    if (candidate.size() > 12 || !letter)
        return 0;
    return candidate.size();
}

std::optional<QString> KindRegistry::pathExtension(std::string_view name)
{
    char buffer[kMaxExtensionBytes];
    const std::size_t n = extensionBytes(name, buffer);
    if (n == 0)
        return std::nullopt;
    return QString::fromUtf8(buffer, qsizetype(n));
}

std::int32_t KindRegistry::kindForFile(std::string_view name, bool executable)
{
    char buffer[kMaxExtensionBytes];
    const std::size_t n = extensionBytes(name, buffer);
    if (n == 0)
        return kindWithoutExtension(name, executable);
    return kindForExtension(std::string_view(buffer, n));
}

std::int32_t KindRegistry::FileKinds::kindFor(std::string_view name, bool executable)
{
    char buffer[kMaxExtensionBytes];
    const std::size_t n = extensionBytes(name, buffer);
    if (n == 0)
        return m_registry.kindForFile(name, executable);
    std::uint32_t hash = 2166136261u; // FNV-1a
    for (std::size_t i = 0; i < n; ++i)
        hash = (hash ^ static_cast<unsigned char>(buffer[i])) * 16777619u;
    Entry& entry = m_entries[hash % m_entries.size()];
    if (entry.kind >= 0 && entry.length == n && std::memcmp(entry.bytes, buffer, n) == 0)
        return entry.kind;
    entry.kind = m_registry.kindForExtension(std::string_view(buffer, n));
    entry.length = static_cast<std::uint8_t>(n);
    std::memcpy(entry.bytes, buffer, n);
    return entry.kind;
}

std::int32_t KindRegistry::kindForExtension(std::string_view extension)
{
    std::lock_guard lock(m_lock);
    if (const auto it = m_fileCache.find(extension); it != m_fileCache.end())
        return it->second;
    const QString e = QString::fromUtf8(extension.data(), qsizetype(extension.size()));
    std::optional<ContentType> type = m_types.dataType(e);
    if (type && type->isDynamic)
        type.reset();
    const QString kindName
        = type && !type->description.isEmpty() ? type->description : e.toUpper() + QStringLiteral(" File");
    const std::int32_t id = registerKind(kindName, std::move(type));
    m_fileCache.emplace(extension, id);
    return id;
}

std::int32_t KindRegistry::kindWithoutExtension(std::string_view name, bool executable)
{
    // Most such names match no pattern, and take no lock.
    if (const std::string_view typeName = m_types.nameGlobType(name); !typeName.empty()) {
        std::lock_guard lock(m_lock);
        auto it = m_globCache.find(typeName);
        if (it == m_globCache.end()) {
            std::int32_t id = -1;
            if (std::optional<ContentType> type = m_types.typeNamed(typeName); type && !type->isDynamic) {
                const QString kindName = type->description.isEmpty() ? type->name : type->description;
                id = registerKind(kindName, std::move(type));
            }
            it = m_globCache.emplace(std::string(typeName), id).first;
        }
        if (it->second >= 0)
            return it->second;
    }
    if (!executable)
        return kNoExtension;
    if (const std::int32_t id = m_executableKind.load(std::memory_order_acquire); id >= 0)
        return id;
    std::lock_guard lock(m_lock);
    const ContentType type = TypeDatabase::executableType();
    const std::int32_t id = registerKind(type.description, type);
    m_executableKind.store(id, std::memory_order_release);
    return id;
}

std::optional<std::int32_t> KindRegistry::packageForDirectory(std::string_view name)
{
    char buffer[kMaxExtensionBytes];
    const std::size_t n = extensionBytes(name, buffer);
    if (n == 0)
        return std::nullopt;
    const std::string_view extension(buffer, n);

    std::lock_guard lock(m_lock);
    std::int32_t id = -1;
    if (const auto it = m_packageCache.find(extension); it != m_packageCache.end()) {
        id = it->second;
    } else {
        const QString e = QString::fromUtf8(buffer, qsizetype(n));
        std::optional<ContentType> type = m_types.packageType(e);
        if (type && !type->isDynamic) {
            const QString kindName
                = !type->description.isEmpty() ? type->description : e.toUpper() + QStringLiteral(" Package");
            id = registerKind(kindName, std::move(type));
        }
        m_packageCache.emplace(extension, id);
    }
    if (id < 0)
        return std::nullopt;
    return id;
}

QString KindRegistry::name(std::int32_t kind) const
{
    std::lock_guard lock(m_lock);
    if (kind < 0 || std::size_t(kind) >= m_names.size())
        return QStringLiteral("Unknown");
    return m_names[std::size_t(kind)];
}

std::optional<ContentType> KindRegistry::type(std::int32_t kind) const
{
    std::lock_guard lock(m_lock);
    if (kind < 0 || std::size_t(kind) >= m_typesById.size())
        return std::nullopt;
    return m_typesById[std::size_t(kind)];
}

std::int32_t KindRegistry::count() const
{
    std::lock_guard lock(m_lock);
    return std::int32_t(m_names.size());
}

std::int32_t KindRegistry::registerKind(const QString& name, std::optional<ContentType> type)
{
    const QString display = capitalized(name);
    if (const auto it = m_byName.find(display); it != m_byName.end())
        return it->second;
    const auto id = std::int32_t(m_names.size());
    m_names.push_back(display);
    m_typesById.push_back(std::move(type));
    m_byName.emplace(display, id);
    return id;
}
