#include "platform/x11/XTestKeyEventPoster.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <optional>

namespace qw {

namespace {

std::optional<KeySym> keysymOf(Qt::Key key)
{
    if (key >= Qt::Key_A && key <= Qt::Key_Z)
        return KeySym(XK_a + (key - Qt::Key_A));
    if (key >= Qt::Key_0 && key <= Qt::Key_9)
        return KeySym(XK_0 + (key - Qt::Key_0));
    switch (key) {
    case Qt::Key_Return:
        return KeySym(XK_Return);
    case Qt::Key_Tab:
        return KeySym(XK_Tab);
    case Qt::Key_Escape:
        return KeySym(XK_Escape);
    case Qt::Key_Backspace:
        return KeySym(XK_BackSpace);
    case Qt::Key_Delete:
        return KeySym(XK_Delete);
    case Qt::Key_Insert:
        return KeySym(XK_Insert);
    default:
        return std::nullopt;
    }
}

QList<KeySym> modifierKeysyms(Qt::KeyboardModifiers modifiers)
{
    QList<KeySym> keys;
    if (modifiers & Qt::ControlModifier)
        keys.append(XK_Control_L);
    if (modifiers & Qt::ShiftModifier)
        keys.append(XK_Shift_L);
    if (modifiers & Qt::AltModifier)
        keys.append(XK_Alt_L);
    if (modifiers & Qt::MetaModifier)
        keys.append(XK_Super_L);
    return keys;
}

} // namespace

XTestKeyEventPoster::XTestKeyEventPoster(const Clock& clock, Sleep sleep)
    : m_clock(clock), m_sleep(std::move(sleep))
{
    m_display = XOpenDisplay(nullptr);
    if (!m_display)
        return;
    int eventBase = 0, errorBase = 0, major = 0, minor = 0;
    m_hasXTest = XTestQueryExtension(m_display, &eventBase, &errorBase, &major, &minor);
}

XTestKeyEventPoster::~XTestKeyEventPoster()
{
    if (m_display)
        XCloseDisplay(m_display);
}

bool XTestKeyEventPoster::keysHeld() const
{
    // The keyboard's key state, not the modifier mask: a lock is on without any key being
    // down, and the hotkey's own key is in no mask.
    char keys[32] = {};
    XQueryKeymap(m_display, keys);
    for (char byte : keys) {
        if (byte != 0)
            return true;
    }
    return false;
}

bool XTestKeyEventPoster::waitForKeyRelease()
{
    const QDateTime deadline = m_clock.now().addMSecs(keyReleaseTimeout.count());
    while (keysHeld()) {
        if (m_clock.now() >= deadline)
            return false;
        m_sleep(keyPollInterval);
    }
    return true;
}

bool XTestKeyEventPoster::post(const QList<KeyEvent>& events)
{
    if (!isAvailable())
        return false;
    // Every key must have a key code before anything is sent: half a shortcut is worse than none.
    struct Step {
        KeyCode code;
        bool down;
    };
    QList<Step> steps;
    for (const KeyEvent& event : events) {
        const auto keysym = keysymOf(event.key);
        const KeyCode key = keysym ? XKeysymToKeycode(m_display, *keysym) : 0;
        if (key == 0)
            return false;
        QList<KeyCode> modifiers;
        for (KeySym modifier : modifierKeysyms(event.modifiers)) {
            const KeyCode code = XKeysymToKeycode(m_display, modifier);
            if (code == 0)
                return false;
            modifiers.append(code);
        }
        if (event.down) {
            for (KeyCode code : modifiers)
                steps.append({code, true});
            steps.append({key, true});
        } else {
            steps.append({key, false});
            for (auto it = modifiers.crbegin(); it != modifiers.crend(); ++it)
                steps.append({*it, false});
        }
    }
    if (!waitForKeyRelease())
        return false;
    for (const Step& step : steps)
        XTestFakeKeyEvent(m_display, step.code, step.down ? True : False, CurrentTime);
    XSync(m_display, False);
    return true;
}

} // namespace qw
