#include "bubble/PanelController.h"

#include "bubble/BubbleScreens.h"
#include "bubble/PanelGeometry.h"
#include "bubble/PanelSurface.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace qw {

namespace {

// The release watch polls as often as a screen refreshes.
constexpr std::chrono::milliseconds kReleasePoll{16};

} // namespace

PanelController::PanelController(PanelSurface& surface, BubbleScreens& screens, TimerSource& timers)
    : m_surface(surface), m_screens(screens), m_timers(timers)
{
    m_screens.setOnChanged([this] { screensChanged(); });
}

PanelController::~PanelController()
{
    m_screens.setOnChanged({});
    if (m_releaseWatch)
        m_timers.cancel(*m_releaseWatch);
}

qreal PanelController::panelHeight() const
{
    return std::clamp(std::ceil(m_contentHeight), minimumHeight, maximumHeight);
}

void PanelController::refreshWithLastState()
{
    if (m_lastState)
        refresh(*m_lastState);
}

void PanelController::refresh(const BubbleModelState& state)
{
    m_lastState = state;
    if (m_isDragging || m_isResizing)
        return;
    if (!state.wantsPanel) {
        if (m_created)
            m_surface.hide();
        // The next showing takes a fresh pointer anchor.
        m_fallbackAnchor.reset();
        return;
    }
    const ScreenLayout layout = m_screens.layout();
    if (layout.screens.empty()) {
        // Nowhere to show it; a screen coming back refreshes again.
        if (m_created)
            m_surface.hide();
        return;
    }
    if (!m_created) {
        m_surface.create(initialFrame);
        m_created = true;
    }
    if (!m_fallbackAnchor)
        m_fallbackAnchor = m_screens.pointerLocation();

    const QRectF current = m_surface.frame();
    const QSizeF size(std::clamp(current.width(), minimumWidth, maximumWidth), panelHeight());
    QPointF origin;
    if (m_placement.mode() == PanelPlacement::Mode::fixed) {
        const std::optional<QRectF> remembered = m_placement.position.frame(size, layout);
        origin = remembered ? remembered->topLeft() : current.topLeft();
    } else {
        // Always the automatic position, also when only the content's height changed: a panel
        // above the field that kept its top edge would grow down over the field (the usual case
        // when the translation replaces the shorter working notice), and one that no longer fits
        // above belongs below.
        origin = PanelGeometry::preferredOrigin(state.previewBounds, *m_fallbackAnchor, size, layout)
                     .value_or(current.topLeft());
    }
    m_surface.setFrame(QRectF(origin, size));
    m_surface.show();
}

void PanelController::contentHeightChanged(double height)
{
    if (!std::isfinite(height) || height <= 0)
        return;
    // Text layout jitters by fractions of a point; the panel must not twitch with it.
    if (std::abs(height - m_contentHeight) <= 1)
        return;
    m_contentHeight = height;
    refreshWithLastState();
}

void PanelController::setFixed(bool fixed)
{
    if (!m_created || m_isDragging || m_isResizing)
        return;
    if (fixed == (m_placement.mode() == PanelPlacement::Mode::fixed))
        return;
    if (fixed) {
        m_placement.position.record(m_surface.frame(), m_screens.layout());
        m_placement.setMode(PanelPlacement::Mode::fixed);
    } else {
        m_placement.position.clear();
        m_placement.setMode(PanelPlacement::Mode::automatic);
        // Back next to the field (or the pointer) at once.
        m_fallbackAnchor = m_screens.pointerLocation();
    }
    refreshWithLastState();
}

void PanelController::dragStarted()
{
    if (m_isDragging || m_isResizing)
        return;
    m_dragStartOrigin = m_created ? std::optional<QPointF>(m_surface.frame().topLeft()) : std::nullopt;
    m_isDragging = true;
    watchForButtonRelease();
}

void PanelController::dragMoved(QPointF pointerTravel)
{
    if (!m_isDragging || !m_dragStartOrigin)
        return;
    QRectF frame = m_surface.frame();
    frame.moveTopLeft(*m_dragStartOrigin + pointerTravel);
    m_surface.setFrame(frame);
}

void PanelController::dragEnded()
{
    if (!m_isDragging)
        return;
    if (m_releaseWatch)
        m_timers.cancel(*std::exchange(m_releaseWatch, std::nullopt));
    if (m_created && m_dragStartOrigin) {
        const QRectF frame = m_surface.frame();
        const QPointF moved = frame.topLeft() - *m_dragStartOrigin;
        if (std::abs(moved.x()) > dragThreshold || std::abs(moved.y()) > dragThreshold) {
            m_placement.position.record(frame, m_screens.layout());
            m_placement.setMode(PanelPlacement::Mode::fixed);
        }
    }
    m_dragStartOrigin.reset();
    m_isDragging = false;
    refreshWithLastState();
}

void PanelController::resizeStarted()
{
    if (!m_created || m_isDragging || m_isResizing)
        return;
    m_isResizing = true;
    m_resizeAnchor = m_surface.frame().topLeft();
    watchForButtonRelease();
}

void PanelController::resizeMoved(qreal width)
{
    if (!m_isResizing || !std::isfinite(width))
        return;
    QRectF frame = m_surface.frame();
    frame.setWidth(std::clamp(width, minimumWidth, maximumWidth));
    frame.moveTopLeft(m_resizeAnchor.value_or(frame.topLeft()));
    m_surface.setFrame(frame);
}

void PanelController::resizeEnded()
{
    if (!m_isResizing)
        return;
    if (m_releaseWatch)
        m_timers.cancel(*std::exchange(m_releaseWatch, std::nullopt));
    m_isResizing = false;
    const QRectF current = m_surface.frame();
    const ScreenLayout layout = m_screens.layout();
    const QSizeF size(std::clamp(current.width(), minimumWidth, maximumWidth), panelHeight());
    const QPointF anchor = std::exchange(m_resizeAnchor, std::nullopt).value_or(current.topLeft());
    std::optional<QRectF> remembered;
    if (m_placement.mode() == PanelPlacement::Mode::fixed)
        remembered = m_placement.position.frame(size, layout);
    const QPointF origin =
        remembered ? remembered->topLeft() : PanelGeometry::fitToVisibleFrame(anchor, size, layout);
    m_surface.setFrame(QRectF(origin, size));
    refreshWithLastState();
}

// A release the panel never sees (another client took the pointer grab) must not leave the
// gesture running for ever, since every refresh is held back while it runs.
void PanelController::watchForButtonRelease()
{
    m_releaseWatch = m_timers.start(kReleasePoll, [this] {
        m_releaseWatch.reset();
        if (m_screens.primaryButtonDown()) {
            watchForButtonRelease();
        } else if (m_isDragging) {
            dragEnded();
        } else if (m_isResizing) {
            resizeEnded();
        }
    });
}

void PanelController::screensChanged()
{
    if (m_created)
        refreshWithLastState();
}

} // namespace qw
