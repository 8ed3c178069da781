#pragma once

#include "accessibility/adapters/HotkeyService.h"
#include "platform/x11/XcbConnection.h"

#include <QList>
#include <QObject>
#include <QVector>
#include <initializer_list>
#include <optional>
#include <xcb/xcb.h>

class QSocketNotifier;

namespace qw {

// System-wide hotkeys on X11: passive key grabs on the root window, made on a connection of
// its own so that their errors come back as values and their presses arrive through a socket
// notifier on the main thread. Each combination is grabbed once for every state of Caps Lock,
// Num Lock and Scroll Lock, since the server matches the lock modifiers exactly. Key codes come
// from the current layout and are grabbed afresh when the keyboard mapping changes.
// A press is handed on when its key comes up: until then the server keeps the keyboard grabbed
// for this program, and the focused application sees its window as unfocused (GTK drops the
// focused state of its field), so an action that reads or writes that field would find none.
class X11HotkeyService final : public QObject, public HotkeyService {
    Q_OBJECT
public:
    // Statuses that are not X errors (those are 1 to 255).
    static constexpr Status noDisplayStatus = -1; // no connection to the X server
    static constexpr Status keyNotOnLayout = -2;  // no key of the layout types it
    static constexpr Status notUnderstood = -3;   // a key or modifier this backend cannot name

    explicit X11HotkeyService(QObject* parent = nullptr);
    ~X11HotkeyService() override;

    bool isConnected() const { return m_x.isConnected(); }

    Status installHandler(PressHandler onPressed, LossHandler onLost) override;
    void removeHandler() override;
    Status registerHotkey(HotkeyIdentifier identifier, KeyCombination combination) override;
    void unregisterHotkey(HotkeyIdentifier identifier) override;

private:
    struct Grab {
        HotkeyIdentifier identifier;
        KeyCombination combination;
        xcb_keycode_t keycode = 0;
        uint16_t modifiers = 0;
    };

    void loadKeyboard();
    xcb_keycode_t keycodeOf(xcb_keysym_t keysym) const;
    bool keycodeTypes(xcb_keycode_t keycode, const std::initializer_list<xcb_keysym_t>& keysyms) const;
    QVector<uint16_t> lockVariants() const;
    // Fills the grab's key code and modifiers from the current layout and grabs every lock
    // variant, or none of them.
    Status grab(Grab& grab);
    void ungrab(const Grab& grab);
    void regrabAll();
    void readEvents();
    void dispatch(const xcb_generic_event_t* event);

    XcbConnection m_x;
    QSocketNotifier* m_notifier = nullptr;
    PressHandler m_handler;
    LossHandler m_lossHandler;
    QList<Grab> m_grabs;

    // The core keyboard mapping: keysyms per key code, from m_minKeycode on.
    xcb_keycode_t m_minKeycode = 0;
    xcb_keycode_t m_maxKeycode = 0;
    int m_keysymsPerKeycode = 0;
    QVector<xcb_keysym_t> m_keysyms;
    // The modifier bits that Alt and the lock keys sit on in the current mapping.
    uint16_t m_altMask = 0;
    uint16_t m_numLockMask = 0;
    uint16_t m_scrollLockMask = 0;
    bool m_regrabQueued = false;
    // Auto-repeat sends a release and a press with the same time stamp: such a press is the key
    // still being held, not a new one.
    xcb_keycode_t m_lastReleasedKeycode = 0;
    xcb_timestamp_t m_lastReleaseTime = 0;
    // The hotkey whose key is down, and the one whose key came up in the events being read
    // (handed on after them unless an auto-repeat press shows the key is still held).
    struct HeldKey {
        HotkeyIdentifier identifier;
        xcb_keycode_t keycode = 0;
    };
    std::optional<HeldKey> m_held;
    std::optional<HeldKey> m_released;
};

} // namespace qw
