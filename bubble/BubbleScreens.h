#pragma once

#include "bubble/ScreenLayout.h"

#include <QPointF>
#include <functional>

namespace qw {

// What the bubble needs to know from the window system about screens and the pointer.
class BubbleScreens {
public:
    virtual ~BubbleScreens() = default;

    virtual ScreenLayout layout() const = 0;
    virtual QPointF pointerLocation() const = 0;
    virtual bool primaryButtonDown() const = 0;
    // Called (later, on the main thread) after a screen was added, removed, or resized, or the
    // main screen changed. One listener; an empty function removes it.
    virtual void setOnChanged(std::function<void()> onChanged) = 0;
};

} // namespace qw
