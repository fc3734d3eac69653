// SPDX-License-Identifier: MIT
#include "platform/Thread.h"

#include <cerrno>

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

void lowerThreadPriority(int increment)
{
    if (increment == 0)
        return;
    const auto tid = static_cast<id_t>(::syscall(SYS_gettid));
    errno = 0;
    const int nice = ::getpriority(PRIO_PROCESS, tid);
    if (errno == 0)
        ::setpriority(PRIO_PROCESS, tid, nice + increment);
}

void runBelowMainThread(int increment)
{
    const auto tid = static_cast<id_t>(::syscall(SYS_gettid));
    errno = 0;
    const int main = ::getpriority(PRIO_PROCESS, static_cast<id_t>(::getpid()));
    const int nice = errno == 0 ? ::getpriority(PRIO_PROCESS, tid) : 0;
    if (errno == 0 && nice < main + increment)
        ::setpriority(PRIO_PROCESS, tid, main + increment);
}

Thread::Thread(std::function<void()> body, Options options)
    : m_body(std::move(body))
    , m_niceIncrement(options.niceIncrement)
{
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    if (options.stackSize != 0 && pthread_attr_setstacksize(&attributes, options.stackSize) == 0
        && pthread_create(&m_thread, &attributes, &Thread::entry, this) == 0) {
        m_started = true;
        m_stackSize = options.stackSize;
    } else if (pthread_create(&m_thread, nullptr, &Thread::entry, this) == 0) {
        m_started = true;
        pthread_attr_t actual;
        if (pthread_getattr_np(m_thread, &actual) == 0) {
            pthread_attr_getstacksize(&actual, &m_stackSize);
            pthread_attr_destroy(&actual);
        }
    }
    m_joinable = m_started;
    pthread_attr_destroy(&attributes);
}

Thread::~Thread()
{
    join();
}

void Thread::join()
{
    if (!m_joinable)
        return;
    pthread_join(m_thread, nullptr);
    m_joinable = false;
}

void* Thread::entry(void* self)
{
    auto* thread = static_cast<Thread*>(self);
    lowerThreadPriority(thread->m_niceIncrement);
    thread->m_body();
    return nullptr;
}
