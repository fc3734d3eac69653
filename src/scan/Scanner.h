// SPDX-License-Identifier: MIT
#pragma once

#include "scan/FileNode.h"
#include "scan/NodeArena.h"
#include "scan/Progress.h"

#include <memory>
#include <string>

class DirectoryReader;
class ExcludePatterns;

// Walks one folder tree with a pool of worker threads and returns it as a FileTree.
// One Scanner serves one run.
//
// Threads: run() blocks its caller while 4 to 16 workers list folders. progress(),
// cancel() and isCancelled() may be called from any thread at any time.
class Scanner {
public:
    explicit Scanner(std::string rootPath);
    // Lists folders through `reader` (which must outlive the scanner) instead of the
    // system's, so that tests can make single calls fail.
    Scanner(std::string rootPath, const DirectoryReader& reader);
    ~Scanner();
    Scanner(const Scanner&) = delete;
    Scanner& operator=(const Scanner&) = delete;

    // Why a run stopped short of a full result. Not for folders that cannot be read:
    // those are flagged and counted, and the run goes on.
    enum class Failure : std::uint8_t {
        None,
        TooFewDescriptors, // the process ran out of file descriptors, even at the raised limit
        PathTooLong, // the root path exceeds FileNode::kMaxNameLength: nothing is listed
        OutOfMemory, // memory ran out: the root is bare, without children or totals
    };

    // Before run(): entries `patterns` matches (which must outlive run()) become flagged
    // empty items, never listed into or counted.
    void setExcludes(const ExcludePatterns* patterns);
    // Before run(): the root's path below the folder whose scan the patterns were written
    // for ("" for that folder itself), so that a rescan of a folder inside it leaves out
    // what the whole scan did.
    void setExcludeBase(std::string base);
    // Before run(): enter local disk file systems mounted below the root (never network
    // or pseudo ones) instead of stopping at every mount point.
    void setCrossFileSystems(bool cross);

    // Scans everything below rootPath. Returns a root even when cancelled, failed or when
    // the root cannot be read (then flagged unreadable, no children, zero totals). Raises
    // the process's soft descriptor limit where a scan needs more. Never throws.
    [[nodiscard]] FileTree run();

    // A copy of the counters, taken under the lock.
    [[nodiscard]] Progress progress() const;
    void cancel();
    // Also true after a failure: the result is incomplete either way.
    [[nodiscard]] bool isCancelled() const;
    [[nodiscard]] Failure failure() const;
    // One line for the user, without a final stop; empty for None.
    [[nodiscard]] static const char* describe(Failure failure);
    [[nodiscard]] bool ranOutOfMemory() const { return failure() == Failure::OutOfMemory; }

    [[nodiscard]] const std::string& rootPath() const;

    // Fills in folder totals and child order below `node`, iteratively.
    static void finalize(FileNode* node);
    // Totals of one folder from its children's, then its child order.
    static void sumChildren(FileNode* folder);
    // 2 × processors, clamped to 4…16.
    [[nodiscard]] static int workerCount(int processors);

private:
    void noteOutOfMemory();

    struct State;
    std::unique_ptr<State> m_state;
};
