// SPDX-License-Identifier: MIT
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

// A labelled serial queue: one worker thread runs the tasks one at a time, in order.
// async() and sync() may be called from any thread except the queue's own (sync()
// from inside a task of the same queue would wait for itself; it runs inline instead).
// The destructor lets the queued tasks finish, then joins the thread.
class SerialQueue {
public:
    // The worker runs `niceIncrement` below the main thread.
    explicit SerialQueue(std::string label, int niceIncrement = 0);
    ~SerialQueue();
    SerialQueue(const SerialQueue&) = delete;
    SerialQueue& operator=(const SerialQueue&) = delete;

    void async(std::function<void()> task);
    // Runs `task` on the queue after everything queued before it, and returns when it
    // has run.
    void sync(const std::function<void()>& task);

    [[nodiscard]] const std::string& label() const { return m_label; }
    [[nodiscard]] bool isCurrent() const { return std::this_thread::get_id() == m_thread.get_id(); }

private:
    void loop();

    std::string m_label;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<std::function<void()>> m_tasks;
    bool m_stopping = false;
    std::thread m_thread;
};
