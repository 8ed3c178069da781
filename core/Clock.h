#pragma once

#include <QDateTime>

namespace qw {

// Where the current time comes from. Every expiry, pause and deadline asks a Clock so that
// tests can run on virtual time.
class Clock {
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const = 0;
};

class SystemClock final : public Clock {
public:
    // In UTC: the local time would consult the time zone database on every deadline check, and
    // whoever needs a calendar day converts with its own zone.
    QDateTime now() const override { return QDateTime::currentDateTimeUtc(); }
};

} // namespace qw
