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
    QDateTime now() const override { return QDateTime::currentDateTime(); }
};

} // namespace qw
