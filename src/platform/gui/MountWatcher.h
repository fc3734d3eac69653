// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>

class QSocketNotifier;

// Reports every change of this process's mount table: a volume mounted, unmounted or
// remounted (a new label comes with a remount). The kernel signals an exceptional
// condition (POLLPRI) on /proc/self/mountinfo whenever the table changes.
class MountWatcher : public QObject {
    Q_OBJECT
public:
    explicit MountWatcher(QObject* parent = nullptr, const char* path = "/proc/self/mountinfo");
    ~MountWatcher() override;

    [[nodiscard]] bool isWatching() const { return m_fd >= 0; }

signals:
    void changed();

private:
    int m_fd = -1;
    QSocketNotifier* m_notifier = nullptr;
};
