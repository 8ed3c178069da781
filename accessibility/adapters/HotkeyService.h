#pragma once

#include <Qt>
#include <QtGlobal>
#include <functional>

namespace qw {

// One key and the modifiers held with it (Ctrl, Alt, Shift). The key is named by what it types,
// not by its position: the backend finds it on whatever layout is active.
struct KeyCombination {
    Qt::Key key = Qt::Key_unknown;
    Qt::KeyboardModifiers modifiers;
    bool operator==(const KeyCombination&) const = default;
};

// What a registered hotkey is known by: the owner's signature and the hotkey's own id.
struct HotkeyIdentifier {
    quint32 signature = 0;
    quint32 id = 0;
    bool operator==(const HotkeyIdentifier&) const = default;
};

// The desktop's system-wide hotkeys (on X11, key grabs on the root window). Every call and every
// press happens on the main thread. A status is 0 on success, otherwise the platform's own code
// (on X11 the X error code, BadAccess = 10 when another program holds the combination).
class HotkeyService {
public:
    using Status = int;
    // Answers whether the press was handled; an unhandled press is left to the platform.
    using PressHandler = std::function<bool(HotkeyIdentifier)>;
    // The platform renews registrations on its own when the keyboard changes (a layout switch
    // moves letters to other keys); when some could not be renewed it says so here, once, so
    // that the owner can configure again and show the conflict.
    using LossHandler = std::function<void()>;

    virtual ~HotkeyService() = default;

    virtual Status installHandler(PressHandler onPressed, LossHandler onLost) = 0;
    virtual void removeHandler() = 0;
    // Registers the combination under the identifier, or nothing when it fails.
    virtual Status registerHotkey(HotkeyIdentifier identifier, KeyCombination combination) = 0;
    // Unregistering an identifier that is not registered is harmless.
    virtual void unregisterHotkey(HotkeyIdentifier identifier) = 0;
};

} // namespace qw
