#include "platform/x11/X11ActivationEvents.h"

#include <QSocketNotifier>
#include <cstdlib>

namespace qw {

X11ActivationEvents::X11ActivationEvents(QObject* parent) : QObject(parent)
{
    if (!m_connection.isConnected())
        return;
    xcb_connection_t* connection = m_connection.get();
    m_activeWindow = m_connection.atom("_NET_ACTIVE_WINDOW");
    // Other clients may listen to the root window too: property changes are delivered to every
    // client that asks, so this adds to their masks rather than taking anything away.
    const uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_change_window_attributes(connection, m_connection.root(), XCB_CW_EVENT_MASK, &mask);
    xcb_flush(connection);
    m_notifier = new QSocketNotifier(xcb_get_file_descriptor(connection), QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &X11ActivationEvents::readEvents);
}

X11ActivationEvents::~X11ActivationEvents() = default;

void X11ActivationEvents::readEvents()
{
    xcb_connection_t* connection = m_connection.get();
    bool activated = false;
    while (xcb_generic_event_t* event = xcb_poll_for_event(connection)) {
        if ((event->response_type & 0x7f) == XCB_PROPERTY_NOTIFY) {
            const auto* change = reinterpret_cast<const xcb_property_notify_event_t*>(event);
            // The atom may not have existed when the connection opened (no window manager yet).
            if (m_activeWindow == XCB_ATOM_NONE)
                m_activeWindow = m_connection.atom("_NET_ACTIVE_WINDOW");
            activated = activated || change->atom == m_activeWindow;
        }
        std::free(event);
    }
    if (xcb_connection_has_error(connection)) {
        // The X server went away: nothing will come any more, and the socket would spin.
        m_notifier->setEnabled(false);
        return;
    }
    // A burst of changes (focus moving through several windows) is one look at the front.
    if (!activated)
        return;
    Q_EMIT activeWindowChanged();
    if (m_onActivation)
        m_onActivation();
}

} // namespace qw
