// SPDX-License-Identifier: MIT
#pragma once

#include <mutex>

// A flag by which a requester abandons background work. One token per request; once
// set it is never cleared. Shared through std::shared_ptr.
class CancelToken {
public:
    void cancel()
    {
        std::lock_guard lock(m_lock);
        m_flag = true;
    }
    [[nodiscard]] bool isCancelled() const
    {
        std::lock_guard lock(m_lock);
        return m_flag;
    }

private:
    mutable std::mutex m_lock;
    bool m_flag = false;
};
