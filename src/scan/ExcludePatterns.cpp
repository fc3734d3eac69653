// SPDX-License-Identifier: MIT
#include "scan/ExcludePatterns.h"

#include <algorithm>
#include <bit>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <fstream>

namespace {

enum Result { Match, NoMatch, AbortAll, AbortToStarStar };

using Iter = const unsigned char*;

bool isGlobSpecial(unsigned char c)
{
    return c == '*' || c == '?' || c == '[' || c == '\\';
}

// The "[:name:]" classes git knows; -1 when `name` is none of them.
int classOf(std::string_view name)
{
    static constexpr const char* kNames[] = { "alnum", "alpha", "blank", "cntrl", "digit", "graph", "lower",
        "print", "punct", "space", "upper", "xdigit" };
    for (int i = 0; i < int(std::size(kNames)); ++i)
        if (name == kNames[i])
            return i;
    return -1;
}

bool inClass(int cls, unsigned char c)
{
    switch (cls) {
    case 0:
        return std::isalnum(c);
    case 1:
        return std::isalpha(c);
    case 2:
        return c == ' ' || c == '\t';
    case 3:
        return std::iscntrl(c);
    case 4:
        return std::isdigit(c);
    case 5:
        return std::isgraph(c);
    case 6:
        return std::islower(c);
    case 7:
        return std::isprint(c);
    case 8:
        return std::ispunct(c);
    case 9:
        return std::isspace(c);
    case 10:
        return std::isupper(c);
    default:
        return std::isxdigit(c);
    }
}

const unsigned char* findSlash(Iter text, Iter end)
{
    return static_cast<Iter>(std::memchr(text, '/', std::size_t(end - text)));
}

// A port of git's wildmatch (WM_PATHNAME) to counted strings. Recursion happens only at
// stars, and the abort results keep it polynomial, as in git.
Result wild(Iter p, Iter pEnd, Iter text, Iter tEnd)
{
    const Iter pattern = p;
    for (; p != pEnd; ++text, ++p) {
        unsigned char pc = *p;
        if (text == tEnd && pc != '*')
            return AbortAll;
        const unsigned char tc = text == tEnd ? 0 : *text;
        switch (pc) {
        case '\\':
            pc = *++p;
            [[fallthrough]];
        default:
            if (tc != pc)
                return NoMatch;
            continue;
        case '?':
            if (tc == '/')
                return NoMatch;
            continue;
        case '*': {
            bool matchSlash = false;
            if (++p != pEnd && *p == '*') {
                const Iter before = p - 2;
                while (++p != pEnd && *p == '*') { }
                if ((before < pattern || *before == '/')
                    && (p == pEnd || *p == '/' || (*p == '\\' && p + 1 != pEnd && p[1] == '/'))) {
                    if (p != pEnd && *p == '/' && wild(p + 1, pEnd, text, tEnd) == Match)
                        return Match;
                    matchSlash = true;
                }
            }
            if (p == pEnd) {
                if (!matchSlash && findSlash(text, tEnd))
                    return NoMatch;
                return Match;
            }
            if (!matchSlash && *p == '/') {
                const Iter slash = findSlash(text, tEnd);
                if (!slash)
                    return NoMatch;
                text = slash; // the loop consumes the slash
                break;
            }
            for (;;) {
                if (text == tEnd)
                    break;
                // A literal after the star: skip ahead to its next occurrence.
                if (!isGlobSpecial(*p)) {
                    while (text != tEnd && (matchSlash || *text != '/') && *text != *p)
                        ++text;
                    if (text == tEnd || *text != *p)
                        return NoMatch;
                }
                const Result r = wild(p, pEnd, text, tEnd);
                if (r != NoMatch) {
                    if (!matchSlash || r != AbortToStarStar)
                        return r;
                } else if (!matchSlash && *text == '/') {
                    return AbortToStarStar;
                }
                ++text;
            }
            return AbortAll;
        }
        case '[': {
            pc = *++p;
            if (pc == '^')
                pc = '!';
            const bool negated = pc == '!';
            if (negated)
                pc = *++p;
            unsigned char prev = 0;
            bool matched = false;
            do {
                if (pc == '\\') {
                    pc = *++p;
                    if (tc == pc)
                        matched = true;
                } else if (pc == '-' && prev && p + 1 != pEnd && p[1] != ']') {
                    pc = *++p;
                    if (pc == '\\')
                        pc = *++p;
                    if (tc <= pc && tc >= prev)
                        matched = true;
                    pc = 0; // a range never starts another range
                } else if (pc == '[' && p + 1 != pEnd && p[1] == ':') {
                    const Iter start = p + 2;
                    const Iter close = static_cast<Iter>(std::memchr(start, ']', std::size_t(pEnd - start)));
                    const int cls = classOf(std::string_view(
                        reinterpret_cast<const char*>(start), std::size_t(close - start - 1)));
                    if (inClass(cls, tc))
                        matched = true;
                    p = close;
                    pc = 0;
                } else if (tc == pc) {
                    matched = true;
                }
                prev = pc;
                pc = *++p;
            } while (pc != ']');
            if (matched == negated || tc == '/')
                return NoMatch;
            continue;
        }
        }
    }
    return text == tEnd ? Match : NoMatch;
}

std::string_view withoutTrailingSpaces(std::string_view line)
{
    std::size_t end = line.size();
    while (end > 0 && line[end - 1] == ' ') {
        // An escaped space stays, with its backslash (an even run of them escapes nothing).
        std::size_t slashes = 0;
        while (slashes + 1 < end && line[end - 2 - slashes] == '\\')
            ++slashes;
        if (slashes % 2 == 1)
            break;
        --end;
    }
    return line.substr(0, end);
}

} // namespace

std::string ExcludePatterns::problem(std::string_view pattern)
{
    const auto* p = reinterpret_cast<Iter>(pattern.data());
    const Iter end = p + pattern.size();
    for (; p != end; ++p) {
        if (*p == '\\') {
            if (++p == end)
                return "it ends with a lone '\\'";
            continue;
        }
        if (*p != '[')
            continue;
        ++p;
        if (p != end && (*p == '!' || *p == '^'))
            ++p;
        // The first character of a set may be ']' itself.
        bool first = true;
        for (;; first = false, ++p) {
            if (p == end)
                return "a '[' is never closed by ']'";
            if (*p == ']' && !first)
                break;
            if (*p == '\\') {
                if (++p == end)
                    return "a '[' is never closed by ']'";
            } else if (*p == '[' && p + 1 != end && p[1] == ':') {
                const auto* close = static_cast<Iter>(std::memchr(p + 2, ']', std::size_t(end - p - 2)));
                if (!close || close[-1] != ':' || close - 1 < p + 2)
                    return "a \"[:\" class is never closed by \":]\"";
                const std::string_view name(
                    reinterpret_cast<const char*>(p + 2), std::size_t(close - 1 - (p + 2)));
                if (classOf(name) < 0)
                    return "\"[:" + std::string(name) + ":]\" is not a character class";
                p = close;
            }
        }
    }
    return {};
}

bool ExcludePatterns::match(std::string_view pattern, std::string_view text)
{
    const auto* p = reinterpret_cast<Iter>(pattern.data());
    const auto* t = reinterpret_cast<Iter>(text.data());
    return wild(p, p + pattern.size(), t, t + text.size()) == Match;
}

bool ExcludePatterns::add(std::string_view pattern, std::string& error)
{
    return addLine(pattern, error);
}

namespace {

// No path is longer, so neither is a useful pattern; the cap keeps a file that never ends
// a line (a device, a binary read by mistake) from taking all memory.
constexpr std::size_t kLongestLine = 4096;

// The next line without its newline; stops one byte past the cap.
bool readLine(std::istream& in, std::string& line)
{
    line.clear();
    char c = 0;
    while (line.size() <= kLongestLine && in.get(c) && c != '\n')
        line.push_back(c);
    return !line.empty() || c == '\n';
}

} // namespace

bool ExcludePatterns::addFile(const std::string& path, std::string& error)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = path + ": cannot be read (" + std::strerror(errno) + ")";
        return false;
    }
    ExcludePatterns copy = *this;
    std::string line;
    for (std::size_t number = 1; readLine(in, line); ++number) {
        if (line.size() > kLongestLine) {
            error = path + ":" + std::to_string(number) + ": a line longer than "
                + std::to_string(kLongestLine) + " bytes is no pattern";
            return false;
        }
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        const std::string_view text = withoutTrailingSpaces(line);
        if (text.empty() || text.front() == '#')
            continue;
        if (!copy.addLine(text, error)) {
            error = path + ":" + std::to_string(number) + ": " + error;
            return false;
        }
    }
    if (in.bad()) {
        error = path + ": cannot be read";
        return false;
    }
    *this = std::move(copy);
    return true;
}

bool ExcludePatterns::addLine(std::string_view line, std::string& error)
{
    Pattern pattern;
    std::string_view text = line;
    if (!text.empty() && text.front() == '!') {
        pattern.negated = true;
        text.remove_prefix(1);
    }
    if (!text.empty() && text.back() == '/') {
        pattern.folderOnly = true;
        text.remove_suffix(1);
    }
    const bool leadingSlash = !text.empty() && text.front() == '/';
    if (leadingSlash)
        text.remove_prefix(1);
    if (text.empty() || text.find_first_not_of('/') == std::string_view::npos) {
        error = "the pattern \"" + std::string(line) + "\" names nothing";
        return false;
    }
    if (std::string why = problem(text); !why.empty()) {
        error = "the pattern \"" + std::string(line) + "\" is malformed: " + why;
        return false;
    }
    pattern.glob = std::string(text);
    pattern.prefix = pattern.glob.substr(0, pattern.glob.find_first_of("*?[\\"));
    const int index = int(m_patterns.size());
    const bool isPath = leadingSlash || text.find('/') != std::string_view::npos;
    if (isPath) {
        m_pathPatterns.add(index, pattern.prefix);
    } else if (text.find_first_of("*?[\\") == std::string_view::npos) {
        m_literalKeys.add(pattern.glob);
        Latest& latest = m_literal[pattern.glob];
        (pattern.folderOnly ? latest.folderOnly : latest.any) = index;
    } else if (text.size() > 1 && text.front() == '*'
        && text.find_first_of("*?[\\", 1) == std::string_view::npos
        && text.find('.') != std::string_view::npos) {
        m_suffixKeys.add(text.substr(text.rfind('.') + 1));
        m_suffix[std::string(text.substr(text.rfind('.') + 1))].push_back(index);
    } else {
        m_namePatterns.add(index, pattern.prefix);
    }
    m_patterns.push_back(std::move(pattern));
    m_lines.emplace_back(line);
    return true;
}

// The bytes of `first`, then those of `second`, joined by '/' when both are given (as a
// path joins a folder and a name).
ExcludePatterns::Head ExcludePatterns::Head::of(std::string_view first, std::string_view second)
{
    Head head;
    if (std::endian::native == std::endian::little && first.size() >= 8) {
        std::memcpy(&head.word, first.data(), 8); // byte i at bits 8i, as below
        head.mask = ~std::uint64_t(0);
        return head;
    }
    int shift = 0;
    const auto put = [&](std::string_view bytes) {
        for (std::size_t i = 0; i < bytes.size() && shift < 64; ++i, shift += 8) {
            head.word |= std::uint64_t(static_cast<unsigned char>(bytes[i])) << shift;
            head.mask |= std::uint64_t(0xff) << shift;
        }
    };
    put(first);
    if (!first.empty() && !second.empty())
        put("/");
    put(second);
    return head;
}

void ExcludePatterns::FirstByteIndex::add(int index, std::string_view prefix)
{
    const Entry entry { index, Head::of(prefix) };
    last = index;
    if (prefix.empty()) {
        open.push_back(entry);
        return;
    }
    Bucket& bucket = byByte[static_cast<unsigned char>(prefix.front())];
    if (bucket.entries.empty()) {
        bucket.shared = entry.head;
    } else {
        for (int shift = 0; shift < 64; shift += 8) {
            const std::uint64_t byte = std::uint64_t(0xff) << shift;
            if (!(entry.head.mask & byte) || ((entry.head.word ^ bucket.shared.word) & byte)) {
                bucket.shared.mask &= ~byte;
                bucket.shared.word &= ~byte;
            }
        }
    }
    bucket.entries.push_back(entry);
}

// Both lists ascend; they are walked down together, latest first, as one list would be.
template <typename Matches>
int ExcludePatterns::FirstByteIndex::latest(std::uint64_t head, int above, Matches&& matches) const
{
    static const std::vector<Entry> none;
    const Bucket& bucket = byByte[head & 0xff];
    const std::vector<Entry>& some = bucket.shared.mayStart(head) ? bucket.entries : none;
    auto a = some.rbegin(), b = open.rbegin();
    for (;;) {
        const int x = a != some.rend() ? a->index : -1;
        const int y = b != open.rend() ? b->index : -1;
        const int next = std::max(x, y);
        if (next <= above)
            return above;
        const Entry& entry = x > y ? *a : *b;
        if (entry.head.mayStart(head) && matches(next))
            return next;
        ++(x > y ? a : b);
    }
}

int ExcludePatterns::latestNameMatch(std::string_view name, bool isFolder, int above) const
{
    return m_namePatterns.latest(Head::of(name).word, above, [&](int index) {
        const Pattern& p = m_patterns[std::size_t(index)];
        return (isFolder || !p.folderOnly) && name.starts_with(p.prefix) && match(p.glob, name);
    });
}

// As latestMatch() over "folder/name", built only once a pattern's literal start fits.
int ExcludePatterns::latestPathMatch(
    std::string_view folder, std::string_view name, bool isFolder, int above) const
{
    const auto startsAs = [&](std::string_view prefix) {
        if (folder.empty())
            return name.starts_with(prefix);
        if (prefix.size() <= folder.size())
            return folder.starts_with(prefix);
        return prefix.starts_with(folder) && prefix[folder.size()] == '/'
            && name.starts_with(prefix.substr(folder.size() + 1));
    };
    std::string path;
    return m_pathPatterns.latest(Head::of(folder, name).word, above, [&](int index) {
        const Pattern& p = m_patterns[std::size_t(index)];
        if ((!isFolder && p.folderOnly) || !startsAs(p.prefix))
            return false;
        if (path.empty()) {
            path.reserve(folder.size() + 1 + name.size());
            path.append(folder);
            if (!folder.empty())
                path.push_back('/');
            path.append(name);
        }
        return match(p.glob, path);
    });
}

bool ExcludePatterns::excludes(std::string_view folder, std::string_view name, bool isFolder) const
{
    if (m_patterns.empty())
        return false;
    int best = -1;
    if (m_literalKeys.mayHold(name)) {
        if (const auto it = m_literal.find(name); it != m_literal.end())
            best = std::max(it->second.any, isFolder ? it->second.folderOnly : -1);
    }
    if (!m_suffix.empty()) {
        const std::size_t dot = name.rfind('.');
        if (dot != std::string_view::npos && m_suffixKeys.mayHold(name.substr(dot + 1))) {
            if (const auto it = m_suffix.find(name.substr(dot + 1)); it != m_suffix.end()) {
                for (auto i = it->second.rbegin(); i != it->second.rend() && *i > best; ++i) {
                    const Pattern& p = m_patterns[std::size_t(*i)];
                    // "*X" matches exactly the names ending in X.
                    if ((isFolder || !p.folderOnly) && name.ends_with(std::string_view(p.glob).substr(1))) {
                        best = *i;
                        break;
                    }
                }
            }
        }
    }
    if (m_namePatterns.last > best)
        best = latestNameMatch(name, isFolder, best);
    if (m_pathPatterns.last > best)
        best = latestPathMatch(folder, name, isFolder, best);
    return best >= 0 && !m_patterns[std::size_t(best)].negated;
}
