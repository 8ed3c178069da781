#include "tests/support/desktop/DesktopApp.h"

#include "accessibility/adapters/AXVocabulary.h"
#include "tests/support/desktop/DesktopHandles.h"
#include "tests/support/desktop/SubstituteDesktop.h"

namespace qw::test {

RunningApplication DesktopApp::running() const
{
    std::lock_guard lock(m_desktop->m_mutex);
    return m_desktop->app(m_pid).info;
}

AccessibilityElement DesktopApp::handle() const
{
    return AccessibilityElement(DesktopHandles::applicationPrefix + QString::number(m_pid));
}

DesktopElement DesktopApp::window(const QRectF& bounds) const
{
    std::lock_guard lock(m_desktop->m_mutex);
    DesktopElement window(m_desktop, m_desktop->addElement(0, m_pid, AXRole::window));
    window.bounds(bounds);
    return window;
}

template <class F> DesktopApp& DesktopApp::update(F change)
{
    std::lock_guard lock(m_desktop->m_mutex);
    change(m_desktop->app(m_pid));
    return *this;
}

DesktopApp& DesktopApp::electron(int failingWakeUps)
{
    return update([&](auto& s) {
        s.electron = true;
        s.failingWakeUps = failingWakeUps;
        if (!s.info.bundleLocation)
            s.info.bundleLocation = QStringLiteral("/opt/app-") + QString::number(m_pid);
        m_desktop->m_paths.insert(*s.info.bundleLocation + QStringLiteral("/resources/app.asar"));
    });
}
DesktopApp& DesktopApp::handlesHttps()
{
    return update([&](auto& s) { s.httpsHandler = true; });
}
DesktopApp& DesktopApp::activate()
{
    return update([&](auto&) { m_desktop->m_frontmost = m_pid; });
}
DesktopApp& DesktopApp::ignoresWrites()
{
    return update([&](auto& s) { s.writes = SubstituteDesktop::WriteBehaviour::ignore; });
}
DesktopApp& DesktopApp::rewritesWritesTo(const QString& third)
{
    return update([&](auto& s) {
        s.writes = SubstituteDesktop::WriteBehaviour::rewrite;
        s.thirdText = third;
    });
}
DesktopApp& DesktopApp::slow(bool on)
{
    return update([&](auto& s) { s.slow = on; });
}
DesktopApp& DesktopApp::focusedElementError(int code)
{
    return update([&](auto& s) { s.focusedElementError = code; });
}
DesktopApp& DesktopApp::refusesObservers()
{
    return update([&](auto& s) { s.refusesObservers = true; });
}
DesktopApp& DesktopApp::failsNotification(const QString& notification)
{
    return update([&](auto& s) { s.failingNotifications.insert(notification); });
}

int DesktopApp::wakeUpRequests() const
{
    std::lock_guard lock(m_desktop->m_mutex);
    return m_desktop->app(m_pid).wakeUpRequests;
}

} // namespace qw::test
