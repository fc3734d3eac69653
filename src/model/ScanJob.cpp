// SPDX-License-Identifier: MIT
#include "model/ScanJob.h"

#include "model/TallyfernDocument.h"
#include "model/TreeQueries.h"
#include "platform/MainThread.h"
#include "platform/Thread.h"
#include "scan/ExcludePatterns.h"
#include "scan/ScanReader.h"
#include "scan/ScanStream.h"
#include "scan/ScanWriter.h"
#include "scan/Scanner.h"

#include <QPointer>

#include <chrono>
#include <new>

namespace {

// A full scan and its install walk deep trees.
constexpr std::size_t kScanStackBytes = 64u << 20;
// Below the main thread, so the window keeps answering while the scan fills every core.
constexpr int kScanNiceIncrement = 3;

// An absolute path without "." or ".." steps: one that can only mean one place here.
bool isPlainAbsolute(std::string_view path)
{
    if (path.empty() || path.front() != '/')
        return false;
    std::size_t start = 1;
    while (start <= path.size()) {
        std::size_t end = path.find('/', start);
        if (end == std::string_view::npos)
            end = path.size();
        const std::string_view step = path.substr(start, end - start);
        if (step == "." || step == "..")
            return false;
        start = end + 1;
    }
    return true;
}

} // namespace

struct ScanJob::Load {
    std::atomic<bool> cancel { false };
    std::atomic<std::int64_t> entries { 0 };
};

ScanJob::ScanJob(std::shared_ptr<TallyfernDocument> document, const DirectoryReader& reader, QObject* parent)
    : QObject(parent)
    , m_document(std::move(document))
    , m_reader(reader)
{
}

ScanJob::~ScanJob()
{
    cancel();
    // The thread installs into the document and reads the scanner: both stay until it ends.
    m_thread.reset();
}

void ScanJob::start()
{
    if (m_scanner)
        return;
    m_thread.reset();
    m_scanner = std::make_shared<Scanner>(m_document->path(), m_reader);
    m_scanner->setExcludes(m_excludes.get());
    m_scanner->setCrossFileSystems(m_crossFileSystems);
    auto body = [document = m_document, scanner = m_scanner, excludes = m_excludes,
                    self = QPointer<ScanJob>(this), start = std::chrono::steady_clock::now()] {
        FileTree tree = scanner->run();
        // Memory that ran out stops the scan as a cancellation does: the document keeps
        // what it had.
        Scanner::Failure failure = scanner->failure();
        bool cancelled = scanner->isCancelled();
        bool treeLost = false;
        if (!cancelled) {
            try {
                document->install(std::move(tree));
                document->scanDuration
                    = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
                document->unreadableCount = scanner->progress().unreadable;
            } catch (const std::bad_alloc&) {
                cancelled = treeLost = true;
                failure = Scanner::Failure::OutOfMemory;
            }
        }
        const QString reason = QString::fromUtf8(Scanner::describe(failure));
        Dispatch::postToMain([self, cancelled, reason, treeLost] {
            if (self)
                self->scanEnded(cancelled, reason, treeLost);
        });
    };
    m_thread = std::make_unique<Thread>(
        body, Thread::Options { .stackSize = kScanStackBytes, .niceIncrement = kScanNiceIncrement });
    if (!m_thread->started())
        body(); // no thread at all: run here rather than never
    emit stateChanged();
}

void ScanJob::load(const std::string& file)
{
    if (isScanning())
        return;
    m_thread.reset();
    m_load = std::make_shared<Load>();
    auto body = [document = m_document, load = m_load, file, self = QPointer<ScanJob>(this),
                    start = std::chrono::steady_clock::now()] {
        std::string error;
        bool cancelled = true;
        bool treeLost = false;
        try {
            ScanSource source(file);
            std::optional<SavedScan> scan = ScanReader::read(source, error, &load->cancel, &load->entries);
            if (scan) {
                SavedScanOrigin origin { file, scan->metadata, false, scan->hardLinksMayCountTwice };
                origin.madeHere = !origin.metadata.host.empty()
                    && origin.metadata.host == ScanWriter::hostName()
                    && isPlainAbsolute(scan->tree.root->name());
                const std::int64_t unreadable = scan->unreadable;
                cancelled = false;
                treeLost = true; // until the install is through
                document->installSaved(std::move(*scan), std::move(origin));
                treeLost = false;
                document->scanDuration
                    = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
                document->unreadableCount = unreadable;
            }
        } catch (const std::bad_alloc&) {
            cancelled = true;
            error = file + ": not enough memory for the scan";
        }
        // The user's own cancel is no failure to report.
        if (load->cancel.load())
            error.clear();
        Dispatch::postToMain([self, cancelled, reason = QString::fromStdString(error), treeLost] {
            if (self)
                self->scanEnded(cancelled, reason, treeLost);
        });
    };
    m_thread = std::make_unique<Thread>(
        body, Thread::Options { .stackSize = kScanStackBytes, .niceIncrement = kScanNiceIncrement });
    if (!m_thread->started())
        body();
    emit stateChanged();
}

void ScanJob::setOptions(std::shared_ptr<const ExcludePatterns> excludes, bool crossFileSystems)
{
    m_excludes = std::move(excludes);
    m_crossFileSystems = crossFileSystems;
}

void ScanJob::cancel()
{
    if (m_scanner)
        m_scanner->cancel();
    if (m_load)
        m_load->cancel.store(true);
}

Progress ScanJob::progress() const
{
    if (m_load) {
        Progress read;
        read.files = m_load->entries.load(std::memory_order_relaxed);
        return read;
    }
    return m_scanner ? m_scanner->progress() : Progress {};
}

void ScanJob::scanEnded(bool cancelled, const QString& failure, bool treeLost)
{
    m_scanner.reset();
    m_load.reset();
    m_thread.reset(); // the thread has posted its last word; joining is immediate
    if (!cancelled)
        ++m_generation;
    emit finished(cancelled, failure, treeLost);
    emit stateChanged();
}

void ScanJob::rescan(FileNode* folder)
{
    ++m_rescans;
    emit stateChanged();
    auto document = m_document;
    const std::uint64_t generation = m_generation;
    // The folder's path below the scanned root, where the patterns' paths start.
    std::string base;
    for (const FileNode* up = folder; up && up->parent; up = up->parent)
        base.insert(0, base.empty() ? std::string(up->name()) : std::string(up->name()) + '/');
    Dispatch::runInBackground(
        [document, self = QPointer<ScanJob>(this), folder, path = folder->path(), generation,
            excludes = m_excludes, cross = m_crossFileSystems, base = std::move(base)] {
            Scanner scanner(path);
            scanner.setExcludes(excludes.get());
            scanner.setExcludeBase(base);
            scanner.setCrossFileSystems(cross);
            auto contents = std::make_shared<FileTree>(scanner.run());
            Scanner::Failure failure = scanner.failure();
            std::int64_t unreadable = 0;
            if (failure == Scanner::Failure::None) {
                try {
                    // Classifying reads only the registry, which takes its own lock.
                    document->classify(contents->root);
                    unreadable = scanner.progress().unreadable;
                } catch (const std::bad_alloc&) {
                    failure = Scanner::Failure::OutOfMemory;
                }
            }
            // An incomplete rescan is never spliced in as if it were whole: the folder
            // keeps its old contents.
            if (failure != Scanner::Failure::None)
                *contents = FileTree();
            const QString reason = QString::fromUtf8(Scanner::describe(failure));
            Dispatch::postToMain([self, folder, contents, unreadable, generation, reason] {
                if (self)
                    self->rescanEnded(folder, contents, unreadable, generation, reason);
            });
        });
}

void ScanJob::rescanEnded(FileNode* folder, std::shared_ptr<FileTree> contents, std::int64_t unreadable,
    std::uint64_t generation, const QString& failure)
{
    --m_rescans;
    // After a full rescan the folder belongs to a tree that is gone; nothing of it may be
    // read. Otherwise it must still hang in the tree (not trashed, not replaced).
    if (!isScanning() && generation == m_generation && TreeQueries::isAttached(folder, m_document->root())) {
        if (failure.isEmpty())
            emit rescanReady(folder, std::move(contents), unreadable);
        else
            emit rescanFailed(folder, failure);
    }
    emit stateChanged();
}
