#include "bubble/PanelGeometry.h"

#include <algorithm>

namespace qw {

namespace {

// Half-open, so that a point on the border of two side-by-side screens belongs to one of them.
bool holds(const QRectF& rect, QPointF point)
{
    return point.x() >= rect.left() && point.x() < rect.right() && point.y() >= rect.top() &&
           point.y() < rect.bottom();
}

bool isFinite(const QRectF& rect)
{
    return qIsFinite(rect.x()) && qIsFinite(rect.y()) && qIsFinite(rect.width()) && qIsFinite(rect.height());
}

} // namespace

QPointF PanelGeometry::clampInto(const QRectF& visibleFrame, QPointF origin, QSizeF size)
{
    const qreal m = screenMargin;
    const qreal x =
        std::max(visibleFrame.left() + m, std::min(visibleFrame.right() - size.width() - m, origin.x()));
    const qreal y =
        std::min(visibleFrame.bottom() - size.height() - m, std::max(visibleFrame.top() + m, origin.y()));
    return {x, y};
}

QPointF PanelGeometry::fitToVisibleFrame(QPointF origin, QSizeF size, const ScreenLayout& layout)
{
    const BubbleScreen* screen = nullptr;
    for (const BubbleScreen& candidate : layout.screens) {
        if (holds(candidate.visibleFrame, origin)) {
            screen = &candidate;
            break;
        }
    }
    if (!screen)
        screen = layout.mainOrFirst();
    return screen ? clampInto(screen->visibleFrame, origin, size) : origin;
}

std::optional<QPointF> PanelGeometry::preferredOrigin(const std::optional<QRectF>& field,
                                                      QPointF pointerAnchor, QSizeF size,
                                                      const ScreenLayout& layout)
{
    if (layout.screens.empty())
        return std::nullopt;
    // A field the accessibility layer measured as nonsense counts as no field at all.
    if (!field || !isFinite(*field)) {
        const QPointF upRight(pointerAnchor.x() + pointerOffset,
                              pointerAnchor.y() - pointerOffset - size.height());
        return fitToVisibleFrame(upRight, size, layout);
    }

    const QRectF rect = field->normalized();
    const BubbleScreen* screen = nullptr;
    for (const BubbleScreen& candidate : layout.screens) {
        if (holds(candidate.frame, rect.topLeft())) {
            screen = &candidate;
            break;
        }
    }
    if (!screen)
        screen = layout.mainOrFirst();

    const QRectF& visible = screen->visibleFrame;
    const qreal spaceAbove = rect.top() - visible.top();
    const qreal spaceBelow = visible.bottom() - rect.bottom();
    const bool above = spaceBelow <= spaceAbove || size.height() + clearanceAbove <= spaceAbove;
    const qreal y = above ? rect.top() - fieldGap - size.height() : rect.bottom() + fieldGap;
    return fitToVisibleFrame(QPointF(rect.left(), y), size, layout);
}

} // namespace qw
