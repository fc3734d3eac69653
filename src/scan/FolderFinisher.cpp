// SPDX-License-Identifier: MIT
#include "scan/FolderFinisher.h"

#include <functional>
#include <string_view>
#include <system_error>

FolderFinisher::FolderFinisher()
{
    try {
        m_thread = std::thread([this] { run(); });
    } catch (const std::system_error&) {
        // Without a thread, finish() does the work on the reader's thread.
    }
}

FolderFinisher::~FolderFinisher()
{
    (void)finish();
}

void FolderFinisher::add(FileNode* folder)
{
    m_batch.push_back(folder);
    if (m_batch.size() >= 512 && m_thread.joinable())
        handOver();
}

std::string FolderFinisher::finish()
{
    if (m_thread.joinable()) {
        handOver();
        {
            std::lock_guard lock(m_mutex);
            m_done = true;
        }
        m_wake.notify_one();
        m_thread.join();
    }
    for (FileNode* folder : m_batch)
        finishOne(folder);
    m_batch.clear();
    return m_error;
}

void FolderFinisher::handOver()
{
    {
        std::lock_guard lock(m_mutex);
        m_queue.push_back(std::move(m_batch));
    }
    m_batch = {};
    m_wake.notify_one();
}

void FolderFinisher::run()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return !m_queue.empty() || m_done; });
        if (m_queue.empty())
            return;
        std::vector<FileNode*> batch = std::move(m_queue.front());
        m_queue.pop_front();
        lock.unlock();
        for (FileNode* folder : batch)
            finishOne(folder);
        lock.lock();
    }
}

void FolderFinisher::finishOne(FileNode* folder)
{
    if (m_error.empty())
        checkNamesUnique(folder);
    folder->sortChildren();
}

// An open-addressing table of child indexes, reused from folder to folder: no sorting
// and no allocation per folder.
void FolderFinisher::checkNamesUnique(const FileNode* folder)
{
    const std::span<FileNode* const> children = folder->children();
    if (children.size() < 2)
        return;
    std::size_t capacity = 16;
    while (capacity < children.size() * 2)
        capacity *= 2;
    m_slots.assign(capacity, UINT32_MAX);
    const std::size_t mask = capacity - 1;
    for (std::size_t i = 0; i < children.size(); ++i) {
        const std::string_view name = children[i]->name();
        for (std::size_t slot = std::hash<std::string_view>()(name) & mask;; slot = (slot + 1) & mask) {
            if (m_slots[slot] == UINT32_MAX) {
                m_slots[slot] = std::uint32_t(i);
                break;
            }
            if (children[m_slots[slot]]->name() == name) {
                m_error = "the name \"" + std::string(name) + "\" appears twice in " + folder->path();
                return;
            }
        }
    }
}
