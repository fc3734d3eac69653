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

    // Before run(): entries `patterns` matches (which must outlive run()) become flagged
    // empty items, never listed into or counted.
    void setExcludes(const ExcludePatterns* patterns);
    // Before run(): enter local disk file systems mounted below the root (never network
    // or pseudo ones) instead of stopping at every mount point.
    void setCrossFileSystems(bool cross);

    // Scans everything below rootPath. Returns a root even when cancelled or when the
    // root cannot be read (then flagged unreadable, no children, zero totals).
    [[nodiscard]] FileTree run();

    // A copy of the counters, taken under the lock.
    [[nodiscard]] Progress progress() const;
    void cancel();
    [[nodiscard]] bool isCancelled() const;

    [[nodiscard]] const std::string& rootPath() const;

    // Fills in folder totals and child order below `node`, iteratively.
    static void finalize(FileNode* node);
    // Totals of one folder from its children's, then its child order.
    static void sumChildren(FileNode* folder);
    // 2 × processors, clamped to 4…16.
    [[nodiscard]] static int workerCount(int processors);

private:
    struct State;
    std::unique_ptr<State> m_state;
};
