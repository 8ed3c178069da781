#pragma once

#include <QRectF>
#include <optional>

namespace qw {

class AppModel;

// What the panel's placement reads from the application model at one moment.
struct BubbleModelState {
    // Showing a preview, an undo offer or an error, or translating.
    bool wantsPanel = false;
    // The field or selection to follow, if the model knows where it is (device-independent pixels).
    std::optional<QRectF> previewBounds;

    // The model's rectangle is in X pixels (accessibility extents); the panel is placed in Qt's
    // device-independent pixels, so it is divided by the screens' device pixel ratio.
    static BubbleModelState of(const AppModel& model, qreal devicePixelRatio);
};

} // namespace qw
