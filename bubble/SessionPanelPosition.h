#pragma once

#include "bubble/ScreenLayout.h"

#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <optional>

namespace qw {

// Where the user put the panel, remembered for the rest of the run (never stored): its top-left
// corner and the screen it was mostly on.
struct SessionPanelPosition {
    std::optional<QPointF> anchor;
    std::optional<quint32> screenId;

    // Remembers `frame` and the screen whose visible frame overlaps it most.
    void record(const QRectF& frame, const ScreenLayout& layout);

    // The frame for a panel of `size` at the remembered spot: the top-left corner stays where it
    // was while the panel fits, so a taller panel grows downward. A spot on a screen that is gone
    // moves onto the nearest remaining screen, which then becomes the remembered one.
    std::optional<QRectF> frame(QSizeF size, const ScreenLayout& layout);

    void clear() { *this = {}; }
};

} // namespace qw
