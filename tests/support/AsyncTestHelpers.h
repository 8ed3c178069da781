#pragma once

#include <QCoreApplication>
#include <QCoroTask>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <chrono>
#include <functional>
#include <optional>
#include <utility>

namespace qw::test {

// Processes events until `done` holds or the bound passes. The bound only keeps a broken
// test from hanging; no test relies on it for timing.
inline bool pumpUntil(const std::function<bool()>& done,
                      std::chrono::milliseconds bound = std::chrono::seconds(20))
{
    QDeadlineTimer deadline(bound);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 20);
    }
    return true;
}

// Starts a task and keeps its eventual result, so a test can advance virtual time between
// starting it and looking at the outcome.
template <class T> class Started {
public:
    explicit Started(QCoro::Task<T>&& task)
    {
        auto state = m_state;
        m_task = std::move(task).then([state](T value) { state->emplace(std::move(value)); });
    }
    bool finished() const { return m_state->has_value(); }
    const T& result() const { return **m_state; }
    // Waits (events only) until the task ended; for work that runs on real threads or sockets.
    const T& wait()
    {
        pumpUntil([this] { return finished(); });
        return result();
    }

private:
    std::shared_ptr<std::optional<T>> m_state = std::make_shared<std::optional<T>>();
    QCoro::Task<void> m_task;
};

template <class T> Started<T> start(QCoro::Task<T>&& task)
{
    return Started<T>(std::move(task));
}

} // namespace qw::test
