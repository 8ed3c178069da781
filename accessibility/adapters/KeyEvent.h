#pragma once

#include <Qt>

namespace qw {

// One synthetic key transition.
struct KeyEvent {
    Qt::Key key = Qt::Key_unknown;
    Qt::KeyboardModifiers modifiers;
    bool down = true;
    friend bool operator==(const KeyEvent&, const KeyEvent&) = default;
};

} // namespace qw
