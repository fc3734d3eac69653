// SPDX-License-Identifier: MIT
#pragma once

#include "scan/NodeArena.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

// A deterministic generator of realistic folder trees for benchmarks: about one folder
// per twenty files, depth up to 12, uneven fan-out, sizes from 0 bytes to hundreds of MB,
// about 1% hard links, some symbolic links and FIFOs. The same seed and size always give
// the same tree.
namespace TreeGenerator {

enum class EntryType { Folder, File, HardLink, Symlink, Fifo };

struct Entry {
    EntryType type = EntryType::File;
    std::string path; // relative to the root, "/"-separated
    std::int64_t size = 0; // logical bytes of a file
    std::string target; // HardLink: relative path of an earlier file; Symlink: the link text
};

struct Options {
    std::size_t targetFiles = 1'000'000; // non-folder entries
    std::uint64_t seed = 20261206;
};

// Calls `visit` for every entry; a folder comes before everything inside it, and a hard
// link's target before the link.
void generate(const Options& options, const std::function<void(const Entry&)>& visit);

// Files above this size are written sparse: one block of data, then a hole.
inline constexpr std::int64_t kDenseLimit = 16 * 1024;

// The tree as a scan of writeToDisk's output would return it on a 4 KiB-block file
// system, finalised (totals and child order), without touching the disk.
[[nodiscard]] FileTree buildInMemory(const Options& options = {});

// Creates the tree below `root` (created if missing; must be empty). Returns 0 or an
// errno value; `created` receives the number of entries made.
int writeToDisk(const std::string& root, const Options& options = {}, std::size_t* created = nullptr);

} // namespace TreeGenerator
