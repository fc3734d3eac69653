// SPDX-License-Identifier: MIT
#pragma once

#include "scan/FileNode.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace scantest {

// A fresh folder below the system's temporary folder, removed with everything in it
// (however deep, whatever its permissions) when the object goes.
class TempDir {
public:
    // Below `base` when given and usable (a memory file system makes huge fixtures
    // cheap to remove), else below $TMPDIR or /tmp.
    explicit TempDir(const char* base = nullptr);
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    [[nodiscard]] const std::string& path() const { return m_path; }
    // path() + "/" + relative
    [[nodiscard]] std::string operator/(std::string_view relative) const;

private:
    std::string m_path;
};

// Joins path pieces with "/".
[[nodiscard]] inline std::string operator/(const std::string& path, std::string_view name)
{
    std::string joined = path;
    joined += '/';
    joined += name;
    return joined;
}

// Fixture building; each fails the running test (ADD_FAILURE) when the system refuses.
void makeDir(const std::string& path);
void writeFile(const std::string& path, std::size_t bytes);
// A file of `logical` bytes with only its first block written.
void writeSparse(const std::string& path, std::int64_t logical);
void makeLink(const std::string& target, const std::string& path);
void makeSymlink(const std::string& target, const std::string& path);
void makeFifo(const std::string& path);
struct DiskSize {
    std::int64_t allocated = 0;
    std::int64_t logical = 0;
    std::uint64_t inode = 0;
};

// `levels` nested folders named `name` below `root`, made relative to each other so
// that the depth is not limited by the longest path the system accepts. With
// `leafBytes`, the bottom folder gets a file "leaf" of that size, whose sizes are
// returned.
DiskSize makeChain(const std::string& root, int levels, const std::string& name, std::size_t leafBytes = 0);
[[nodiscard]] DiskSize sizeOf(const std::string& path);

// The child of `node` whose name bytes equal `name`, or nullptr.
[[nodiscard]] FileNode* childNamed(const FileNode* node, std::string_view name);
// Follows a "/"-separated relative path of names from `root`.
[[nodiscard]] FileNode* find(const FileNode* root, std::string_view relative);

// Every broken rule of a finished tree, one line each: folder totals that are not the
// sums of the children, children whose parent link is wrong, children out of order.
// Walks iteratively. Empty when the tree is consistent.
[[nodiscard]] std::vector<std::string> consistencyFaults(const FileNode* root);

// About 20,000 entries below the existing folder `root`: files of many sizes, sparse
// files, hard links inside and to `outside` (created), symbolic links, FIFOs, empty
// folders and names that are not UTF-8. The same every time.
void buildMixedTree(const std::string& root, const std::string& outside);
// One such tree per test program, built on first use and never changed: scan it only.
[[nodiscard]] const std::string& sharedMixedTree();

// What an independent walk (find -xdev) finds below `root`, hard links counted once.
struct Census {
    std::int64_t files = 0;
    std::int64_t dirs = 0;
    std::int64_t allocated = 0;
    std::int64_t logical = 0;
};
[[nodiscard]] Census census(const std::string& root);

// Runs argv (no shell) and returns its standard output; `status` gets the exit status.
[[nodiscard]] std::string capture(const std::vector<std::string>& argv, int* status = nullptr);
// The application binary of the same build as this test program.
[[nodiscard]] std::string tallyfernBinary();

} // namespace scantest
