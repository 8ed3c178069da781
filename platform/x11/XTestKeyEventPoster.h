#pragma once

#include "accessibility/adapters/KeyEventPoster.h"
#include "core/Clock.h"

#include <chrono>
#include <functional>

typedef struct _XDisplay Display;

namespace qw {

// Synthetic key events through the XTest extension, on a display connection of its own (used
// only by the accessibility worker). Before posting it waits until the user has let go of
// every key: a Ctrl+V sent while Alt is still held from the restore hotkey arrives as
// Ctrl+Alt+V and pastes nothing, and while the hotkey's own key is down the hotkey's grab is
// still active, so the paste would go to this program instead of the field. Locked Caps Lock,
// Num Lock or Scroll Lock are not keys held down and do not delay it. The wait runs on the
// worker, polling the X server, bounded on the clock.
class XTestKeyEventPoster : public KeyEventPoster {
public:
    using Sleep = std::function<void(std::chrono::milliseconds)>;

    static constexpr std::chrono::milliseconds keyReleaseTimeout{1500};
    static constexpr std::chrono::milliseconds keyPollInterval{10};

    // The clock must be safe to read from the worker thread.
    XTestKeyEventPoster(const Clock& clock, Sleep sleep);
    ~XTestKeyEventPoster() override;
    XTestKeyEventPoster(const XTestKeyEventPoster&) = delete;
    XTestKeyEventPoster& operator=(const XTestKeyEventPoster&) = delete;

    bool isAvailable() const { return m_display != nullptr && m_hasXTest; }
    bool post(const QList<KeyEvent>& events) override;

private:
    bool keysHeld() const;
    bool waitForKeyRelease();

    const Clock& m_clock;
    Sleep m_sleep;
    Display* m_display = nullptr;
    bool m_hasXTest = false;
};

} // namespace qw
