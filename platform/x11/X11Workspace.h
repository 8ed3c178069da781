#pragma once

#include "accessibility/adapters/Workspace.h"
#include "platform/DesktopEntryIndex.h"
#include "platform/x11/XcbConnection.h"

#include <chrono>
#include <mutex>

namespace qw {

class X11ActivationEvents;

// Running applications as X11 and the desktop entries describe them. The frontmost
// application is the owner (_NET_WM_PID) of the window manager's active window; its bundle
// identifier is its desktop-entry id (a dialog without one takes that of the same program's
// window it is transient for), its name the entry's name in the user's locale, its location the
// directory of its executable.
class X11Workspace : public Workspace {
public:
    explicit X11Workspace(const DesktopEntryIndex& entries);

    bool isConnected() const { return m_x.isConnected(); }

    std::optional<RunningApplication> frontmostApplication() const override;
    bool isTerminated(const RunningApplication& application) const override;
    bool pathExists(const QString& path) const override;
    QStringList applicationsOpeningHttpsUrls() const override;

    // The active window and its owner without the desktop-entry lookup.
    std::optional<xcb_window_t> activeWindow() const;
    std::optional<qint32> frontmostPid() const;
    // Whether a window manager that tracks the active window is running.
    bool hasActiveWindowSupport() const;

    RunningApplication describe(qint32 pid, const WindowIdentity& window) const;

    // From now on the active window and its owner are remembered, and forgotten at every
    // change `events` reports: the scan asks several times a second, and each answer costs two
    // round trips to the X server. Every window manager names another window (or none) when
    // the active one goes away. Without a connection of its own, `events` changes nothing.
    void followActivations(X11ActivationEvents& events);

private:
    // The active window and its owner's pid, when both are known.
    std::optional<std::pair<xcb_window_t, qint32>> front() const;
    // What _NET_ACTIVE_WINDOW names, which may be a window destroyed since.
    std::optional<xcb_window_t> namedActiveWindow() const;
    // A chain of dialogs each transient for the one before, as deep as a program nests them.
    static constexpr int transientHops = 4;

    WindowIdentity identityOf(xcb_window_t window, qint32 pid) const;
    // The window's program, or for a window without an identity of its own, that of the window
    // of the same process it is transient for.
    RunningApplication resolve(xcb_window_t window, qint32 pid) const;

    XcbConnection m_x;
    const DesktopEntryIndex& m_entries;
    // What a window's program was resolved to, by window and pid: the periodic scan asks for
    // the same window again and again.
    mutable std::mutex m_mutex;
    mutable std::optional<std::pair<std::pair<xcb_window_t, qint32>, RunningApplication>> m_lastResolved;
    // When the window manager was last seen alive: the scan asks several times a second, and a
    // stale answer for at most a second after the window manager died is harmless.
    mutable std::optional<std::chrono::steady_clock::time_point> m_windowManagerSeenAt;
    // The last front read while activations were followed. A read that crossed a change is not
    // remembered: the count tells.
    bool m_followsActivations = false;
    quint64 m_activations = 0;
    mutable std::optional<std::pair<xcb_window_t, qint32>> m_knownFront;
};

} // namespace qw
