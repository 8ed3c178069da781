#include "bubble/SessionPanelPosition.h"

#include "bubble/PanelGeometry.h"

#include <algorithm>

namespace qw {

namespace {

qreal distanceSquared(const QRectF& rect, QPointF point)
{
    const qreal dx = std::max({rect.left() - point.x(), point.x() - rect.right(), qreal(0)});
    const qreal dy = std::max({rect.top() - point.y(), point.y() - rect.bottom(), qreal(0)});
    return dx * dx + dy * dy;
}

} // namespace

void SessionPanelPosition::record(const QRectF& frame, const ScreenLayout& layout)
{
    anchor = frame.topLeft();
    screenId.reset();
    qreal bestArea = -1;
    for (const BubbleScreen& screen : layout.screens) {
        const QRectF overlap = screen.visibleFrame.intersected(frame);
        const qreal area = overlap.isEmpty() ? 0 : overlap.width() * overlap.height();
        if (area > bestArea) {
            bestArea = area;
            screenId = screen.id;
        }
    }
}

std::optional<QRectF> SessionPanelPosition::frame(QSizeF size, const ScreenLayout& layout)
{
    if (!anchor || layout.screens.empty())
        return std::nullopt;

    const BubbleScreen* target = screenId ? layout.byId(*screenId) : nullptr;
    if (!target) {
        target = &layout.screens.front();
        qreal best = distanceSquared(target->visibleFrame, *anchor);
        for (const BubbleScreen& screen : layout.screens) {
            const qreal distance = distanceSquared(screen.visibleFrame, *anchor);
            if (distance < best) {
                best = distance;
                target = &screen;
            }
        }
    }

    const QPointF origin = PanelGeometry::clampInto(target->visibleFrame, *anchor, size);
    anchor = origin;
    screenId = target->id;
    return QRectF(origin, size);
}

} // namespace qw
