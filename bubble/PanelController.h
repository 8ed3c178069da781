#pragma once

#include "bubble/BubbleModelState.h"
#include "bubble/PanelPlacement.h"
#include "core/TimerSource.h"

#include <QPointF>
#include <QRectF>
#include <optional>

namespace qw {

class BubbleScreens;
class PanelSurface;

// Decides when the panel is shown, how big it is and where it goes: next to the field, or where
// the user dragged it. The window, the screens and time are adapters, so every rule here runs
// without a display.
class PanelController {
public:
    static constexpr qreal minimumWidth = 340;
    static constexpr qreal maximumWidth = 620;
    static constexpr qreal minimumHeight = 80;
    static constexpr qreal maximumHeight = 520;
    static constexpr QRectF initialFrame{0, 0, 382, 208};
    // A drag that moves the panel by no more than this is a click.
    static constexpr qreal dragThreshold = 0.5;

    PanelController(PanelSurface& surface, BubbleScreens& screens, TimerSource& timers);
    ~PanelController();
    PanelController(const PanelController&) = delete;
    PanelController& operator=(const PanelController&) = delete;

    PanelPlacement& placement() { return m_placement; }

    // Brings the panel in line with the model. Ignored (and applied later) during a drag or resize.
    void refresh(const BubbleModelState& state);
    // The content's preferred height; nonsense and changes of a point or less are ignored.
    void contentHeightChanged(double height);
    // The pin button: fixed where the panel is now, or back to following the field.
    void setFixed(bool fixed);

    // The title area's own drag (the window manager does not move a panel it does not manage).
    // `pointerTravel` is how far the pointer moved since the press.
    void dragStarted();
    void dragMoved(QPointF pointerTravel);
    void dragEnded();

    // The user's resize grip: only the width is the user's, 340 to 620.
    void resizeStarted();
    void resizeMoved(qreal width);
    void resizeEnded();

private:
    qreal panelHeight() const;
    void screensChanged();
    void watchForButtonRelease();
    void refreshWithLastState();

    PanelSurface& m_surface;
    BubbleScreens& m_screens;
    TimerSource& m_timers;
    PanelPlacement m_placement;

    bool m_created = false;
    std::optional<BubbleModelState> m_lastState;
    bool m_isDragging = false;
    std::optional<QPointF> m_dragStartOrigin;
    bool m_isResizing = false;
    std::optional<QPointF> m_resizeAnchor;
    std::optional<TimerSource::TimerId> m_releaseWatch;
    std::optional<QPointF> m_fallbackAnchor;
    double m_contentHeight = 150;
};

} // namespace qw
