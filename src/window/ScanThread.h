// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>
#include <functional>

#include <pthread.h>

// One thread with a stack of a chosen size (a full scan and its install walk deep
// trees). Joined by wait() or the destructor, so nothing it uses is freed under it.
//
// The thread runs a little below the main thread's priority (threads it starts inherit
// that), as work the user waits for but not the interface itself: the window keeps
// answering while the scan fills every core.
class ScanThread {
public:
    static constexpr std::size_t kStackSize = 64u * 1024u * 1024u;
    // Added to the nice value of the starting thread.
    static constexpr int kNiceIncrement = 3;

    // Starts `body` at once. Falls back to the default stack size if the system
    // refuses the larger one.
    explicit ScanThread(std::function<void()> body, std::size_t stackSize = kStackSize);
    ~ScanThread();
    ScanThread(const ScanThread&) = delete;
    ScanThread& operator=(const ScanThread&) = delete;

    void wait();
    [[nodiscard]] std::size_t stackSize() const { return m_stackSize; }

private:
    static void* entry(void* self);

    std::function<void()> m_body;
    pthread_t m_thread {};
    bool m_joinable = false;
    std::size_t m_stackSize = 0;
};
