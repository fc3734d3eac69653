// SPDX-License-Identifier: MIT
#pragma once

#include "scan/FileNode.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// Checks the names and sorts the children of closed folders on a second thread while a
// reader builds the rest of the tree. A folder handed over is never touched by the
// reader again; its totals are already set.
//
// Threads: add() and finish() belong to the reader's thread; the folders are finished on
// the class's own thread (or, when none could be started, by finish()).
class FolderFinisher {
public:
    FolderFinisher();
    ~FolderFinisher();
    FolderFinisher(const FolderFinisher&) = delete;
    FolderFinisher& operator=(const FolderFinisher&) = delete;

    void add(FileNode* folder);
    // Waits until every folder handed over is done. Returns the first duplicate name
    // found, described, or empty.
    [[nodiscard]] std::string finish();

private:
    void handOver();
    void run();
    void finishOne(FileNode* folder);
    void checkNamesUnique(const FileNode* folder);

    std::thread m_thread;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<std::vector<FileNode*>> m_queue; // guarded by m_mutex
    bool m_done = false; // guarded by m_mutex
    std::vector<FileNode*> m_batch; // the reader's, not yet handed over
    // The finishing thread's own; read by the reader only after the join.
    std::string m_error;
    std::vector<std::uint32_t> m_slots;
};
