#pragma once

#include "core/Clock.h"
#include "core/TimerSource.h"

#include <QDateTime>
#include <chrono>
#include <functional>
#include <map>
#include <optional>
#include <utility>

namespace qw::test {

// A clock and timer source that only move when the test says so. Timers fire in due order,
// each one seeing the clock at its own due time.
class VirtualTime final : public Clock, public TimerSource {
public:
    explicit VirtualTime(QDateTime start = QDateTime(QDate(2026, 3, 14), QTime(9, 30)))
        : m_now(std::move(start))
    {
    }

    QDateTime now() const override { return m_now; }

    TimerId start(std::chrono::milliseconds delay, std::function<void()> callback) override
    {
        const TimerId id = m_nextId++;
        m_timers.emplace(std::make_pair(m_now.addMSecs(std::max<qint64>(0, delay.count())), id),
                         std::move(callback));
        return id;
    }

    void cancel(TimerId id) override
    {
        for (auto it = m_timers.begin(); it != m_timers.end(); ++it) {
            if (it->first.second == id) {
                m_timers.erase(it);
                return;
            }
        }
    }

    // Moves the clock forward, firing every timer that falls due on the way (also timers that
    // callbacks start, when they fall due before the end).
    void advance(std::chrono::milliseconds step)
    {
        const QDateTime target = m_now.addMSecs(step.count());
        while (!m_timers.empty() && m_timers.begin()->first.first <= target) {
            auto first = m_timers.begin();
            m_now = std::max(m_now, first->first.first);
            auto callback = std::move(first->second);
            m_timers.erase(first);
            callback();
        }
        m_now = target;
    }

    // Sets the wall clock without firing timers (a date change, a clock jump).
    void setNow(QDateTime now) { m_now = std::move(now); }

    std::size_t pendingTimers() const { return m_timers.size(); }
    // When the earliest timer falls due; none without timers.
    std::optional<QDateTime> nextDue() const
    {
        return m_timers.empty() ? std::nullopt : std::optional<QDateTime>(m_timers.begin()->first.first);
    }

private:
    QDateTime m_now;
    TimerId m_nextId = 1;
    std::map<std::pair<QDateTime, TimerId>, std::function<void()>> m_timers;
};

} // namespace qw::test
