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

XTestKeyEventPoster::XTestKeyEventPoster(Sleep sleep) : m_sleep(std::move(sleep))
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

bool XTestKeyEventPoster::modifiersHeld() const
{
    Window root = 0, child = 0;
    int rootX = 0, rootY = 0, x = 0, y = 0;
    unsigned int mask = 0;
    XQueryPointer(m_display, DefaultRootWindow(m_display), &root, &child, &rootX, &rootY, &x, &y, &mask);
    return mask & (ShiftMask | ControlMask | Mod1Mask | Mod4Mask | Mod5Mask);
}

bool XTestKeyEventPoster::waitForModifierRelease()
{
    for (auto waited = std::chrono::milliseconds(0); waited < modifierReleaseTimeout;
         waited += modifierPollInterval) {
        if (!modifiersHeld())
            return true;
        m_sleep(modifierPollInterval);
    }
    return !modifiersHeld();
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
    if (!waitForModifierRelease())
        return false;
    for (const Step& step : steps)
        XTestFakeKeyEvent(m_display, step.code, step.down ? True : False, CurrentTime);
    XSync(m_display, False);
    return true;
}

} // namespace qw
