// SPDX-License-Identifier: MIT
#pragma once

#include "scan/NodeArena.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>

class ScanSink;

// What a saved scan says about itself besides the tree. ncdu writes the first three;
// readers ignore keys they do not know, so the others travel in the same object.
struct ScanMetadata {
    std::string progname;
    std::string progver;
    std::optional<std::int64_t> timestamp; // Unix seconds when the file was written
    std::string host; // where the scan was made; empty when unknown
    std::optional<std::int64_t> capacity; // the scanned volume's size in bytes
    std::optional<std::int64_t> available; // its free space in bytes
    std::optional<std::uint64_t> device; // the scanned folder's device number
    // Mount point of the scanned volume: when it is the scanned folder itself, the
    // scan covers the whole volume and its free space can be shown beside it.
    std::string volumePath;
};

// Writes a tree in the ncdu JSON export format (major 1, minor 2), names byte for byte.
namespace ScanWriter {

// This machine's name; empty when the system does not give one.
[[nodiscard]] std::string hostName();

// This program, this host, now, and the facts of the volume holding `rootPath`.
[[nodiscard]] ScanMetadata metadataFor(const std::string& rootPath);

// Streams `tree` into `sink` without copying it; pseudo items are left out. Returns
// sink.ok(); the caller commits.
bool write(const FileTree& tree, const ScanMetadata& metadata, ScanSink& sink);
// The same for a tree whose notes are kept apart from its arena. `sizesSwapped`: each
// node's `size` holds its logical bytes and `logicalSize` its allocated ones.
bool write(const FileNode* root, std::span<const EntryNote> notes, const ScanMetadata& metadata,
    ScanSink& sink, bool sizesSwapped = false);

} // namespace ScanWriter
