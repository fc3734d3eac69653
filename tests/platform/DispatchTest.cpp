// SPDX-License-Identifier: MIT
#include "platform/MainThread.h"
#include "platform/ParallelFor.h"
#include "platform/SerialQueue.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

// One task at a time, in order; sync from the queue's own task runs inline (queued, it
// would deadlock), from other threads after what was queued before; destruction drains.
TEST(SerialQueue, RunsTasksOneAtATimeInOrderSyncsFromAnyThreadAndDrainsOnDestruction)
{
    std::vector<int> order; // touched only by the queue until sync returns
    std::vector<std::string> steps;
    std::atomic<int> running { 0 }, count { 0 };
    std::atomic<bool> overlapped { false };
    {
        SerialQueue queue("Tallyfern.test");
        for (int i = 0; i < 1000; ++i)
            queue.async([&, i] {
                overlapped = overlapped || running.fetch_add(1) != 0;
                order.push_back(i);
                running.fetch_sub(1);
            });
        queue.sync([&] {
            steps.push_back(queue.isCurrent() ? "outer" : "elsewhere");
            queue.sync([&] { steps.push_back("inner"); });
        });
        ASSERT_EQ(order.size(), 1000u) << "sync waits for what was queued before it";
        EXPECT_FALSE(queue.isCurrent());
        std::vector<std::thread> threads;
        for (int t = 0; t < 4; ++t)
            threads.emplace_back([&] {
                for (int i = 0; i < 100; ++i)
                    queue.sync([&] { ++count; });
            });
        for (auto& thread : threads)
            thread.join();
        EXPECT_EQ(count.load(), 400);
        for (int i = 0; i < 100; ++i)
            queue.async([&] { ++count; });
    }
    EXPECT_EQ(count.load(), 500) << "queued tasks finish before the queue goes";
    for (int i = 0; i < 1000; ++i)
        ASSERT_EQ(order[std::size_t(i)], i);
    EXPECT_FALSE(overlapped);
    EXPECT_EQ(steps, (std::vector<std::string> { "outer", "inner" }));
}

TEST(ParallelFor, RunsEveryIndexOnceWithSeveralCallersAtOnce)
{
    constexpr std::size_t kCount = 20000;
    std::vector<std::unique_ptr<std::atomic<int>[]>> hits;
    std::vector<std::thread> callers;
    for (int c = 0; c < 4; ++c)
        hits.emplace_back(new std::atomic<int>[kCount] {});
    for (int c = 0; c < 4; ++c)
        callers.emplace_back(
            [&, c] { Dispatch::parallelFor(kCount, [&](std::size_t i) { ++hits[std::size_t(c)][i]; }); });
    for (auto& caller : callers)
        caller.join();
    for (int c = 0; c < 4; ++c)
        for (std::size_t i = 0; i < kCount; ++i)
            ASSERT_EQ(hits[std::size_t(c)][i].load(), 1) << "caller " << c << " index " << i;

    // Zero helpers: the caller alone.
    const std::thread::id caller = std::this_thread::get_id();
    std::atomic<int> onCaller { 0 };
    int called = 0;
    Dispatch::parallelFor(
        5000, [&](std::size_t) { onCaller += std::this_thread::get_id() == caller; }, 0);
    Dispatch::parallelFor(0, [&](std::size_t) { ++called; });
    Dispatch::parallelFor(1, [&](std::size_t i) { called += int(i) + 1; });
    EXPECT_EQ(onCaller.load(), 5000);
    EXPECT_EQ(called, 1);
}

TEST(MainThread, PostedTasksRunOnTheMainThreadInOrder)
{
    static int argc = 1;
    static char name[] = "platform_tests";
    static char* argv[] = { name, nullptr };
    std::unique_ptr<QCoreApplication> owned;
    if (!QCoreApplication::instance())
        owned = std::make_unique<QCoreApplication>(argc, argv);
    std::vector<int> order; // -1 for a task run on another thread
    const std::thread::id mainThread = std::this_thread::get_id();
    std::thread poster([&] {
        for (int i = 0; i < 10; ++i)
            Dispatch::postToMain(
                [&, i] { order.push_back(std::this_thread::get_id() == mainThread ? i : -1); });
    });
    poster.join();
    QDeadlineTimer deadline(10000);
    while (order.size() < 10 && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 100);
    EXPECT_EQ(order, (std::vector<int> { 0, 1, 2, 3, 4, 5, 6, 7, 8, 9 }));
}
