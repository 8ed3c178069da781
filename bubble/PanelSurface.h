#pragma once

#include <QRectF>

namespace qw {

// The floating panel as the window system shows it. Frames are in desktop coordinates
// (ScreenLayout.h).
class PanelSurface {
public:
    virtual ~PanelSurface() = default;

    // Builds the window the first time the panel is wanted; it is hidden, never destroyed, later.
    virtual void create(const QRectF& initialFrame) = 0;
    virtual QRectF frame() const = 0;
    virtual void setFrame(const QRectF& frame) = 0;
    virtual bool isVisible() const = 0;
    // Raises the panel above other windows without taking the keyboard focus.
    virtual void show() = 0;
    virtual void hide() = 0;
};

} // namespace qw
