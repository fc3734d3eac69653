// SPDX-License-Identifier: MIT
#include "platform/MainThread.h"

#include <QCoreApplication>
#include <QThreadPool>

namespace Dispatch {

void postToMain(std::function<void()> task)
{
    QCoreApplication* app = QCoreApplication::instance();
    if (!app)
        return;
    QMetaObject::invokeMethod(app, std::move(task), Qt::QueuedConnection);
}

void runInBackground(std::function<void()> task)
{
    QThreadPool::globalInstance()->start(std::move(task));
}

} // namespace Dispatch
