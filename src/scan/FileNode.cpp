// SPDX-License-Identifier: MIT
#include "scan/FileNode.h"

#include <QString>

#include <algorithm>
#include <cstring>

const std::size_t FileNode::kNameOffset = offsetof(FileNode, m_nameHead);

std::ptrdiff_t FileNode::indexOfChild(const FileNode* node) const
{
    for (std::uint32_t i = 0; i < m_childCount; ++i)
        if (m_children[i] == node)
            return i;
    return -1;
}

void FileNode::setChildren(FileNode** array, std::size_t count)
{
    m_children = array;
    m_childCount = static_cast<std::uint32_t>(count);
}

void FileNode::removeChildAt(std::size_t index)
{
    if (index >= m_childCount)
        return;
    std::memmove(m_children + index, m_children + index + 1, (m_childCount - index - 1) * sizeof(FileNode*));
    --m_childCount;
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

bool isAscii(std::string_view s)
{
    for (unsigned char c : s)
        if (c >= 0x80)
            return false;
    return true;
}

// UTF-8 bytes of the NFC form, invalid sequences replaced. Byte order of UTF-8 is
// code point order, so these compare with memcmp.
std::string normalizedKey(std::string_view name)
{
    if (isAscii(name))
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
    if (isAscii(na) && isAscii(nb))
        return na < nb;
    return normalizedKey(na) < normalizedKey(nb);
}

void FileNode::sortChildren()
{
    if (m_childCount < 2)
        return;
    FileNode** begin = m_children;
    FileNode** end = m_children + m_childCount;
    bool ascii = true;
    for (FileNode** it = begin; it != end && ascii; ++it)
        ascii = isAscii((*it)->name());
    if (ascii) {
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
    keyed.reserve(m_childCount);
    for (FileNode** it = begin; it != end; ++it)
        keyed.push_back({*it, normalizedKey((*it)->name())});
    std::stable_sort(keyed.begin(), keyed.end(), [](const Keyed& a, const Keyed& b) {
        if (a.node->size != b.node->size)
            return a.node->size > b.node->size;
        return a.key < b.key;
    });
    for (std::size_t i = 0; i < keyed.size(); ++i)
        m_children[i] = keyed[i].node;
}
