#pragma once

#include "core/SettingsWriteResult.h"
#include "settings/LoginItemService.h"

#include <QObject>
#include <QString>

namespace qw {

class SettingsStore;

// Starting the program at login: the switch of the menu, the settings window and the guide's
// last step. Owned by the shell and shared by all of them, so that they always agree. Reads
// the desktop's state again on `refresh()` (when a window opens or the menu is shown): the
// user may have changed it in the desktop's own settings meanwhile.
class LoginStartup : public QObject {
    Q_OBJECT

public:
    LoginStartup(LoginItemService& service, SettingsStore& defaults, QObject* parent = nullptr);

    LoginItemStatus status() const { return m_status; }
    // The status in the interface language of now.
    QString label() const;
    // Why the last change did not happen, in the interface language of now; empty when none.
    QString errorMessage() const;
    // A change is in progress; another one is ignored until it ends.
    bool busy() const { return m_busy; }

    // Whether the user dismissed the suggestion to start at login.
    bool dismissed() const { return m_dismissed; }
    SettingsWriteResult setDismissed(bool dismissed);

    // Turns login start on or off. The change runs on the next turn of the event loop, so that
    // `busy` is seen (the switch greys out) and a second request meanwhile is ignored. Turning
    // it on from a copy that is not installed only sets the message and touches nothing.
    void setEnabled(bool enable);
    // Reads the status from the desktop again.
    void refresh();

    bool canOpenSystemSettings() const;
    void openSystemSettings();

Q_SIGNALS:
    // Status, busy state, error or dismissal changed.
    void changed();

private:
    void apply(bool enable);

    LoginItemService& m_service;
    SettingsStore& m_defaults;
    LoginItemStatus m_status = LoginItemStatus::notRegistered;
    QString m_errorKey; // looked up when shown, so that it follows the interface language
    bool m_busy = false;
    bool m_dismissed = false;
};

} // namespace qw
