// SPDX-License-Identifier: MIT
#pragma once

#include "scan/NodeArena.h"
#include "scan/Progress.h"

#include <QObject>

#include <cstdint>
#include <memory>

class DirectoryReader;
class ExcludePatterns;
class FileNode;
class Scanner;
class TallyfernDocument;
class Thread;

// The scans of one document, without any widget: the full scan on a thread of its own
// (which installs the tree into the document), its progress, and folder rescans whose
// results are handed back only while the folder still hangs in the same installed tree.
//
// Threads: every member function runs on the main thread, and every signal comes on it.
// The scan thread touches the document only before `finished` is emitted, while the
// document's user keeps its views off the tree.
class ScanJob : public QObject {
    Q_OBJECT
public:
    // Full scans list folders through `reader` (which outlives the job); folder rescans
    // always through the system's.
    explicit ScanJob(std::shared_ptr<TallyfernDocument> document, const DirectoryReader& reader,
        QObject* parent = nullptr);
    // Cancels a running scan and waits for its thread; results still on their way are
    // dropped.
    ~ScanJob() override;

    // What the scans started from now on leave out (null: nothing), and whether they enter
    // other local file systems; a folder rescan applies the patterns as the full scan does.
    void setOptions(std::shared_ptr<const ExcludePatterns> excludes, bool crossFileSystems);

    // Starts a full scan; nothing happens while one runs.
    void start();
    // Reads the saved scan in `file` instead, off this thread as a scan runs, and installs
    // it; a file that cannot be read ends as a scan that failed, with the reader's message
    // (naming the file and the offset). Nothing happens while a scan runs.
    void load(const std::string& file);
    void cancel();
    [[nodiscard]] bool isScanning() const { return m_scanner != nullptr || m_load != nullptr; }
    // The running full scan's counters (all zero when none runs); of a load, the entries
    // read so far, as files.
    [[nodiscard]] Progress progress() const;

    // Scans `folder` again in the background; `rescanReady` hands the result over.
    void rescan(FileNode* folder);
    [[nodiscard]] int rescansRunning() const { return m_rescans; }

signals:
    // A full scan ended; unless cancelled its tree is installed, with its duration (from
    // the start to the installed tree) and unreadable count. `failure` says why a scan
    // stopped short (then it counts as cancelled); `treeLost` when memory ran out while the
    // tree was being installed, which leaves the document's tree unusable.
    void finished(bool cancelled, const QString& failure, bool treeLost);
    // A folder rescan's new contents (already classified), handed over only while the
    // folder still hangs in the tree it was started on and no full scan runs.
    void rescanReady(FileNode* folder, std::shared_ptr<FileTree> contents, std::int64_t unreadable);
    // A folder rescan stopped short for `reason`; the folder keeps its contents.
    void rescanFailed(FileNode* folder, const QString& reason);
    // The number of running scans changed.
    void stateChanged();

private:
    void scanEnded(bool cancelled, const QString& failure, bool treeLost);
    void rescanEnded(FileNode* folder, std::shared_ptr<FileTree> contents, std::int64_t unreadable,
        std::uint64_t generation, const QString& failure);

    std::shared_ptr<TallyfernDocument> m_document; // shared with the scan thread
    const DirectoryReader& m_reader;
    std::shared_ptr<Scanner> m_scanner; // present exactly while a full scan runs
    struct Load;
    std::shared_ptr<Load> m_load; // present exactly while a saved scan is read
    std::shared_ptr<const ExcludePatterns> m_excludes; // shared with the scans using them
    bool m_crossFileSystems = false;
    std::unique_ptr<Thread> m_thread;
    // Counts installed trees: a folder rescan started on an older tree is dropped.
    std::uint64_t m_generation = 0;
    int m_rescans = 0;
};
