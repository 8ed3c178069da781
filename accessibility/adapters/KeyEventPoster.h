#pragma once

#include "accessibility/adapters/KeyEvent.h"

#include <QList>

namespace qw {

// Posts synthetic key events to the focused application. Called on the accessibility worker.
class KeyEventPoster {
public:
    virtual ~KeyEventPoster() = default;
    // Posts all events in order, or none of them when any cannot be created; returns whether
    // they were posted.
    virtual bool post(const QList<KeyEvent>& events) = 0;
};

} // namespace qw
