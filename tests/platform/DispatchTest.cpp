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

TEST(SerialQueue, RunsTasksOneAtATimeInOrder)
{
    SerialQueue queue("Tallyfern.test");
    EXPECT_EQ(queue.label(), "Tallyfern.test");
    std::vector<int> order; // touched only by the queue until sync returns
    std::atomic<int> running{0};
    std::atomic<bool> overlapped{false};
    for (int i = 0; i < 1000; ++i)
        queue.async([&, i] {
            if (running.fetch_add(1) != 0)
                overlapped = true;
            order.push_back(i);
            running.fetch_sub(1);
        });
    bool ranOnQueue = false;
    queue.sync([&] { ranOnQueue = queue.isCurrent(); });
    ASSERT_EQ(order.size(), 1000u) << "sync waits for what was queued before it";
    for (int i = 0; i < 1000; ++i)
        ASSERT_EQ(order[std::size_t(i)], i);
    EXPECT_FALSE(overlapped);
    EXPECT_TRUE(ranOnQueue);
    EXPECT_FALSE(queue.isCurrent());
}

TEST(SerialQueue, SyncFromItsOwnQueueRunsInline)
{
    SerialQueue queue("Tallyfern.test");
    std::vector<std::string> steps;
    queue.sync([&] {
        steps.push_back("outer");
        queue.sync([&] { steps.push_back("inner"); }); // would deadlock if it queued
        steps.push_back("after");
    });
    EXPECT_EQ(steps, (std::vector<std::string>{"outer", "inner", "after"}));
}

TEST(SerialQueue, SyncFromManyThreadsAndDestructionDrainsTheQueue)
{
    std::atomic<int> count{0};
    {
        SerialQueue queue("Tallyfern.test");
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
}

TEST(ParallelFor, RunsEveryIndexOnceWithSeveralCallersAtOnce)
{
    constexpr std::size_t kCount = 20000;
    constexpr int kCallers = 4;
    std::vector<std::unique_ptr<std::atomic<int>[]>> hits;
    for (int c = 0; c < kCallers; ++c) {
        hits.emplace_back(new std::atomic<int>[kCount]);
        for (std::size_t i = 0; i < kCount; ++i)
            hits.back()[i] = 0;
    }
    std::vector<std::thread> callers;
    for (int c = 0; c < kCallers; ++c)
        callers.emplace_back([&, c] { Dispatch::parallelFor(kCount, [&](std::size_t i) { ++hits[std::size_t(c)][i]; }); });
    for (auto& caller : callers)
        caller.join();
    for (int c = 0; c < kCallers; ++c)
        for (std::size_t i = 0; i < kCount; ++i)
            ASSERT_EQ(hits[std::size_t(c)][i].load(), 1) << "caller " << c << " index " << i;
}

TEST(ParallelFor, CallerTakesPartAndZeroHelpersMeansCallerAlone)
{
    const std::thread::id caller = std::this_thread::get_id();
    std::atomic<int> onCaller{0};
    std::atomic<int> elsewhere{0};
    Dispatch::parallelFor(
        5000, [&](std::size_t) { ++(std::this_thread::get_id() == caller ? onCaller : elsewhere); }, 0);
    EXPECT_EQ(onCaller.load(), 5000);
    EXPECT_EQ(elsewhere.load(), 0);

    int called = 0;
    Dispatch::parallelFor(0, [&](std::size_t) { ++called; });
    EXPECT_EQ(called, 0);
    Dispatch::parallelFor(1, [&](std::size_t i) { called += int(i) + 1; });
    EXPECT_EQ(called, 1);
}

TEST(MainThread, PostedTasksRunOnTheMainThreadInOrder)
{
    std::unique_ptr<QCoreApplication> owned;
    if (!QCoreApplication::instance()) {
        static int argc = 1;
        static char name[] = "platform_tests";
        static char* argv[] = {name, nullptr};
        owned = std::make_unique<QCoreApplication>(argc, argv);
    }
    std::vector<int> order;
    std::thread poster([&] {
        for (int i = 0; i < 10; ++i)
            Dispatch::postToMain([&order, i] { order.push_back(i); });
    });
    poster.join();
    const std::thread::id mainThread = std::this_thread::get_id();
    std::atomic<bool> onMain{false};
    Dispatch::postToMain([&] { onMain = std::this_thread::get_id() == mainThread; });
    QDeadlineTimer deadline(10000);
    while ((order.size() < 10 || !onMain) && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 100);
    EXPECT_EQ(order, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9}));
    EXPECT_TRUE(onMain);
}
