// SPDX-License-Identifier: MIT
#include "window/ScanThread.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <pthread.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <thread>
#include <unistd.h>

namespace {

std::size_t currentStackSize()
{
    pthread_attr_t attributes;
    std::size_t size = 0;
    if (pthread_getattr_np(pthread_self(), &attributes) == 0) {
        pthread_attr_getstacksize(&attributes, &size);
        pthread_attr_destroy(&attributes);
    }
    return size;
}

TEST(ScanThread, RunsOnItsOwnThreadWithTheLargeStack)
{
    std::size_t seen = 0;
    std::thread::id where;
    int niceInside = 0;
    const int niceOutside = ::getpriority(PRIO_PROCESS, static_cast<id_t>(::syscall(SYS_gettid)));
    {
        ScanThread thread([&] {
            seen = currentStackSize();
            where = std::this_thread::get_id();
            niceInside = ::getpriority(PRIO_PROCESS, static_cast<id_t>(::syscall(SYS_gettid)));
        });
        EXPECT_EQ(thread.stackSize(), ScanThread::kStackSize);
    } // joined here
    EXPECT_GE(seen, ScanThread::kStackSize);
    EXPECT_NE(where, std::this_thread::get_id());
    // Below the starting thread, so the interface stays ahead of the scan.
    EXPECT_EQ(niceInside, std::min(niceOutside + ScanThread::kNiceIncrement, 19));
}

TEST(ScanThread, WaitIsIdempotentAndDestructionWaits)
{
    std::atomic<int> runs = 0;
    ScanThread thread([&] { ++runs; });
    thread.wait();
    EXPECT_EQ(runs, 1);
    thread.wait();
    EXPECT_EQ(runs, 1);
}

} // namespace
