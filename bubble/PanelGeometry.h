#pragma once

#include "bubble/ScreenLayout.h"

#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <optional>

namespace qw {

// Where the panel goes next to a field, and how it is kept inside a screen's usable area. Pure
// arithmetic on desktop coordinates (see ScreenLayout.h); a panel's origin is its top-left corner.
struct PanelGeometry {
    static constexpr qreal screenMargin = 8;
    static constexpr qreal fieldGap = 10;
    // The panel goes above a field whenever its height plus this much fits above it.
    static constexpr qreal clearanceAbove = 12;
    static constexpr qreal pointerOffset = 12;

    // Moves `origin` so that a panel of `size` lies inside the visible frame of the screen that
    // holds `origin` (else the main screen, else the first) with the margin. When the panel is
    // larger than that area, the left and the bottom margins win. Without screens: unchanged.
    static QPointF fitToVisibleFrame(QPointF origin, QSizeF size, const ScreenLayout& layout);

    // The same clamping into one visible frame.
    static QPointF clampInto(const QRectF& visibleFrame, QPointF origin, QSizeF size);

    // The automatic position: left-aligned with the field, above it when there is room (or at
    // least as much room as below), else below it. Without a field, the panel sits up and to the
    // right of `pointerAnchor`. Without any screen there is nowhere to show it: none.
    static std::optional<QPointF> preferredOrigin(const std::optional<QRectF>& field, QPointF pointerAnchor,
                                                  QSizeF size, const ScreenLayout& layout);
};

} // namespace qw
