#pragma once

#include "accessibility/adapters/RunningApplication.h"
#include "platform/KeyringHealth.h"

#include <QString>
#include <optional>

namespace qw {

// What works on this desktop, as `quillweave doctor` reports it. Holds no text of any field:
// the focused field is described only by the reader's diagnostic line (role, readable,
// direct write, safe selection).
struct DesktopReport {
    enum class Session { x11, wayland, none };

    Session session = Session::none;
    // The keyring does not depend on the display: it is reported in every session.
    KeyringHealth keyring;
    bool accessibilityBus = false;
    QString accessibilityBusFailure;
    bool accessibilityEnabled = false;
    bool screenReaderEnabled = false;
    bool activeWindowSupport = false;
    // Whether the desktop shows tray icons (a StatusNotifierItem host, or an XEmbed tray);
    // unknown when it was not looked at.
    enum class Tray { unknown, present, absent };
    Tray tray = Tray::unknown;
    std::optional<RunningApplication> frontmost;
    bool focusedFieldFound = false;
    QString focusDiagnostic;
    // The frontmost program is built on Chromium and was started without web-content
    // accessibility: its windows are empty, whatever else is switched on.
    bool chromiumWithoutWebAccessibility = false;

    static Session sessionFromEnvironment();
};

} // namespace qw
