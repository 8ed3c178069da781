#pragma once

#include "accessibility/adapters/AccessibilityElement.h"
#include "accessibility/adapters/RunningApplication.h"
#include "tests/support/desktop/DesktopElement.h"

#include <QString>

namespace qw::test {

class SubstituteDesktop;

// A handle on one application of the substitute desktop, with its scripted behaviour.
class DesktopApp {
public:
    DesktopApp(SubstituteDesktop* desktop, qint32 pid) : m_desktop(desktop), m_pid(pid) {}

    qint32 pid() const { return m_pid; }
    RunningApplication running() const;
    AccessibilityElement handle() const; // the application element

    // A top-level window (AXRole::window) that holds the application's controls.
    DesktopElement window(const QRectF& bounds = QRectF(100, 100, 600, 400)) const;

    // Marks the application as built on Electron: its tree stays hidden until
    // AXAttribute::manualAccessibility is set, and the first `failingWakeUps` such sets fail.
    DesktopApp& electron(int failingWakeUps = 0);
    DesktopApp& handlesHttps();
    DesktopApp& activate();

    // Scripted misbehaviour.
    DesktopApp& ignoresWrites();                        // accepts sets, keeps the old text
    DesktopApp& rewritesWritesTo(const QString& third); // a set leaves this third text instead
    DesktopApp& slow(bool on = true);                   // every element answers after its time-out
    DesktopApp& focusedElementError(int code);          // AXAttribute::focusedUIElement fails on the app
    DesktopApp& refusesObservers();
    DesktopApp& failsNotification(const QString& notification);

    int wakeUpRequests() const; // AXAttribute::manualAccessibility sets so far

private:
    template <class F> DesktopApp& update(F change);

    SubstituteDesktop* m_desktop;
    qint32 m_pid;
};

} // namespace qw::test
