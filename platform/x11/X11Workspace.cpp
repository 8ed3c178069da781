#include "platform/x11/X11Workspace.h"

#include "platform/x11/X11ActivationEvents.h"

#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <cerrno>
#include <csignal>
#include <cstring>

namespace qw {

X11Workspace::X11Workspace(const DesktopEntryIndex& entries) : m_entries(entries) {}

bool X11Workspace::hasActiveWindowSupport() const
{
    using namespace std::chrono_literals;
    const auto now = std::chrono::steady_clock::now();
    {
        std::lock_guard lock(m_mutex);
        if (m_windowManagerSeenAt && now - *m_windowManagerSeenAt < 1s)
            return true;
    }
    // A window manager that has died leaves its root properties behind: its check window
    // must still exist.
    const auto check = m_x.cardinal(m_x.root(), "_NET_SUPPORTING_WM_CHECK");
    const bool alive = check && m_x.windowExists(*check);
    std::lock_guard lock(m_mutex);
    m_windowManagerSeenAt = alive ? std::optional(now) : std::nullopt;
    return alive;
}

std::optional<xcb_window_t> X11Workspace::namedActiveWindow() const
{
    if (!m_x.isConnected() || !hasActiveWindowSupport())
        return std::nullopt;
    const auto window = m_x.cardinal(m_x.root(), "_NET_ACTIVE_WINDOW");
    if (!window || *window == XCB_WINDOW_NONE)
        return std::nullopt;
    return *window;
}

std::optional<xcb_window_t> X11Workspace::activeWindow() const
{
    const auto window = namedActiveWindow();
    if (!window || !m_x.windowExists(*window))
        return std::nullopt;
    return window;
}

void X11Workspace::followActivations(X11ActivationEvents& events)
{
    if (!events.isConnected())
        return;
    QObject::connect(&events, &X11ActivationEvents::activeWindowChanged, &events, [this] {
        std::lock_guard lock(m_mutex);
        ++m_activations;
        m_knownFront.reset();
    });
    std::lock_guard lock(m_mutex);
    m_followsActivations = true;
}

std::optional<std::pair<xcb_window_t, qint32>> X11Workspace::front() const
{
    // A window manager that died leaves its last active window named.
    if (!m_x.isConnected() || !hasActiveWindowSupport())
        return std::nullopt;
    quint64 activations = 0;
    {
        std::lock_guard lock(m_mutex);
        activations = m_activations;
        if (m_followsActivations && m_knownFront)
            return m_knownFront;
    }
    // No separate check that the window still exists: reading a property of a destroyed window
    // fails, and this runs at every scan.
    const auto window = namedActiveWindow();
    if (!window)
        return std::nullopt;
    const auto pid = m_x.cardinal(*window, "_NET_WM_PID");
    if (!pid || *pid == 0)
        return std::nullopt;
    const std::pair<xcb_window_t, qint32> front{*window, qint32(*pid)};
    std::lock_guard lock(m_mutex);
    if (m_followsActivations && m_activations == activations)
        m_knownFront = front;
    return front;
}

std::optional<qint32> X11Workspace::frontmostPid() const
{
    const auto known = front();
    return known ? std::optional(known->second) : std::nullopt;
}

WindowIdentity X11Workspace::identityOf(xcb_window_t window, qint32 pid) const
{
    WindowIdentity identity;
    identity.gtkApplicationId = m_x.text(window, "_GTK_APPLICATION_ID").value_or(QString());
    // WM_CLASS: instance and class, each NUL-terminated.
    if (const auto wmClass = m_x.property(window, XCB_ATOM_WM_CLASS)) {
        const QList<QByteArray> parts = wmClass->split('\0');
        identity.wmInstance = parts.value(0).isEmpty() ? QString() : QString::fromLocal8Bit(parts.value(0));
        identity.wmClass = parts.value(1).isEmpty() ? QString() : QString::fromLocal8Bit(parts.value(1));
    }
    identity.executable = QFileInfo(QStringLiteral("/proc/%1/exe").arg(pid)).symLinkTarget();
    return identity;
}

RunningApplication X11Workspace::describe(qint32 pid, const WindowIdentity& window) const
{
    RunningApplication application;
    application.pid = pid;
    if (const auto entry = m_entries.resolve(window)) {
        application.bundleID = entry->id;
        application.localizedName = entry->nameFor(QLocale::system().name());
    } else if (!window.wmClass.isEmpty()) {
        application.localizedName = window.wmClass;
    }
    if (!window.executable.isEmpty())
        application.bundleLocation = QFileInfo(window.executable).absolutePath();
    return application;
}

RunningApplication X11Workspace::resolve(xcb_window_t window, qint32 pid) const
{
    RunningApplication application = describe(pid, identityOf(window, pid));
    // A dialog may have no identity of its own (LibreOffice's: WM_CLASS "soffice", executable
    // soffice.bin, no application id). It belongs to the window it is transient for, as long as
    // that window is the same program's: another program's dialog never borrows an identity.
    xcb_window_t current = window;
    for (int hop = 0; !application.bundleID && hop < transientHops; ++hop) {
        const auto parent = m_x.cardinal(current, "WM_TRANSIENT_FOR");
        if (!parent || *parent == XCB_WINDOW_NONE || *parent == current || *parent == m_x.root())
            break;
        if (m_x.cardinal(*parent, "_NET_WM_PID") != std::optional<quint32>(quint32(pid)))
            break;
        const RunningApplication owner = describe(pid, identityOf(*parent, pid));
        if (owner.bundleID) {
            application.bundleID = owner.bundleID;
            application.localizedName = owner.localizedName;
        }
        current = *parent;
    }
    return application;
}

std::optional<RunningApplication> X11Workspace::frontmostApplication() const
{
    const auto key = front();
    if (!key)
        return std::nullopt;
    {
        std::lock_guard lock(m_mutex);
        if (m_lastResolved && m_lastResolved->first == *key)
            return m_lastResolved->second;
    }
    const RunningApplication application = resolve(key->first, key->second);
    std::lock_guard lock(m_mutex);
    m_lastResolved = {*key, application};
    return application;
}

bool X11Workspace::isTerminated(const RunningApplication& application) const
{
    if (application.pid <= 0)
        return true;
    return ::kill(application.pid, 0) != 0 && errno == ESRCH;
}

bool X11Workspace::pathExists(const QString& path) const
{
    return QFileInfo::exists(path);
}

QStringList X11Workspace::applicationsOpeningHttpsUrls() const
{
    return m_entries.httpsHandlers();
}

} // namespace qw
