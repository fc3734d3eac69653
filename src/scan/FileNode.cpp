// SPDX-License-Identifier: MIT
#include "scan/FileNode.h"

#include <QString>

#include <algorithm>
#include <cstring>

const std::size_t FileNode::kNameOffset = offsetof(FileNode, m_nameHead);
const std::size_t FileNode::kLinksSize = sizeof(FileNode::Links);

std::ptrdiff_t FileNode::indexOfChild(const FileNode* node) const
{
    const std::span<FileNode* const> list = children();
    for (std::size_t i = 0; i < list.size(); ++i)
        if (list[i] == node)
            return std::ptrdiff_t(i);
    return -1;
}

void FileNode::setChildren(FileNode** array, std::size_t count)
{
    if (!m_hasLinks)
        return;
    links()->array = count ? array : nullptr;
    links()->count = static_cast<std::uint32_t>(count);
}

void FileNode::removeChildAt(std::size_t index)
{
    if (index >= childCount())
        return;
    Links* l = links();
    std::memmove(l->array + index, l->array + index + 1, (l->count - index - 1) * sizeof(FileNode*));
    --l->count;
}

std::string FileNode::path() const
{
    if (!parent)
        return std::string(name());
    std::vector<const FileNode*> chain;
    const FileNode* top = this;
    std::size_t length = 0;
    while (top->parent) {
        chain.push_back(top);
        length += top->m_nameLength + 1;
        top = top->parent;
    }
    std::string result;
    result.reserve(top->m_nameLength + length + 1);
    result.append(top->name());
    if (result.empty() || result.back() != '/')
        result.push_back('/');
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        if (it != chain.rbegin())
            result.push_back('/');
        result.append((*it)->name());
    }
    return result;
}

std::vector<FileNode*> FileNode::ancestors() const
{
    std::vector<FileNode*> result;
    for (FileNode* p = parent; p; p = p->parent)
        result.push_back(p);
    std::reverse(result.begin(), result.end());
    return result;
}

bool FileNode::hasAncestor(const FileNode* ancestor) const
{
    for (const FileNode* p = parent; p; p = p->parent)
        if (p == ancestor)
            return true;
    return false;
}

std::size_t FileNode::depth() const
{
    std::size_t d = 0;
    for (const FileNode* p = parent; p; p = p->parent)
        ++d;
    return d;
}

namespace {

// Valid UTF-8 of code points below U+0300 only. Every such code point is its own NFC
// form and combines with nothing (the combining marks start at U+0300), so these
// names compare by their bytes as they are: ASCII, and Latin-1 and Latin Extended
// letters with their accents precomposed.
bool isPlainNfc(std::string_view s)
{
    const auto* p = reinterpret_cast<const unsigned char*>(s.data());
    const auto* end = p + s.size();
    while (p != end) {
        if (*p < 0x80) {
            ++p;
            continue;
        }
        // Two-byte forms of U+0080 to U+02FF: lead 0xC2 to 0xCB, one continuation.
        if (*p < 0xC2 || *p > 0xCB || end - p < 2 || (p[1] & 0xC0) != 0x80)
            return false;
        p += 2;
    }
    return true;
}

// UTF-8 bytes of the NFC form, invalid sequences replaced. Byte order of UTF-8 is
// code point order, so these compare with memcmp.
std::string normalizedKey(std::string_view name)
{
    if (isPlainNfc(name))
        return std::string(name);
    const QString decoded = QString::fromUtf8(name.data(), qsizetype(name.size()));
    const QByteArray bytes = decoded.normalized(QString::NormalizationForm_C).toUtf8();
    return std::string(bytes.constData(), std::size_t(bytes.size()));
}

} // namespace

bool FileNode::precedes(const FileNode& a, const FileNode& b)
{
    if (a.size != b.size)
        return a.size > b.size;
    const std::string_view na = a.name(), nb = b.name();
    if (isPlainNfc(na) && isPlainNfc(nb))
        return na < nb;
    return normalizedKey(na) < normalizedKey(nb);
}

void FileNode::sortChildren()
{
    if (childCount() < 2)
        return;
    FileNode** begin = links()->array;
    FileNode** end = begin + links()->count;
    bool plain = true;
    for (FileNode** it = begin; it != end && plain; ++it)
        plain = isPlainNfc((*it)->name());
    if (plain) {
        std::stable_sort(begin, end, [](const FileNode* a, const FileNode* b) {
            if (a->size != b->size)
                return a->size > b->size;
            return a->name() < b->name();
        });
        return;
    }
    // Normalise each name once, not once per comparison.
    struct Keyed {
        FileNode* node;
        std::string key;
    };
    std::vector<Keyed> keyed;
    keyed.reserve(std::size_t(end - begin));
    for (FileNode** it = begin; it != end; ++it)
        keyed.push_back({ *it, normalizedKey((*it)->name()) });
    std::stable_sort(keyed.begin(), keyed.end(), [](const Keyed& a, const Keyed& b) {
        if (a.node->size != b.node->size)
            return a.node->size > b.node->size;
        return a.key < b.key;
    });
    for (std::size_t i = 0; i < keyed.size(); ++i)
        begin[i] = keyed[i].node;
}
