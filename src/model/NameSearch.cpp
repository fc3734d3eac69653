// SPDX-License-Identifier: MIT
#include "model/NameSearch.h"

#include "platform/ParallelFor.h"
#include "scan/ExcludePatterns.h"

#include <QString>

#include <algorithm>
#include <atomic>
#include <bit>
#include <cstring>

namespace {

// Tasks per search: enough that a core slowed by other work hands its share to the
// others, few enough that splitting and merging stay a small part of the time.
constexpr std::size_t kChunks = 128;
// Children prefetched ahead of the one being matched: each node is reached through a
// pointer, and without a hint every one of them waits for memory.
constexpr std::size_t kAhead = 8;

char lowered(char c)
{
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

bool isAscii(std::string_view text)
{
    std::size_t i = 0;
    for (; i + 8 <= text.size(); i += 8) {
        std::uint64_t word;
        std::memcpy(&word, text.data() + i, 8);
        if (word & 0x8080808080808080ull)
            return false;
    }
    for (; i < text.size(); ++i)
        if ((unsigned char)text[i] >= 0x80)
            return false;
    return true;
}

// A result while the search runs: what orders it, held beside the node so that sorting
// rarely reads a node (a cache miss each).
struct Hit {
    std::int64_t size;
    // The first 16 name bytes, big-endian, zero-padded: the 8 of a name alone would tie
    // often (the same word starts many names of the same size).
    std::uint64_t head;
    std::uint64_t next;
    const FileNode* node;
};

Hit hitOf(const FileNode* node)
{
    const std::string_view name = node->name();
    std::uint64_t bytes[2] = { 0, 0 };
    for (std::size_t k = 0; k < std::min<std::size_t>(16, name.size()); ++k)
        bytes[k / 8] |= std::uint64_t((unsigned char)name[k]) << (56 - 8 * (k % 8));
    return { node->size, bytes[0], bytes[1], node };
}

// Largest first, then by name bytes (names hold no NUL, so the padded prefix orders as
// the name does), then by address so that the order is total.
bool before(const Hit& a, const Hit& b)
{
    if (a.size != b.size)
        return a.size > b.size;
    if (a.head != b.head)
        return a.head < b.head;
    if (a.next != b.next)
        return a.next < b.next;
    if (a.node == b.node)
        return false;
    if (const int c = a.node->name().compare(b.node->name()); c != 0)
        return c < 0;
    return a.node < b.node;
}

// Children [begin, end) of `parent` and everything below them, walked by one task;
// `covered` when an ancestor already matched (its bytes are in the total through it).
struct Chunk {
    const FileNode* parent;
    std::size_t begin;
    std::size_t end;
    bool covered;
};

struct Partial {
    std::vector<Hit> hits;
    std::int64_t size = 0;
};

} // namespace

namespace {

enum class Scan { Found, Absent, Unsure };

// Whether `name` holds `needle` (ASCII, not empty, letters lowered) with ASCII letters
// compared regardless of case: Found; else Absent for an ASCII name (whose folded form is
// just its lowered self), Unsure for another. Found is sure for any name: the bytes found
// are ASCII and stay side by side whatever folding does to the others.
//
// Names are short and mostly miss: eight bytes at a time, a byte equal to the needle's
// first (setting bit 5 turns 'A'..'Z' into 'a'..'z' and nothing else into a lower-case
// letter) marks where to compare the rest.
Scan lookFor(std::string_view name, std::string_view needle)
{
    constexpr std::uint64_t ones = 0x0101010101010101ull, low = 0x7f7f7f7f7f7f7f7full;
    const std::size_t n = name.size(), m = needle.size();
    const auto first = (unsigned char)needle[0];
    const std::uint64_t fold = first >= 'a' && first <= 'z' ? 0x20 * ones : 0;
    const std::uint64_t want = first * ones;
    std::uint64_t seen = 0;
    for (std::size_t at = 0; at < n; at += 8) {
        std::uint64_t word = 0;
        // Byte k of the word in bits 8k..8k+7. The last bytes of a long name come with
        // the ones before them, shifted out.
        const std::size_t skip = at + 8 <= n ? 0 : n >= 8 ? at + 8 - n : 8;
        if (skip < 8) {
            std::memcpy(&word, name.data() + at - skip, 8);
            if constexpr (std::endian::native == std::endian::big)
                word = __builtin_bswap64(word);
            word >>= 8 * skip;
        } else {
            for (std::size_t k = n; k-- > at;)
                word = word << 8 | (unsigned char)name[k];
        }
        seen |= word;
        const std::uint64_t x = (word | fold) ^ want;
        // 0x80 in each byte where x is zero, exactly (no carry crosses bytes).
        std::uint64_t hits = ~(((x & low) + low) | x | low);
        while (hits) {
            const std::size_t i = at + std::size_t(__builtin_ctzll(hits)) / 8;
            hits &= hits - 1;
            if (i + m > n)
                break;
            std::size_t k = 1;
            while (k < m && lowered(name[i + k]) == needle[k])
                ++k;
            if (k == m)
                return Scan::Found;
        }
    }
    return seen & ~low ? Scan::Unsure : Scan::Absent;
}

// The longest run of plain bytes in a glob before any '[' or '\' (past those, telling a
// literal byte from a bracket's member takes the matcher itself): every match holds it.
std::string literalOfGlob(std::string_view glob)
{
    glob = glob.substr(0, glob.find_first_of("[\\"));
    std::string_view best;
    while (!glob.empty()) {
        const std::size_t stop = std::min(glob.find_first_of("*?"), glob.size());
        if (stop > best.size())
            best = glob.substr(0, stop);
        glob.remove_prefix(std::min(stop + 1, glob.size()));
    }
    return std::string(best);
}

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
    if (search.m_mode == Mode::Substring) {
        search.m_asciiOnly = isAscii(search.m_folded); // 'K' (Kelvin) folds to 'k'
        if (search.m_asciiOnly)
            search.m_literal = search.m_folded;
    } else if (search.m_asciiOnly) {
        search.m_literal = literalOfGlob(search.m_folded);
    }
    return search;
}

bool NameSearch::matches(std::string_view name) const
{
    if (m_mode == Mode::Regex)
        return m_regex.match(QString::fromUtf8(name.data(), qsizetype(name.size()))).hasMatch();
    if (!m_literal.empty()) {
        const Scan scan = lookFor(name, m_literal);
        if (scan == Scan::Absent)
            return false;
        if (scan == Scan::Found && m_mode == Mode::Substring)
            return true;
    }
    const bool asciiName = isAscii(name);
    // An ASCII name cannot hold a query whose folded form is not ASCII.
    if (m_mode == Mode::Substring && !m_asciiOnly && asciiName)
        return false;
    thread_local std::string folded;
    if (m_asciiOnly && asciiName) {
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

namespace {

// Matches in `children` and everything below them, depth first: a folder's children are
// read in place, one frame per level, so a tree deeper than a thread's stack is walked too.
void walk(const NameSearch& search, std::span<FileNode* const> children, bool covered, Partial& out)
{
    struct Frame {
        FileNode* const* next;
        FileNode* const* end;
        bool covered;
    };
    auto enter = [](std::span<FileNode* const> nodes, bool covered) {
        for (std::size_t i = 0; i < std::min(kAhead, nodes.size()); ++i)
            nodes[i]->prefetch();
        return Frame { nodes.data(), nodes.data() + nodes.size(), covered };
    };
    std::vector<Frame> stack = { enter(children, covered) };
    while (!stack.empty()) {
        Frame& frame = stack.back();
        if (frame.next == frame.end) {
            stack.pop_back();
            continue;
        }
        const FileNode* node = *frame.next++;
        if (frame.end - frame.next > std::ptrdiff_t(kAhead))
            frame.next[kAhead]->prefetch();
        if (node->flags.contains(NodeFlags::Pseudo))
            continue;
        bool below = frame.covered;
        if (search.matches(node->name())) {
            out.hits.push_back(hitOf(node));
            if (!below)
                out.size += node->size;
            below = true;
        }
        if (node->hasChildren())
            stack.push_back(enter(node->children(), below));
    }
}

// The hits of `parts` in order: slices sorted at once on the pool, then merged pairwise,
// so that few passes go over the list; nullopt once `cancelled` is set.
std::optional<NameSearch::Found> order(std::vector<Partial>& parts, const std::atomic<bool>& cancelled)
{
    NameSearch::Found found;
    std::size_t total = 0;
    for (const Partial& part : parts) {
        found.size += part.size;
        total += part.hits.size();
    }
    std::vector<Hit> from(total), to;
    auto at = from.begin();
    for (Partial& part : parts) {
        at = std::copy(part.hits.begin(), part.hits.end(), at);
        part.hits = {};
    }
    const std::size_t slices = std::clamp<std::size_t>(std::bit_ceil(Dispatch::poolSize() + 1u), 1, 16);
    std::vector<std::size_t> bounds;
    for (std::size_t i = 0; i <= slices; ++i)
        bounds.push_back(total * i / slices);
    Dispatch::parallelFor(slices, [&](std::size_t i) {
        std::sort(
            from.begin() + std::ptrdiff_t(bounds[i]), from.begin() + std::ptrdiff_t(bounds[i + 1]), before);
    });
    if (slices > 1)
        to.resize(total);
    for (std::size_t width = 1; width < slices; width *= 2) {
        if (cancelled.load())
            return std::nullopt;
        Dispatch::parallelFor(slices / (2 * width), [&](std::size_t pair) {
            const auto a = from.begin() + std::ptrdiff_t(bounds[2 * width * pair]);
            const auto b = from.begin() + std::ptrdiff_t(bounds[2 * width * pair + width]);
            const auto c = from.begin() + std::ptrdiff_t(bounds[2 * width * (pair + 1)]);
            std::merge(a, b, b, c, to.begin() + (a - from.begin()), before);
        });
        from.swap(to);
    }
    if (cancelled.load())
        return std::nullopt;
    found.items.resize(total);
    std::transform(from.begin(), from.end(), found.items.begin(), [](const Hit& hit) { return hit.node; });
    return found;
}

} // namespace

std::optional<NameSearch::Found> NameSearch::run(
    const FileNode* root, const std::atomic<bool>& cancelled) const
{
    Found found;
    if (!root)
        return found;
    // Split the tree into runs of children holding about 1/kChunks of its items each,
    // checking on the way the folders too large to be inside one.
    const std::int64_t limit = std::max<std::int64_t>(1, root->fileCount / std::int64_t(kChunks));
    auto large = [limit](const FileNode* node) { return node->fileCount > limit && node->hasChildren(); };
    std::vector<Chunk> chunks;
    Partial top;
    std::vector<std::pair<const FileNode*, bool>> folders = { { root, false } };
    while (!folders.empty()) {
        const auto [folder, covered] = folders.back();
        folders.pop_back();
        const std::span<FileNode* const> children = folder->children();
        std::size_t begin = 0;
        std::int64_t weight = 0;
        for (std::size_t i = 0; i < children.size(); ++i) {
            const FileNode* child = children[i];
            if (!large(child) || child->flags.contains(NodeFlags::Pseudo)) {
                weight += std::int64_t(child->fileCount) + 1;
                if (weight >= limit) {
                    chunks.push_back({ folder, begin, i + 1, covered });
                    begin = i + 1;
                    weight = 0;
                }
                continue;
            }
            if (begin < i)
                chunks.push_back({ folder, begin, i, covered });
            begin = i + 1;
            weight = 0;
            const bool matched = matches(child->name());
            if (matched) {
                top.hits.push_back(hitOf(child));
                if (!covered)
                    top.size += child->size;
            }
            folders.emplace_back(child, covered || matched);
        }
        if (begin < children.size())
            chunks.push_back({ folder, begin, children.size(), covered });
    }

    std::vector<Partial> partials(chunks.size());
    std::atomic<bool> stopped { false };
    Dispatch::parallelFor(chunks.size(), [&](std::size_t index) {
        if (stopped.load(std::memory_order_relaxed) || cancelled.load(std::memory_order_relaxed)) {
            stopped.store(true, std::memory_order_relaxed);
            return;
        }
        const Chunk& chunk = chunks[index];
        walk(*this, chunk.parent->children().subspan(chunk.begin, chunk.end - chunk.begin), chunk.covered,
            partials[index]);
    });
    if (stopped.load() || cancelled.load())
        return std::nullopt;
    partials.push_back(std::move(top));
    return order(partials, cancelled);
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
