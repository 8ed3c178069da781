#pragma once

#include "core/Clock.h"

#include <QDateTime>
#include <chrono>
#include <mutex>

namespace qw::test {

// A clock that only moves when told, safe to read from the accessibility worker thread while
// the test thread waits. The substitute desktop advances it to stand for time spent waiting
// on slow applications and for the worker's sleeps, so deadlines can pass without real waits.
class ManualClock final : public Clock {
public:
    explicit ManualClock(QDateTime start = QDateTime(QDate(2026, 3, 14), QTime(9, 30)))
        : m_now(std::move(start))
    {
    }

    QDateTime now() const override
    {
        std::lock_guard lock(m_mutex);
        return m_now;
    }

    void advance(std::chrono::milliseconds step)
    {
        std::lock_guard lock(m_mutex);
        m_now = m_now.addMSecs(step.count());
    }

private:
    mutable std::mutex m_mutex;
    QDateTime m_now;
};

} // namespace qw::test
