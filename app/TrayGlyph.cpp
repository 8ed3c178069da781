#include "app/TrayGlyph.h"

#include <QPainterPathStroker>

namespace qw {

QPainterPath TrayGlyph::outline()
{
    // Drawn as a 1.6-unit round stroke so that it reads at 16 pixels.
    QPainterPath bubble;
    bubble.addRoundedRect(QRectF(2, 3, 14, 10), 3, 3);
    QPainterPath tail;
    tail.moveTo(5.5, 12.6);
    tail.lineTo(4.5, 16);
    tail.lineTo(9, 12.6);
    QPainterPath strokes = bubble.united(tail).simplified();
    strokes.moveTo(5.5, 6.5);
    strokes.lineTo(12.5, 6.5);
    strokes.moveTo(5.5, 9.5);
    strokes.lineTo(10, 9.5);

    QPainterPathStroker stroker;
    stroker.setWidth(1.6);
    stroker.setCapStyle(Qt::RoundCap);
    stroker.setJoinStyle(Qt::RoundJoin);
    return stroker.createStroke(strokes).simplified();
}

} // namespace qw
