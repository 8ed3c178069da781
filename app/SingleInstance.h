#pragma once

#include "app/ReopenRequest.h"

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <functional>

namespace qw {

// One running program per session. The first start owns the program's id as a well-known name
// on the session bus and answers Reopen(target, section) there; a later start (the tray program
// started again, or a command that opens a window) hands its request to it and exits. Without
// a session bus nothing can be checked: the program runs alone and says so once (notice()).
class SingleInstance : public QObject {
    Q_OBJECT
    // The interface carries the program's id (core/ApplicationId.h), as the bus name does.
    Q_CLASSINFO("D-Bus Interface", "org.quillweave.Quillweave")
public:
    enum class Role {
        primary,    // owns the name; reopen requests arrive through onReopen
        forwarded,  // another instance runs and took the request: exit with success
        alone,      // no session bus: run without the check
        unanswered, // another instance owns the name but did not take the request
        notRunning, // handOver() only: no instance runs
    };

    // How long a second start waits for the running one to take its request.
    static constexpr int reopenTimeoutMilliseconds = 5000;

    explicit SingleInstance(QDBusConnection bus, QObject* parent = nullptr);
    ~SingleInstance() override;
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    static QString serviceName();
    static QString objectPath();

    // Claims the name, or forwards the request to its owner (blocking up to the time-out above:
    // a forwarding start has nothing else to do).
    Role start(const ReopenRequest& request);
    // Only hands the request to a running instance, never claims the name: for a command that
    // opens a window of the running program when there is one and shows its own otherwise
    // (a command's window must not answer for the tray program).
    Role handOver(const ReopenRequest& request);
    Role role() const { return m_role; }
    // The one line to tell the user for `alone` and `unanswered` (localized now); empty otherwise.
    QString notice() const;

    // Called on the main thread for every request of a later start, while primary.
    std::function<void(const ReopenRequest&)> onReopen;

public Q_SLOTS:
    // The bus method. Public only because the bus exports public slots.
    Q_SCRIPTABLE void Reopen(const QString& target, const QString& section);

private:
    enum class Claim { owned, taken, failed };
    Claim claim();
    bool forward(const ReopenRequest& request, QString* errorName);

    QDBusConnection m_bus;
    Role m_role = Role::alone;
    bool m_objectRegistered = false;
    QString m_detail;
};

} // namespace qw
