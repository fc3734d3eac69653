// SPDX-License-Identifier: MIT
#include "model/NameSearch.h"

#include "platform/ParallelFor.h"
#include "scan/ExcludePatterns.h"

#include <QString>

#include <algorithm>
#include <atomic>

namespace {

constexpr std::size_t kChunks = 256;

char lowered(char c)
{
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

bool isAscii(std::string_view text)
{
    return std::all_of(text.begin(), text.end(), [](char c) { return (unsigned char)c < 0x80; });
}

// A subtree walked by one task; `covered` when an ancestor already matched (its bytes
// are in the total through that ancestor).
struct Chunk {
    const FileNode* top;
    bool covered;
};

struct Partial {
    std::vector<const FileNode*> items;
    std::int64_t size = 0;
};

} // namespace

std::optional<NameSearch> NameSearch::compile(
    const std::string& query, bool regularExpression, std::string& error)
{
    NameSearch search;
    if (regularExpression) {
        search.m_mode = Mode::Regex;
        search.m_regex = QRegularExpression(QString::fromUtf8(query.data(), qsizetype(query.size())),
            QRegularExpression::CaseInsensitiveOption | QRegularExpression::UseUnicodePropertiesOption);
        if (!search.m_regex.isValid()) {
            error = "invalid regular expression: " + search.m_regex.errorString().toStdString()
                + " at offset " + std::to_string(search.m_regex.patternErrorOffset());
            return std::nullopt;
        }
        search.m_regex.optimize();
        return search;
    }
    if (query.find_first_of("*?[") != std::string::npos) {
        search.m_mode = Mode::Glob;
        if (std::string why = ExcludePatterns::problem(query); !why.empty()) {
            error = "invalid pattern: " + why;
            return std::nullopt;
        }
    }
    search.m_asciiOnly = isAscii(query);
    search.m_folded.resize(query.size());
    std::transform(query.begin(), query.end(), search.m_folded.begin(), lowered);
    if (!search.m_asciiOnly) {
        const QByteArray folded
            = QString::fromUtf8(query.data(), qsizetype(query.size())).toCaseFolded().toUtf8();
        search.m_folded.assign(folded.constData(), std::size_t(folded.size()));
    }
    return search;
}

bool NameSearch::matches(std::string_view name) const
{
    if (m_mode == Mode::Regex)
        return m_regex.match(QString::fromUtf8(name.data(), qsizetype(name.size()))).hasMatch();
    thread_local std::string folded;
    if (m_asciiOnly && isAscii(name)) {
        if (m_mode == Mode::Substring) {
            // Lowering the name costs more than searching it: compare folded on the fly.
            const std::string& q = m_folded;
            if (q.size() > name.size())
                return false;
            const std::size_t last = name.size() - q.size();
            for (std::size_t i = 0; i <= last; ++i) {
                if (lowered(name[i]) != q[0])
                    continue;
                std::size_t k = 1;
                while (k < q.size() && lowered(name[i + k]) == q[k])
                    ++k;
                if (k == q.size())
                    return true;
            }
            return m_folded.empty();
        }
        folded.resize(name.size());
        std::transform(name.begin(), name.end(), folded.begin(), lowered);
    } else {
        const QByteArray bytes
            = QString::fromUtf8(name.data(), qsizetype(name.size())).toCaseFolded().toUtf8();
        folded.assign(bytes.constData(), std::size_t(bytes.size()));
    }
    return m_mode == Mode::Glob ? ExcludePatterns::match(m_folded, folded)
                                : folded.find(m_folded) != std::string::npos;
}

std::optional<NameSearch::Found> NameSearch::run(
    const FileNode* root, const std::atomic<bool>& cancelled) const
{
    Found found;
    if (!root)
        return found;
    // Split the tree into subtrees of at most 1/kChunks of its items, checking the
    // folders above them on the way.
    std::vector<Chunk> chunks;
    const std::int64_t limit = std::max<std::int64_t>(1, root->fileCount / std::int64_t(kChunks));
    std::vector<Chunk> stack = { Chunk { root, false } };
    while (!stack.empty()) {
        const Chunk at = stack.back();
        stack.pop_back();
        for (const FileNode* child : at.top->children()) {
            if (child->flags.contains(NodeFlags::Pseudo))
                continue;
            if (child->fileCount <= limit || !child->hasChildren()) {
                chunks.push_back(Chunk { child, at.covered });
                continue;
            }
            bool covered = at.covered;
            if (matches(child->name())) {
                found.items.push_back(child);
                if (!covered)
                    found.size += child->size;
                covered = true;
            }
            stack.push_back(Chunk { child, covered });
        }
    }

    std::vector<Partial> partials(chunks.size());
    std::atomic<bool> stopped { false };
    Dispatch::parallelFor(chunks.size(), [&](std::size_t index) {
        if (stopped.load(std::memory_order_relaxed) || cancelled.load(std::memory_order_relaxed)) {
            stopped.store(true, std::memory_order_relaxed);
            return;
        }
        Partial& out = partials[index];
        // Depth-first with an explicit stack: trees may be deeper than a thread's stack.
        std::vector<Chunk> todo = { chunks[index] };
        while (!todo.empty()) {
            const Chunk at = todo.back();
            todo.pop_back();
            bool covered = at.covered;
            if (!at.top->flags.contains(NodeFlags::Pseudo) && matches(at.top->name())) {
                out.items.push_back(at.top);
                if (!covered)
                    out.size += at.top->size;
                covered = true;
            }
            for (const FileNode* child : at.top->children())
                todo.push_back(Chunk { child, covered });
        }
    });
    if (stopped.load() || cancelled.load())
        return std::nullopt;
    std::size_t total = found.items.size();
    for (const Partial& p : partials)
        total += p.items.size();
    found.items.reserve(total);
    for (Partial& p : partials) {
        found.items.insert(found.items.end(), p.items.begin(), p.items.end());
        found.size += p.size;
    }
    // Ties by name bytes: child order's normalised comparison costs too much over many
    // thousands of results of equal size.
    std::sort(found.items.begin(), found.items.end(), [](const FileNode* a, const FileNode* b) {
        return a->size != b->size ? a->size > b->size : a->name() < b->name();
    });
    return found;
}

NameSearch::Found NameSearch::runSerially(const FileNode* root) const
{
    Found found;
    std::vector<std::pair<const FileNode*, bool>> stack;
    if (root)
        for (const FileNode* child : root->children())
            stack.emplace_back(child, false);
    while (!stack.empty()) {
        auto [node, covered] = stack.back();
        stack.pop_back();
        if (node->flags.contains(NodeFlags::Pseudo))
            continue;
        if (matches(node->name())) {
            found.items.push_back(node);
            if (!covered)
                found.size += node->size;
            covered = true;
        }
        for (const FileNode* child : node->children())
            stack.emplace_back(child, covered);
    }
    return found;
}

SearchSession::Flag SearchSession::renew()
{
    auto next = std::make_shared<std::atomic<bool>>(false);
    std::lock_guard lock(m_lock);
    if (m_current)
        m_current->store(true);
    m_current = next;
    return next;
}

void SearchSession::cancel()
{
    std::lock_guard lock(m_lock);
    if (m_current)
        m_current->store(true);
}
