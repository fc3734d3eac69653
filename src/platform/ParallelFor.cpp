// SPDX-License-Identifier: MIT
#include "platform/ParallelFor.h"

#include "platform/Thread.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace Dispatch {
namespace {

constexpr int kHelperNiceIncrement = 5;

// One parallelFor call. Iterations are claimed through `next`; the caller waits until
// `finished` reaches `count`.
struct Batch {
    std::size_t count = 0;
    const std::function<void(std::size_t)>* body = nullptr;
    std::atomic<std::size_t> next { 0 };
    std::atomic<std::size_t> finished { 0 };
    unsigned helpersLeft = 0; // guarded by the pool mutex
    std::mutex doneMutex;
    std::condition_variable doneSignal;

    // Runs iterations until none is left to claim.
    void work()
    {
        std::size_t done = 0;
        for (;;) {
            const std::size_t i = next.fetch_add(1, std::memory_order_relaxed);
            if (i >= count)
                break;
            (*body)(i);
            ++done;
        }
        if (done && finished.fetch_add(done, std::memory_order_acq_rel) + done == count) {
            std::lock_guard lock(doneMutex);
            doneSignal.notify_all();
        }
    }
};

class Pool {
public:
    Pool()
    {
        const unsigned n = std::max(1u, std::thread::hardware_concurrency());
        for (unsigned i = 0; i < n; ++i)
            m_threads.emplace_back([this] {
                // Helpers of background work (renders, searches): the main thread, which
                // paints what an edit changed while they work, comes first.
                runBelowMainThread(kHelperNiceIncrement);
                loop();
            });
    }
    ~Pool()
    {
        {
            std::lock_guard lock(m_mutex);
            m_stopping = true;
        }
        m_wake.notify_all();
        for (auto& t : m_threads)
            t.join();
    }

    unsigned size() const { return unsigned(m_threads.size()); }

    void run(const std::shared_ptr<Batch>& batch, unsigned helpers)
    {
        if (helpers > 0) {
            {
                std::lock_guard lock(m_mutex);
                batch->helpersLeft = helpers;
                m_batches.push_back(batch);
            }
            m_wake.notify_all();
        }
        batch->work();
        {
            std::unique_lock lock(batch->doneMutex);
            batch->doneSignal.wait(
                lock, [&] { return batch->finished.load(std::memory_order_acquire) == batch->count; });
        }
        if (helpers > 0) {
            std::lock_guard lock(m_mutex);
            std::erase(m_batches, batch);
        }
    }

private:
    void loop()
    {
        for (;;) {
            std::shared_ptr<Batch> batch;
            {
                std::unique_lock lock(m_mutex);
                m_wake.wait(lock, [this] { return m_stopping || !m_batches.empty(); });
                if (m_stopping)
                    return;
                batch = m_batches.front();
                if (--batch->helpersLeft == 0 || batch->next.load() >= batch->count)
                    m_batches.pop_front();
            }
            batch->work();
        }
    }

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<std::shared_ptr<Batch>> m_batches;
    bool m_stopping = false;
    std::vector<std::thread> m_threads;
};

Pool& pool()
{
    static Pool instance;
    return instance;
}

} // namespace

unsigned poolSize()
{
    return pool().size();
}

void parallelFor(std::size_t count, const std::function<void(std::size_t)>& body, unsigned maxHelpers)
{
    if (count == 0)
        return;
    if (count == 1) {
        body(0);
        return;
    }
    auto batch = std::make_shared<Batch>();
    batch->count = count;
    batch->body = &body;
    const unsigned helpers
        = unsigned(std::min<std::size_t>({ std::size_t(maxHelpers), std::size_t(pool().size()), count - 1 }));
    pool().run(batch, helpers);
}

} // namespace Dispatch
