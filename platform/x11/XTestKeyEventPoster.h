#pragma once

#include "accessibility/adapters/KeyEventPoster.h"

#include <chrono>
#include <functional>

typedef struct _XDisplay Display;

namespace qw {

// Synthetic key events through the XTest extension, on a display connection of its own (used
// only by the accessibility worker). Before posting it waits until the user has let go of
// every modifier: a Ctrl+V sent while Alt is still held from the hotkey arrives as Ctrl+Alt+V
// and pastes nothing. The wait runs on the worker, polling the X server with a bound.
class XTestKeyEventPoster : public KeyEventPoster {
public:
    using Sleep = std::function<void(std::chrono::milliseconds)>;

    static constexpr std::chrono::milliseconds modifierReleaseTimeout{1500};
    static constexpr std::chrono::milliseconds modifierPollInterval{10};

    explicit XTestKeyEventPoster(Sleep sleep);
    ~XTestKeyEventPoster() override;
    XTestKeyEventPoster(const XTestKeyEventPoster&) = delete;
    XTestKeyEventPoster& operator=(const XTestKeyEventPoster&) = delete;

    bool isAvailable() const { return m_display != nullptr && m_hasXTest; }
    bool post(const QList<KeyEvent>& events) override;

private:
    bool modifiersHeld() const;
    bool waitForModifierRelease();

    Sleep m_sleep;
    Display* m_display = nullptr;
    bool m_hasXTest = false;
};

} // namespace qw
