#pragma once

#include <QPointF>
#include <optional>

namespace qw {

// The pointer position in global coordinates with the origin at the top-left of the primary
// display. Called on the accessibility worker thread; must not block for long.
class PointerLocator {
public:
    virtual ~PointerLocator() = default;
    virtual std::optional<QPointF> pointerLocation() const = 0;
};

} // namespace qw
