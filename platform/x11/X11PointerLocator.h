#pragma once

#include "accessibility/adapters/PointerLocator.h"
#include "platform/x11/XcbConnection.h"

namespace qw {

// The pointer position from the X server (root coordinates are the global top-left ones).
class X11PointerLocator : public PointerLocator {
public:
    std::optional<QPointF> pointerLocation() const override;

private:
    XcbConnection m_x;
};

} // namespace qw
