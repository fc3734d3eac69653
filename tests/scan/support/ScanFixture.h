// SPDX-License-Identifier: MIT
#pragma once

#include "scan/ScanReader.h"
#include "support/TreeChecks.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace scantest {

// A fresh folder, removed with everything in it (however deep, whatever its
// permissions) when the object goes. Below `base` when given and writable (a memory file
// system makes huge fixtures cheap), else below $TMPDIR or /tmp.
class TempDir {
public:
    explicit TempDir(const char* base = nullptr);
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    [[nodiscard]] const std::string& path() const { return m_path; }
    operator const std::string&() const { return m_path; } // so that `dir / "name"` works

private:
    std::string m_path;
};

[[nodiscard]] inline std::string operator/(const std::string& path, std::string_view name)
{
    return path + "/" + std::string(name);
}

// Each fails the running test when the system refuses.
void makeDir(const std::string& path);
void writeFile(const std::string& path, std::size_t bytes);
void writeSparse(const std::string& path, std::int64_t logical); // only the first block written
void makeLink(const std::string& target, const std::string& path);
void makeSymlink(const std::string& target, const std::string& path);
void makeFifo(const std::string& path);

struct DiskSize {
    std::int64_t allocated = 0;
    std::int64_t logical = 0;
    std::uint64_t inode = 0;
};
[[nodiscard]] DiskSize sizeOf(const std::string& path);
// `levels` nested folders `name` below `root`, made relative to each other so that the
// depth is not limited by the longest path the system accepts; the bottom folder gets a
// file "leaf" of `leafBytes`.
void makeChain(const std::string& root, int levels, const std::string& name, std::size_t leafBytes);

// About 20,000 entries of every sort (sparse files, hard links inside and to a file
// outside, symbolic links, FIFOs, empty folders, names that are not UTF-8), built once
// per test program on first use and never changed: scan it only.
[[nodiscard]] const std::string& sharedMixedTree();

// What an independent walk (find -xdev) finds below `root`, hard links counted once.
struct Census {
    std::int64_t files = 0;
    std::int64_t dirs = 0;
    std::int64_t allocated = 0;
    std::int64_t logical = 0;
    bool operator==(const Census&) const = default;
};
[[nodiscard]] Census census(const std::string& root);
// The same figures of a scanned tree.
[[nodiscard]] inline Census census(const FileNode* root, std::int64_t directories)
{
    return { root->fileCount, directories, root->size, root->logicalSize };
}
void PrintTo(const Census& c, std::ostream* out);

// Runs argv (no shell) and returns its standard output; `status` gets the exit status.
[[nodiscard]] std::string capture(const std::vector<std::string>& argv, int* status = nullptr);
// The application binary of the same build as this test program.
[[nodiscard]] std::string tallyfernBinary();
// Saved in the export format (failing the running test when that fails); read back,
// `error` getting the message, else a failure of the running test.
void save(const FileTree& tree, const std::string& file);
[[nodiscard]] std::optional<SavedScan> load(const std::string& file, std::string* error = nullptr);
[[nodiscard]] std::string readText(const std::string& file);
// A line of totals as `tallyfern --scan` prints it, without its time field once that
// field's form is checked.
[[nodiscard]] std::string withoutTime(const std::string& line);

} // namespace scantest
