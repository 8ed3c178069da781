#pragma once

#include "accessibility/adapters/AXPlatform.h"
#include "core/Clock.h"
#include "platform/DesktopEntryIndex.h"
#include "platform/LinuxClipboard.h"
#include "platform/ThreadSleeper.h"
#include "platform/atspi/AtspiAccessibility.h"
#include "platform/atspi/AtspiBus.h"
#include "platform/atspi/AtspiEventRouter.h"
#include "platform/atspi/AtspiFocusTracker.h"
#include "platform/atspi/AtspiObserverFactory.h"
#include "platform/atspi/AtspiProcessIds.h"
#include "platform/x11/X11PointerLocator.h"
#include "platform/x11/X11Workspace.h"
#include "platform/x11/XInputMouseMonitor.h"
#include "platform/x11/XTestKeyEventPoster.h"

namespace qw {

// The real Linux desktop behind the accessibility bridge's adapters: AT-SPI on the
// accessibility bus, X11 for windows, pointer, keys and mouse buttons, Qt for the clipboard.
// Create on the main thread (after the QGuiApplication, when there is one); it starts
// connecting to the accessibility bus at once. Everything it hands out lives as long as it.
class LinuxDesktop {
public:
    LinuxDesktop();
    LinuxDesktop(const LinuxDesktop&) = delete;
    LinuxDesktop& operator=(const LinuxDesktop&) = delete;

    AXPlatform platform();
    AccessibilityObserverFactory& observers() { return m_observers; }
    GlobalMouseMonitor& mouse() { return m_mouse; }
    AtspiBus& accessibilityBus() { return m_bus; }
    AtspiAccessibility& accessibility() { return m_accessibility; }
    X11Workspace& workspace() { return m_workspace; }
    const DesktopEntryIndex& desktopEntries() const { return m_entries; }
    Clipboard& clipboard() { return m_clipboard; }
    KeyEventPoster& keys() { return m_keys; }

private:
    SystemClock m_clock;
    DesktopEntryIndex m_entries;
    X11Workspace m_workspace;
    X11PointerLocator m_pointer;
    AtspiBus m_bus;
    AtspiFocusTracker m_focus;
    AtspiProcessIds m_pids;
    AtspiEventRouter m_router;
    AtspiAccessibility m_accessibility;
    AtspiObserverFactory m_observers;
    LinuxClipboard m_clipboard;
    ThreadSleeper m_sleeper;
    XTestKeyEventPoster m_keys;
    XInputMouseMonitor m_mouse;
};

} // namespace qw
