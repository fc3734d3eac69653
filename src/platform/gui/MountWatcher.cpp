// SPDX-License-Identifier: MIT
#include "platform/gui/MountWatcher.h"

#include <QSocketNotifier>

#include <fcntl.h>
#include <unistd.h>

MountWatcher::MountWatcher(QObject* parent, const char* path)
    : QObject(parent)
{
    m_fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (m_fd < 0)
        return;
    m_notifier = new QSocketNotifier(m_fd, QSocketNotifier::Exception, this);
    connect(m_notifier, &QSocketNotifier::activated, this, [this] {
        // Reading the table to its end re-arms the notification on every kernel.
        char buffer[4096];
        ::lseek(m_fd, 0, SEEK_SET);
        while (::read(m_fd, buffer, sizeof buffer) > 0) { }
        emit changed();
    });
}

MountWatcher::~MountWatcher()
{
    delete m_notifier;
    if (m_fd >= 0)
        ::close(m_fd);
}
