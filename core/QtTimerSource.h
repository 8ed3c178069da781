#pragma once

#include "core/TimerSource.h"

#include <QObject>
#include <unordered_map>

class QTimer;

namespace qw {

// Real timers on the Qt event loop of the thread that created the source.
class QtTimerSource final : public QObject, public TimerSource {
public:
    explicit QtTimerSource(QObject* parent = nullptr);
    ~QtTimerSource() override;

    TimerId start(std::chrono::milliseconds delay, std::function<void()> callback) override;
    void cancel(TimerId id) override;

private:
    TimerId m_nextId = 1;
    std::unordered_map<TimerId, QTimer*> m_timers;
};

} // namespace qw
