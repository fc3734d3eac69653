// SPDX-License-Identifier: MIT
#include "window/ScanThread.h"

#include <cerrno>

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

ScanThread::ScanThread(std::function<void()> body, std::size_t stackSize)
    : m_body(std::move(body))
{
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    if (pthread_attr_setstacksize(&attributes, stackSize) == 0
        && pthread_create(&m_thread, &attributes, &ScanThread::entry, this) == 0) {
        m_joinable = true;
        m_stackSize = stackSize;
    } else if (pthread_create(&m_thread, nullptr, &ScanThread::entry, this) == 0) {
        m_joinable = true;
        pthread_attr_t actual;
        if (pthread_getattr_np(m_thread, &actual) == 0) {
            pthread_attr_getstacksize(&actual, &m_stackSize);
            pthread_attr_destroy(&actual);
        }
    } else {
        // No thread at all: run here rather than never.
        m_body();
    }
    pthread_attr_destroy(&attributes);
}

ScanThread::~ScanThread()
{
    wait();
}

void ScanThread::wait()
{
    if (!m_joinable)
        return;
    pthread_join(m_thread, nullptr);
    m_joinable = false;
}

void* ScanThread::entry(void* self)
{
    // Linux keeps a nice value per thread; failing to lower it only costs smoothness.
    const auto tid = static_cast<id_t>(::syscall(SYS_gettid));
    errno = 0;
    const int nice = ::getpriority(PRIO_PROCESS, tid);
    if (errno == 0)
        ::setpriority(PRIO_PROCESS, tid, nice + kNiceIncrement);
    static_cast<ScanThread*>(self)->m_body();
    return nullptr;
}
