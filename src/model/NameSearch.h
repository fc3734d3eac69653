// SPDX-License-Identifier: MIT
#pragma once

#include "scan/FileNode.h"

#include <QRegularExpression>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

// Finds items of a tree by name, on the shared worker pool.
//
// A query is a case-insensitive substring, or a glob when it holds '*', '?' or '[' (then
// it must match the whole name), or, when asked, a regular expression (searched in the
// name, case-insensitive). Names are bytes; the regular expression sees them decoded
// from UTF-8. The root and pseudo items are never results.
class NameSearch {
public:
    struct Found {
        std::vector<const FileNode*> items; // largest first, then by name bytes
        std::int64_t size = 0; // each byte once, though a folder and items inside it match
    };

    // Nullopt, with the reason, when the glob or the regular expression is malformed.
    [[nodiscard]] static std::optional<NameSearch> compile(
        const std::string& query, bool regularExpression, std::string& error);

    // Every match below `root`, or nullopt once `cancelled` is set. The tree must not
    // change meanwhile.
    [[nodiscard]] std::optional<Found> run(const FileNode* root, const std::atomic<bool>& cancelled) const;

    // The same answer from one thread, in the plainest way (for comparison).
    [[nodiscard]] Found runSerially(const FileNode* root) const;

    [[nodiscard]] bool matches(std::string_view name) const;

private:
    enum class Mode { Substring, Glob, Regex };
    Mode m_mode = Mode::Substring;
    std::string m_folded; // the query, case-folded (only ASCII letters lowered when it is ASCII)
    // A substring: the folded query is ASCII. A glob: the query is. Then an ASCII name is
    // matched without decoding it.
    bool m_asciiOnly = true;
    std::string m_literal; // bytes every ASCII name a glob matches holds, lowered; maybe none
    QRegularExpression m_regex;
};

// One search field's succession of queries: starting a search cancels the one before.
class SearchSession {
public:
    using Flag = std::shared_ptr<std::atomic<bool>>;
    // Cancels the running search, if any, and returns the flag of the next.
    [[nodiscard]] Flag renew();
    void cancel();

private:
    std::mutex m_lock;
    Flag m_current;
};
