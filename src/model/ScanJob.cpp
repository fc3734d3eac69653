// SPDX-License-Identifier: MIT
#include "model/ScanJob.h"

#include "model/TallyfernDocument.h"
#include "model/TreeQueries.h"
#include "platform/MainThread.h"
#include "platform/Thread.h"
#include "scan/Scanner.h"

#include <QPointer>

#include <chrono>

namespace {

// A full scan and its install walk deep trees.
constexpr std::size_t kScanStackBytes = 64u << 20;
// Below the main thread, so the window keeps answering while the scan fills every core.
constexpr int kScanNiceIncrement = 3;

} // namespace

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
    auto body = [document = m_document, scanner = m_scanner, self = QPointer<ScanJob>(this),
                    start = std::chrono::steady_clock::now()] {
        FileTree tree = scanner->run();
        const bool cancelled = scanner->isCancelled();
        if (!cancelled) {
            document->install(std::move(tree));
            document->scanDuration
                = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            document->unreadableCount = scanner->progress().unreadable;
        }
        Dispatch::postToMain([self, cancelled] {
            if (self)
                self->scanEnded(cancelled);
        });
    };
    m_thread = std::make_unique<Thread>(
        body, Thread::Options { .stackSize = kScanStackBytes, .niceIncrement = kScanNiceIncrement });
    if (!m_thread->started())
        body(); // no thread at all: run here rather than never
    emit stateChanged();
}

void ScanJob::cancel()
{
    if (m_scanner)
        m_scanner->cancel();
}

Progress ScanJob::progress() const
{
    return m_scanner ? m_scanner->progress() : Progress {};
}

void ScanJob::scanEnded(bool cancelled)
{
    m_scanner.reset();
    m_thread.reset(); // the thread has posted its last word; joining is immediate
    if (!cancelled)
        ++m_generation;
    emit finished(cancelled);
    emit stateChanged();
}

void ScanJob::rescan(FileNode* folder)
{
    ++m_rescans;
    emit stateChanged();
    auto document = m_document;
    const std::uint64_t generation = m_generation;
    Dispatch::runInBackground(
        [document, self = QPointer<ScanJob>(this), folder, path = folder->path(), generation] {
            Scanner scanner(path);
            auto contents = std::make_shared<FileTree>(scanner.run());
            // Classifying reads only the registry, which takes its own lock.
            document->classify(contents->root);
            const std::int64_t unreadable = scanner.progress().unreadable;
            Dispatch::postToMain([self, folder, contents, unreadable, generation] {
                if (self)
                    self->rescanEnded(folder, contents, unreadable, generation);
            });
        });
}

void ScanJob::rescanEnded(
    FileNode* folder, std::shared_ptr<FileTree> contents, std::int64_t unreadable, std::uint64_t generation)
{
    --m_rescans;
    // After a full rescan the folder belongs to a tree that is gone; nothing of it may be
    // read. Otherwise it must still hang in the tree (not trashed, not replaced).
    if (!isScanning() && generation == m_generation && TreeQueries::isAttached(folder, m_document->root()))
        emit rescanReady(folder, std::move(contents), unreadable);
    emit stateChanged();
}
