// SPDX-License-Identifier: MIT
#pragma once

#include "scan/NodeArena.h"
#include "scan/ScanWriter.h"

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>

class ScanSource;

// A scan read back from a file in the ncdu JSON export format (as ncdu 1.x and 2, gdu
// and this program write it), built into the same tree a live scan gives.
struct SavedScan {
    FileTree tree;
    ScanMetadata metadata;
    std::int64_t directories = 0; // folders listed, as the scanner counts them
    std::int64_t unreadable = 0; // folders that carried read_error
    // The file marks hard links on some links only (gdu marks all but the first), so a
    // file with several links may be counted more than once.
    bool hardLinksMayCountTwice = false;
};

// The file is untrusted: anything malformed, out of range or truncated gives no tree
// and one message naming the file and, where it applies, the byte offset. Parsing is
// iterative and streaming: memory grows with the tree, not with the file.
namespace ScanReader {

// `cancel`, when given, is polled now and then; a cancelled read fails with a message.
// `entriesRead`, when given, is set now and then to the count of entries read so far.
[[nodiscard]] std::optional<SavedScan> read(ScanSource& source, std::string& error,
    const std::atomic<bool>* cancel = nullptr, std::atomic<std::int64_t>* entriesRead = nullptr);

// Whether `path` is a regular file that looks like a saved scan: its (decompressed)
// content begins as one does, or its name ends in .json, .json.gz or .json.zst (so that a
// damaged saved scan is refused with the reader's message rather than taken for
// something else).
[[nodiscard]] bool isSavedScan(const std::string& path);

} // namespace ScanReader
