#include "core/QtTimerSource.h"

#include <QTimer>

namespace qw {

QtTimerSource::QtTimerSource(QObject* parent) : QObject(parent) {}

QtTimerSource::~QtTimerSource()
{
    for (auto& [id, timer] : m_timers)
        delete timer;
}

TimerSource::TimerId QtTimerSource::start(std::chrono::milliseconds delay, std::function<void()> callback)
{
    const TimerId id = m_nextId++;
    auto* timer = new QTimer(this);
    timer->setSingleShot(true);
    timer->setTimerType(Qt::PreciseTimer);
    connect(timer, &QTimer::timeout, this, [this, id, callback = std::move(callback)]() {
        auto found = m_timers.find(id);
        if (found == m_timers.end())
            return;
        found->second->deleteLater();
        m_timers.erase(found);
        callback();
    });
    m_timers.emplace(id, timer);
    timer->start(delay);
    return id;
}

void QtTimerSource::cancel(TimerId id)
{
    auto found = m_timers.find(id);
    if (found == m_timers.end())
        return;
    found->second->stop();
    found->second->deleteLater();
    m_timers.erase(found);
}

} // namespace qw
