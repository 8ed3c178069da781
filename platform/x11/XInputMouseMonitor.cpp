#include "platform/x11/XInputMouseMonitor.h"

#include <QSocketNotifier>
#include <X11/Xlib.h>
#include <X11/extensions/XInput2.h>
#include <optional>

namespace qw {

XInputMouseMonitor::XInputMouseMonitor(QObject* parent) : QObject(parent) {}

XInputMouseMonitor::~XInputMouseMonitor()
{
    close();
}

bool XInputMouseMonitor::open()
{
    if (m_display)
        return true;
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return false;
    int event = 0, error = 0;
    int major = 2, minor = 2;
    if (!XQueryExtension(display, "XInputExtension", &m_opcode, &event, &error) ||
        XIQueryVersion(display, &major, &minor) != Success || major < 2 || (major == 2 && minor < 1)) {
        XCloseDisplay(display);
        return false;
    }
    unsigned char bits[XIMaskLen(XI_LASTEVENT)] = {};
    XISetMask(bits, XI_RawButtonPress);
    XISetMask(bits, XI_RawButtonRelease);
    XIEventMask mask{XIAllMasterDevices, int(sizeof bits), bits};
    XISelectEvents(display, DefaultRootWindow(display), &mask, 1);
    XFlush(display);
    m_display = display;
    m_notifier = std::make_unique<QSocketNotifier>(ConnectionNumber(display), QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, &XInputMouseMonitor::readEvents);
    return true;
}

void XInputMouseMonitor::close()
{
    if (m_notifier) {
        // May be called from inside the notifier's own signal: let the event loop delete it.
        m_notifier->setEnabled(false);
        m_notifier.release()->deleteLater();
    }
    if (m_display) {
        XCloseDisplay(m_display);
        m_display = nullptr;
    }
}

GlobalMouseMonitor::Handle XInputMouseMonitor::add(Event event, std::function<void()> handler)
{
    if (!handler || !open())
        return 0;
    const Handle handle = m_next++;
    m_handlers.insert(handle, {event, std::move(handler)});
    return handle;
}

void XInputMouseMonitor::remove(Handle handle)
{
    m_handlers.remove(handle);
    if (m_handlers.isEmpty())
        close();
}

void XInputMouseMonitor::readEvents()
{
    // Xlib may already have queued events while flushing: drain the queue, not just the socket.
    while (m_display && XPending(m_display) > 0) {
        XEvent event;
        XNextEvent(m_display, &event);
        XGenericEventCookie* cookie = &event.xcookie;
        if (cookie->type != GenericEvent || cookie->extension != m_opcode ||
            !XGetEventData(m_display, cookie))
            continue;
        const auto* raw = static_cast<const XIRawEvent*>(cookie->data);
        std::optional<Event> kind;
        if (raw->detail == 1 && cookie->evtype == XI_RawButtonPress)
            kind = Event::leftMouseDown;
        else if (raw->detail == 1 && cookie->evtype == XI_RawButtonRelease)
            kind = Event::leftMouseUp;
        XFreeEventData(m_display, cookie);
        if (!kind)
            continue;
        // A handler may remove itself or others, or close the connection.
        const QList<Handle> handles = m_handlers.keys();
        for (Handle handle : handles) {
            const auto it = m_handlers.constFind(handle);
            if (it == m_handlers.constEnd() || it->first != *kind)
                continue;
            const auto handler = it->second;
            handler();
        }
    }
}

} // namespace qw
