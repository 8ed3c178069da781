#pragma once

#include "core/CancellationToken.h"
#include "core/TimerSource.h"
#include "l10n/InterfaceLanguage.h"
#include "updates/UpdateConfiguration.h"
#include "updates/UpdateFeed.h"
#include "updates/UpdateSetup.h"

#include <QCoroTask>
#include <QObject>
#include <QString>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>

namespace qw {

// Signed updates of a per-user installation, as the settings window shows them: whether
// updating is configured, a one-line status, checking by hand, the automatic check and
// download switches, and the relaunch into a new version, held back while the model is busy.
//
// One run: fetch the feed, pick the newest version newer than the running one, (with automatic
// downloads off, wait for the user's go-ahead), download the archive, check its length and its
// Ed25519 signature, hand it to the installer, relaunch. Every failure ends the run with the
// running version untouched and "try again later" in the status.
class AppUpdates final : public QObject {
    Q_OBJECT

public:
    static constexpr std::chrono::milliseconds installationPollInterval{300};
    static constexpr std::chrono::milliseconds firstAutomaticCheck{std::chrono::minutes(1)};
    static constexpr std::chrono::milliseconds automaticCheckInterval{std::chrono::hours(24)};
    static constexpr qint64 largestFeed = qint64(1) << 20;
    static constexpr qint64 largestArchive = qint64(512) << 20;

    struct Switches {
        bool automaticChecks = true;
        bool automaticDownloads = false;
    };

    // `switches` are the stored ones, `saveSwitches` stores a change; `quit` ends the program
    // after the new version has been started.
    AppUpdates(TimerSource& timers, Switches switches, std::function<void(Switches)> saveSwitches,
               std::function<void()> quit, QObject* parent = nullptr);
    ~AppUpdates() override;

    bool available() const { return m_controller != nullptr; }
    bool canCheck() const { return m_canCheck; }
    // A system installation: its package manager brings updates, this program offers none.
    bool managedBySystem() const { return m_managedBySystem; }
    const QString& status() const { return m_status; }
    bool automaticChecks() const { return m_switches.automaticChecks; }
    bool automaticDownloads() const { return m_switches.automaticDownloads; }
    // The version found while automatic downloads are off, waiting for the user's go-ahead.
    std::optional<QVersionNumber> offeredVersion() const;
    bool installationPending() const { return m_installationTimer.has_value(); }

    void setAutomaticChecks(bool on);
    void setAutomaticDownloads(bool on);
    // True while the model translates or validates a replacement; false until supplied.
    void setIsBusy(std::function<bool()> isBusy) { m_isBusy = std::move(isBusy); }

    // Called once at launch. Does nothing after a successful start.
    void start(const UpdateSetup& setup);
    // The user's "check for updates".
    void check();
    // The user's answer to an offered version.
    void acceptOffer();
    void declineOffer();
    // Re-localizes the status after the interface language changed.
    void refreshLocalization();

Q_SIGNALS:
    void changed();

private:
    struct Controller;
    enum class Trigger { user, schedule };

    QCoro::Task<void> checkRun(Trigger trigger, CancellationToken token);
    QCoro::Task<void> installRun(UpdateItem item, Trigger trigger, CancellationToken token);
    void postponeInstallationIfBusy(std::function<void()> handler);
    void installationTick();
    void cancelPendingInstallation();
    void relaunch(const QVersionNumber& version);
    void abort();
    void scheduleAutomaticCheck(std::chrono::milliseconds after);
    void setStatus(QString status);
    void setCanCheck(bool canCheck);

    TimerSource& m_timers;
    Switches m_switches;
    std::function<void(Switches)> m_saveSwitches;
    std::function<void()> m_quit;
    std::function<bool()> m_isBusy;
    std::unique_ptr<Controller> m_controller;
    bool m_canCheck = false;
    bool m_managedBySystem = false;
    QString m_status;
    InterfaceLanguage m_statusLanguage;
    std::optional<TimerSource::TimerId> m_installationTimer;
    std::function<void()> m_installationHandler;
    std::optional<TimerSource::TimerId> m_checkTimer;
    CancellationSource m_lifetime;
};

} // namespace qw
