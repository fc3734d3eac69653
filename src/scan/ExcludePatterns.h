// SPDX-License-Identifier: MIT
#pragma once

#include <array>
#include <bitset>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// A compiled list of exclude patterns with gitignore's shape: a pattern holding a '/'
// (other than a trailing one) matches the path below the scanned root, any other
// matches a name at any depth; "**" spans folders; '*', '?', "[...]" and '\' escapes as
// in git; a trailing '/' matches folders only; a leading '!' brings back what an earlier
// pattern left out (the last matching pattern decides, as in git).
//
// Patterns are checked once, when added: a malformed one (an unclosed '[', an unknown
// "[:class:]", a trailing '\') is refused with a reason and leaves the set unchanged.
// Names are bytes and compared as bytes.
//
// Threads: add() before sharing; excludes() is const and may run on any thread.
class ExcludePatterns {
public:
    // Adds one pattern as given on the command line. Blank patterns are refused.
    [[nodiscard]] bool add(std::string_view pattern, std::string& error);
    // Adds every line of a file, gitignore-style: blank lines and lines starting with
    // '#' are skipped, unescaped trailing spaces dropped. On a malformed line nothing
    // of the file is kept.
    [[nodiscard]] bool addFile(const std::string& path, std::string& error);

    [[nodiscard]] bool empty() const { return m_patterns.empty(); }
    [[nodiscard]] std::size_t size() const { return m_patterns.size(); }
    // True when some pattern needs the path below the root, not only the name.
    [[nodiscard]] bool needsPaths() const { return m_pathPatterns.last >= 0; }
    // Every pattern in order, as add() takes it: adding them again gives the same set.
    [[nodiscard]] const std::vector<std::string>& lines() const { return m_lines; }

    // `folder` is the path of the entry's folder below the root ("" for the root
    // itself), read only when needsPaths().
    [[nodiscard]] bool excludes(std::string_view folder, std::string_view name, bool isFolder) const;

    // Git's wildmatch with path semantics ('*' and '?' stop at '/'); `pattern` must have
    // passed validation.
    [[nodiscard]] static bool match(std::string_view pattern, std::string_view text);
    // Empty when `pattern` is well formed, else why not.
    [[nodiscard]] static std::string problem(std::string_view pattern);

private:
    struct Pattern {
        std::string glob;
        std::string prefix; // the literal bytes every match starts with
        bool negated = false;
        bool folderOnly = false;
    };
    struct Latest {
        int any = -1;
        int folderOnly = -1;
    };
    // Up to eight leading bytes of a text as one word, and which of them count: a
    // pattern's literal start is compared with a text in one step, before any string
    // is read. A necessary test only: equal heads still need the full comparison.
    struct Head {
        std::uint64_t word = 0;
        std::uint64_t mask = 0;
        static Head of(std::string_view first, std::string_view second = {});
        [[nodiscard]] bool mayStart(std::uint64_t text) const { return (text & mask) == word; }
    };
    // Pattern indexes grouped by the first byte of their literal start: a text is tried
    // only against the patterns it could match at all.
    struct FirstByteIndex {
        struct Entry {
            int index;
            Head head;
        };
        struct Bucket {
            std::vector<Entry> entries;
            Head shared; // the head bytes all entries agree on: one test can pass them all over
        };
        std::vector<Entry> open; // patterns whose literal start is empty
        std::array<Bucket, 256> byByte;
        int last = -1; // the latest index held

        void add(int index, std::string_view prefix);
        // The latest index above `above` for which `matches` holds, among the patterns
        // a text with head `head` may match; else `above`.
        template <typename Matches> int latest(std::uint64_t head, int above, Matches&& matches) const;
    };
    // A bit per (length, first and last byte) of a map's keys: most names are told apart
    // from every key without hashing them.
    struct KeyFilter {
        std::bitset<4096> bits;
        static std::size_t slot(std::string_view key)
        {
            return key.empty() ? 0
                               : (key.size() * 131 + static_cast<unsigned char>(key.front()) * 31
                                     + static_cast<unsigned char>(key.back()))
                    & 4095;
        }
        void add(std::string_view key) { bits.set(slot(key)); }
        [[nodiscard]] bool mayHold(std::string_view key) const { return bits.test(slot(key)); }
    };
    struct Hash {
        using is_transparent = void;
        std::size_t operator()(std::string_view s) const { return std::hash<std::string_view> {}(s); }
    };

    bool addLine(std::string_view line, std::string& error);
    [[nodiscard]] int latestNameMatch(std::string_view name, bool isFolder, int above) const;
    [[nodiscard]] int latestPathMatch(
        std::string_view folder, std::string_view name, bool isFolder, int above) const;

    std::vector<Pattern> m_patterns;
    std::vector<std::string> m_lines; // parallel to m_patterns
    // Name patterns without wildcards, by name: the latest index of each kind.
    std::unordered_map<std::string, Latest, Hash, std::equal_to<>> m_literal;
    // "*.ext"-shaped name patterns, by the text after their last '.'.
    std::unordered_map<std::string, std::vector<int>, Hash, std::equal_to<>> m_suffix;
    KeyFilter m_literalKeys;
    KeyFilter m_suffixKeys;
    FirstByteIndex m_namePatterns; // every other name pattern
    FirstByteIndex m_pathPatterns;
};
