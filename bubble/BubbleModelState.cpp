#include "bubble/BubbleModelState.h"

#include "model/AppModel.h"

namespace qw {

BubbleModelState BubbleModelState::of(const AppModel& model, qreal devicePixelRatio)
{
    BubbleModelState state;
    state.wantsPanel =
        model.showingPreview() || model.showingUndoOffer() || model.showingError() || model.isTranslating();
    if (const std::optional<QRectF> bounds = model.previewBounds()) {
        const qreal ratio = devicePixelRatio > 0 ? devicePixelRatio : 1.0;
        state.previewBounds = QRectF(bounds->topLeft() / ratio, bounds->size() / ratio);
    }
    return state;
}

} // namespace qw
