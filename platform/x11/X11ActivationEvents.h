#pragma once

#include "accessibility/adapters/ActivationEvents.h"
#include "platform/x11/XcbConnection.h"

#include <QObject>
#include <xcb/xcb.h>

class QSocketNotifier;

namespace qw {

// Changes of the root window's _NET_ACTIVE_WINDOW, the window manager's word for the window in
// front, read on a connection of its own whose events arrive through the main event loop.
// A window manager that restarts keeps announcing on the same root window; without an X
// server nothing is ever reported.
class X11ActivationEvents : public QObject, public ActivationEvents {
    Q_OBJECT

public:
    explicit X11ActivationEvents(QObject* parent = nullptr);
    ~X11ActivationEvents() override;

    bool isConnected() const { return m_connection.isConnected(); }
    void setOnActivation(std::function<void()> handler) override { m_onActivation = std::move(handler); }

Q_SIGNALS:
    // Before the handler: what remembers the front forgets it first.
    void activeWindowChanged();

private:
    void readEvents();

    XcbConnection m_connection;
    xcb_atom_t m_activeWindow = XCB_ATOM_NONE;
    QSocketNotifier* m_notifier = nullptr;
    std::function<void()> m_onActivation;
};

} // namespace qw
