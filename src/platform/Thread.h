// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>
#include <functional>

#include <pthread.h>

// Adds `increment` to the calling thread's nice value (Linux keeps one per thread).
// A refusal only costs smoothness, so it is not reported.
void lowerThreadPriority(int increment);
// Makes the calling thread's nice value `increment` more than the main thread's, unless
// it is already that low: threads of a pool made from any thread end up alike.
void runBelowMainThread(int increment);

// A thread with a chosen stack size and a lowered priority, joined by join() or the
// destructor so that nothing its body uses is freed under it. Threads it starts inherit
// its priority.
class Thread {
public:
    struct Options {
        std::size_t stackSize = 0; // 0: the system's default
        int niceIncrement = 0; // added to the starting thread's nice value
    };

    // Starts `body` at once. Falls back to the default stack size if the system refuses
    // the one asked for; when it refuses any thread, started() is false and `body` has
    // not run.
    Thread(std::function<void()> body, Options options);
    ~Thread();
    Thread(const Thread&) = delete;
    Thread& operator=(const Thread&) = delete;

    [[nodiscard]] bool started() const { return m_started; }
    [[nodiscard]] std::size_t stackSize() const { return m_stackSize; }
    void join();

private:
    static void* entry(void* self);

    std::function<void()> m_body;
    int m_niceIncrement = 0;
    pthread_t m_thread {};
    bool m_started = false;
    bool m_joinable = false;
    std::size_t m_stackSize = 0;
};
