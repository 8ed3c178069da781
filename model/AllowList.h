#pragma once

#include "core/SettingsWriteResult.h"
#include "model/AppSettings.h"

#include <QTimeZone>

namespace qw {

class Clock;
class UrlHandlerRegistry;

// Which applications may be read: the allow list, a browser's second confirmation, and the
// pauses that end at the next local midnight. Reads and writes the settings object; the model
// and the command line both go through it.
//
// A permission the user withdraws (a pause, a revocation) holds for this run even when it
// cannot be saved: nothing may be read against the user's word. Everything else changes only
// once it is saved.
class AllowList {
public:
    AllowList(AppSettings& settings, const UrlHandlerRegistry& handlers, Clock& clock, QTimeZone timeZone);

    bool isAllowed(const QString& bundleID) const
    {
        return m_settings.values().allowedBundleIDs.contains(bundleID);
    }
    // A pause that has run out no longer counts, even before `expirePauses` removes it.
    bool isPausedToday(const QString& bundleID) const;
    bool isEligible(const QString& bundleID) const { return isAllowed(bundleID) && !isPausedToday(bundleID); }
    // Allowing a browser covers every site it shows: only a second confirmation may do that.
    bool needsBrowserConfirmation(const QString& bundleID) const;

    // Allows the application; a browser's confirmation is saved with it, in one write (a
    // browser confirmed but not allowed would later be allowed without asking).
    [[nodiscard]] SettingsWriteResult allow(const QString& bundleID);
    // Stops reading the application and drops its pause. The browser's confirmation stays:
    // allowing it again later does not ask again.
    [[nodiscard]] SettingsWriteResult revoke(const QString& bundleID);
    // Pauses an allowed application until the next local midnight by the calendar (not 24
    // hours: on a day the clocks change the pause still ends at midnight).
    [[nodiscard]] SettingsWriteResult pauseToday(const QString& bundleID);
    // Ends a pause; reading again needs the saved word.
    [[nodiscard]] SettingsWriteResult resume(const QString& bundleID);
    // Drops the pauses that have ended; whether any was dropped.
    bool expirePauses();

    // What the user is told after each change.
    static QString allowedMessage(const QString& name);
    static QString pausedMessage(const QString& name);
    static QString resumedMessage();
    static QString revokedMessage(const QString& bundleID);
    // Reading this program's own windows would translate its own bubble and settings.
    static QString ownApplicationMessage();

private:
    AppSettings& m_settings;
    const UrlHandlerRegistry& m_handlers;
    Clock& m_clock;
    QTimeZone m_timeZone;
};

} // namespace qw
