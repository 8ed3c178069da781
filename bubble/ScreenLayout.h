#pragma once

#include <QRectF>
#include <QtGlobal>
#include <optional>
#include <vector>

namespace qw {

// Every point and rectangle of the bubble is in desktop coordinates as X11 gives them: origin at
// the top-left corner of the root window, y growing downward, in Qt's device-independent pixels.
// The accessibility extents of a field and Qt's screen geometry are both in this system, so the
// placement arithmetic never flips y: "above the field" is a smaller y.
struct BubbleScreen {
    quint32 id = 0; // the same for one output as long as the process runs
    QRectF frame;
    QRectF visibleFrame; // without the desktop's panels and docks
};

struct ScreenLayout {
    std::vector<BubbleScreen> screens; // in the window system's order
    std::optional<quint32> mainScreenId;

    const BubbleScreen* byId(quint32 id) const
    {
        for (const BubbleScreen& screen : screens) {
            if (screen.id == id)
                return &screen;
        }
        return nullptr;
    }

    // The main screen, else the first one, else none.
    const BubbleScreen* mainOrFirst() const
    {
        const BubbleScreen* main = mainScreenId ? byId(*mainScreenId) : nullptr;
        if (main)
            return main;
        return screens.empty() ? nullptr : &screens.front();
    }
};

} // namespace qw
