#include "platform/x11/X11HotkeyService.h"

#include <QMetaObject>
#include <QSocketNotifier>
#include <X11/keysym.h>
#include <cstdlib>
#include <memory>
#include <optional>
#include <utility>

namespace qw {

namespace {

struct FreeDeleter {
    void operator()(void* pointer) const { std::free(pointer); }
};
template <class T> using Reply = std::unique_ptr<T, FreeDeleter>;

std::optional<xcb_keysym_t> keysymOf(Qt::Key key)
{
    // Letters are listed lower case in the first column of a layout's key.
    if (key >= Qt::Key_A && key <= Qt::Key_Z)
        return xcb_keysym_t(XK_a + (key - Qt::Key_A));
    if (key >= Qt::Key_0 && key <= Qt::Key_9)
        return xcb_keysym_t(XK_0 + (key - Qt::Key_0));
    return std::nullopt;
}

} // namespace

X11HotkeyService::X11HotkeyService(QObject* parent) : QObject(parent)
{
    if (!m_x.isConnected())
        return;
    loadKeyboard();
    m_notifier = new QSocketNotifier(xcb_get_file_descriptor(m_x.get()), QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &X11HotkeyService::readEvents);
}

X11HotkeyService::~X11HotkeyService()
{
    for (const Grab& grab : std::as_const(m_grabs))
        ungrab(grab);
    if (m_x.isConnected())
        xcb_flush(m_x.get());
}

void X11HotkeyService::loadKeyboard()
{
    xcb_connection_t* connection = m_x.get();
    const xcb_setup_t* setup = xcb_get_setup(connection);
    m_minKeycode = setup->min_keycode;
    m_maxKeycode = setup->max_keycode;
    m_keysyms.clear();
    m_keysymsPerKeycode = 0;
    const auto mappingCookie =
        xcb_get_keyboard_mapping(connection, m_minKeycode, uint8_t(m_maxKeycode - m_minKeycode + 1));
    const auto modifiersCookie = xcb_get_modifier_mapping(connection);
    Reply<xcb_get_keyboard_mapping_reply_t> mapping(
        xcb_get_keyboard_mapping_reply(connection, mappingCookie, nullptr));
    Reply<xcb_get_modifier_mapping_reply_t> modifiers(
        xcb_get_modifier_mapping_reply(connection, modifiersCookie, nullptr));
    if (mapping) {
        const xcb_keysym_t* keysyms = xcb_get_keyboard_mapping_keysyms(mapping.get());
        m_keysyms =
            QVector<xcb_keysym_t>(keysyms, keysyms + xcb_get_keyboard_mapping_keysyms_length(mapping.get()));
        m_keysymsPerKeycode = mapping->keysyms_per_keycode;
    }

    m_altMask = m_numLockMask = m_scrollLockMask = 0;
    if (modifiers) {
        const xcb_keycode_t* keycodes = xcb_get_modifier_mapping_keycodes(modifiers.get());
        const int perModifier = modifiers->keycodes_per_modifier;
        for (int modifier = 0; modifier < 8; ++modifier) {
            for (int i = 0; i < perModifier; ++i) {
                const xcb_keycode_t keycode = keycodes[modifier * perModifier + i];
                if (keycode == 0)
                    continue;
                const auto bit = uint16_t(1u << modifier);
                if (keycodeTypes(keycode, {XK_Alt_L, XK_Alt_R}))
                    m_altMask |= bit;
                if (keycodeTypes(keycode, {XK_Num_Lock}))
                    m_numLockMask |= bit;
                if (keycodeTypes(keycode, {XK_Scroll_Lock}))
                    m_scrollLockMask |= bit;
            }
        }
    }
    if (m_altMask == 0)
        m_altMask = XCB_MOD_MASK_1; // where every common layout puts Alt
}

bool X11HotkeyService::keycodeTypes(xcb_keycode_t keycode,
                                    const std::initializer_list<xcb_keysym_t>& keysyms) const
{
    if (keycode < m_minKeycode || keycode > m_maxKeycode || m_keysymsPerKeycode == 0)
        return false;
    const qsizetype first = qsizetype(keycode - m_minKeycode) * m_keysymsPerKeycode;
    for (int column = 0; column < m_keysymsPerKeycode && first + column < m_keysyms.size(); ++column) {
        for (xcb_keysym_t keysym : keysyms) {
            if (m_keysyms[first + column] == keysym)
                return true;
        }
    }
    return false;
}

xcb_keycode_t X11HotkeyService::keycodeOf(xcb_keysym_t keysym) const
{
    // Column by column, as Xlib does: a key that types the symbol unshifted wins over one that
    // types it only with Shift or in another group.
    for (int column = 0; column < m_keysymsPerKeycode; ++column) {
        for (int keycode = m_minKeycode; keycode <= m_maxKeycode; ++keycode) {
            const qsizetype at = qsizetype(keycode - m_minKeycode) * m_keysymsPerKeycode + column;
            if (at < m_keysyms.size() && m_keysyms[at] == keysym)
                return xcb_keycode_t(keycode);
        }
    }
    return 0;
}

QVector<uint16_t> X11HotkeyService::lockVariants() const
{
    QVector<uint16_t> locks;
    for (uint16_t mask : {uint16_t(XCB_MOD_MASK_LOCK), m_numLockMask, m_scrollLockMask}) {
        if (mask != 0 && !locks.contains(mask))
            locks.append(mask);
    }
    QVector<uint16_t> variants;
    for (unsigned subset = 0; subset < (1u << locks.size()); ++subset) {
        uint16_t variant = 0;
        for (qsizetype i = 0; i < locks.size(); ++i) {
            if (subset & (1u << i))
                variant |= locks[i];
        }
        if (!variants.contains(variant))
            variants.append(variant);
    }
    return variants;
}

HotkeyService::Status X11HotkeyService::grab(Grab& grab)
{
    grab.keycode = 0;
    const auto keysym = keysymOf(grab.combination.key);
    const Qt::KeyboardModifiers understood = Qt::ControlModifier | Qt::AltModifier | Qt::ShiftModifier;
    if (!keysym || (grab.combination.modifiers & ~understood))
        return notUnderstood;
    uint16_t modifiers = 0;
    if (grab.combination.modifiers & Qt::ControlModifier)
        modifiers |= XCB_MOD_MASK_CONTROL;
    if (grab.combination.modifiers & Qt::ShiftModifier)
        modifiers |= XCB_MOD_MASK_SHIFT;
    if (grab.combination.modifiers & Qt::AltModifier)
        modifiers |= m_altMask;
    const xcb_keycode_t keycode = keycodeOf(*keysym);
    if (keycode == 0)
        return keyNotOnLayout;
    grab.keycode = keycode;
    grab.modifiers = modifiers;

    // A grab another client holds fails with BadAccess, and only asynchronously: every variant
    // is checked before the combination counts as registered.
    QVector<xcb_void_cookie_t> cookies;
    for (uint16_t variant : lockVariants())
        cookies.append(xcb_grab_key_checked(m_x.get(), 1, m_x.root(), modifiers | variant, keycode,
                                            XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
    Status status = 0;
    for (const xcb_void_cookie_t& cookie : std::as_const(cookies)) {
        Reply<xcb_generic_error_t> error(xcb_request_check(m_x.get(), cookie));
        if (error && status == 0)
            status = error->error_code;
    }
    if (status != 0) {
        // Half a hotkey (working only with Num Lock off, say) is worse than none.
        ungrab(grab);
        grab.keycode = 0;
    }
    return status;
}

void X11HotkeyService::ungrab(const Grab& grab)
{
    if (grab.keycode == 0 || !m_x.isConnected())
        return;
    // Never AnyModifier: Ctrl+Alt+I and Ctrl+Alt+Shift+I share their key.
    for (uint16_t variant : lockVariants())
        xcb_ungrab_key(m_x.get(), grab.keycode, m_x.root(), grab.modifiers | variant);
    xcb_flush(m_x.get());
}

HotkeyService::Status X11HotkeyService::installHandler(PressHandler onPressed, LossHandler onLost)
{
    if (!m_x.isConnected())
        return noDisplayStatus;
    m_handler = std::move(onPressed);
    m_lossHandler = std::move(onLost);
    return 0;
}

void X11HotkeyService::removeHandler()
{
    m_handler = nullptr;
    m_lossHandler = nullptr;
}

HotkeyService::Status X11HotkeyService::registerHotkey(HotkeyIdentifier identifier,
                                                       KeyCombination combination)
{
    if (!m_x.isConnected())
        return noDisplayStatus;
    unregisterHotkey(identifier);
    Grab entry{identifier, combination};
    const Status status = grab(entry);
    if (status == 0)
        m_grabs.append(entry);
    // Waiting for the grabs' answers may have queued events the socket notifier will not see.
    QMetaObject::invokeMethod(this, &X11HotkeyService::readEvents, Qt::QueuedConnection);
    return status;
}

void X11HotkeyService::unregisterHotkey(HotkeyIdentifier identifier)
{
    for (qsizetype i = 0; i < m_grabs.size(); ++i) {
        if (m_grabs[i].identifier == identifier) {
            ungrab(m_grabs[i]);
            m_grabs.removeAt(i);
            return;
        }
    }
}

void X11HotkeyService::regrabAll()
{
    // Ungrab with the old key codes and lock masks, then grab with the new ones. A combination
    // the new layout cannot type stays listed and is tried again at the next change.
    for (const Grab& grab : std::as_const(m_grabs))
        ungrab(grab);
    loadKeyboard();
    bool lost = false;
    for (Grab& grab : m_grabs) {
        if (this->grab(grab) != 0)
            lost = true;
    }
    QMetaObject::invokeMethod(this, &X11HotkeyService::readEvents, Qt::QueuedConnection);
    if (lost && m_lossHandler) {
        const LossHandler handler = m_lossHandler;
        handler();
    }
}

void X11HotkeyService::readEvents()
{
    if (!m_x.isConnected())
        return;
    while (Reply<xcb_generic_event_t> event{xcb_poll_for_event(m_x.get())})
        dispatch(event.get());
    if (m_released) {
        const HotkeyIdentifier identifier = m_released->identifier;
        m_released.reset();
        const PressHandler handler = m_handler;
        if (handler)
            handler(identifier);
    }
    if (xcb_connection_has_error(m_x.get()) && m_notifier)
        m_notifier->setEnabled(false); // the server is gone: nothing more will come
}

void X11HotkeyService::dispatch(const xcb_generic_event_t* event)
{
    switch (event->response_type & ~0x80) {
    case XCB_KEY_PRESS: {
        const auto* key = reinterpret_cast<const xcb_key_press_event_t*>(event);
        if (key->detail == m_lastReleasedKeycode && key->time == m_lastReleaseTime) {
            // Auto-repeat: the key never came up.
            if (m_released && m_released->keycode == key->detail)
                m_held = std::exchange(m_released, std::nullopt);
            return;
        }
        const uint16_t held = key->state & 0xff & ~(XCB_MOD_MASK_LOCK | m_numLockMask | m_scrollLockMask);
        for (const Grab& grab : std::as_const(m_grabs)) {
            if (grab.keycode != 0 && grab.keycode == key->detail && grab.modifiers == held) {
                m_held = HeldKey{grab.identifier, key->detail};
                return;
            }
        }
        return;
    }
    case XCB_KEY_RELEASE: {
        const auto* key = reinterpret_cast<const xcb_key_release_event_t*>(event);
        m_lastReleasedKeycode = key->detail;
        m_lastReleaseTime = key->time;
        if (m_held && m_held->keycode == key->detail)
            m_released = std::exchange(m_held, std::nullopt);
        return;
    }
    case XCB_MAPPING_NOTIFY: {
        const auto* mapping = reinterpret_cast<const xcb_mapping_notify_event_t*>(event);
        if (mapping->request == XCB_MAPPING_POINTER || m_regrabQueued)
            return;
        // A layout switch sends a burst of these: grab once, after the burst.
        m_regrabQueued = true;
        QMetaObject::invokeMethod(
            this,
            [this] {
                m_regrabQueued = false;
                regrabAll();
            },
            Qt::QueuedConnection);
        return;
    }
    default:
        return;
    }
}

} // namespace qw
