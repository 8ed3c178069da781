#pragma once

#include <QRectF>
#include <optional>

namespace qw {

// What the panel's placement reads from the application model at one moment.
struct BubbleModelState {
    // Showing a preview, an undo offer or an error, or translating.
    bool wantsPanel = false;
    // The field or selection to follow, if the model knows where it is.
    std::optional<QRectF> previewBounds;
};

} // namespace qw
