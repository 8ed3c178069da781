#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <QObject>
#include <QString>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>

namespace qw {

// The accessibility bus and its switches. Finding the bus (asking the session bus for its
// address, which may first start the bus launcher) and connecting to it both block, so they
// happen on a short-lived thread of their own; the main thread only hears `ready()`.
//
// "Enabled" is org.a11y.Status.IsEnabled, which tells toolkits such as Qt to expose their
// tree; ScreenReaderEnabled does the same for Chromium and Electron programs.
//
// The bus may go away while the program runs (the session's bus launcher restarted or
// crashed). The connection's end is noticed from its own disconnection, from the launcher's
// name changing owner on the session bus, and, as a last resort, from a check every few
// seconds; then `lost()` is emitted, the connection is dropped (reads fail as apiDisabled,
// the trust check says no) and a new one is tried after 0.5 s, 1 s, 2 s, then every 5 s,
// until `ready()` is emitted again. Bus names of the old bus mean nothing on the new one.
class AtspiBus : public QObject {
    Q_OBJECT
public:
    explicit AtspiBus(QObject* parent = nullptr);
    ~AtspiBus() override;
    AtspiBus(const AtspiBus&) = delete;
    AtspiBus& operator=(const AtspiBus&) = delete;

    // Starts connecting; idempotent. Call on the thread that should receive `ready()`.
    void start();

    // Thread-safe. None until the connection is up.
    std::optional<QDBusConnection> connection() const;
    bool isReady() const { return m_ready.load(); }
    // Waits at most `timeout` for the connection (worker threads and tests only).
    bool waitUntilReady(std::chrono::milliseconds timeout) const;
    // Why the bus could not be reached, when it could not; empty otherwise.
    QString failure() const;

    bool isEnabled() const { return m_enabled.load(); }
    bool isScreenReaderEnabled() const { return m_screenReaderEnabled.load(); }
    // Switches accessibility on for every application, including Chromium and Electron ones
    // (asynchronous; `statusChanged()` follows). Programs already running may need a restart.
    void requestEnable();
    // The same, waiting for the answers for at most `timeout` each: worker threads only.
    bool enableBlocking(std::chrono::milliseconds timeout);
    // Only the Chromium/Electron switch (what a program built on Electron needs to wake up).
    // Blocks for at most `timeout`: worker threads only.
    bool enableScreenReaderBlocking(std::chrono::milliseconds timeout);

    static constexpr std::chrono::milliseconds livenessCheckInterval{3000};
    static constexpr std::chrono::milliseconds longestRetryInterval{5000};

Q_SIGNALS:
    // The connection is up (at start, and again after every reconnection).
    void ready();
    // The connection went away; everything learnt about the bus's names is stale.
    void lost();
    void statusChanged();

private Q_SLOTS:
    void onStatusPropertiesChanged(const QString& interface, const QVariantMap& changed, const QStringList&);
    void onDisconnected();

private:
    void connectToBus();
    void connectInBackground(const QString& connectionName);
    void finishSetup(); // on the owner's thread, after the connection came up or failed
    void dropConnection();
    void retryLater();
    void setStatusProperty(const QString& name, bool value);

    std::thread m_setup;
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_readyCondition;
    std::optional<QDBusConnection> m_connection;
    QString m_connectionPrefix;
    QString m_connectionName; // of the current (or last) connection
    int m_attempt = 0;
    QString m_failure;
    bool m_finished = false;
    bool m_started = false;
    bool m_connecting = false;
    bool m_switchedOnBeforeLoss = false; // what the next connection puts back on
    std::chrono::milliseconds m_retryInterval{0};
    QTimer* m_livenessCheck = nullptr;
    QTimer* m_retry = nullptr;
    std::atomic<bool> m_ready{false};
    std::atomic<bool> m_enabled{false};
    std::atomic<bool> m_screenReaderEnabled{false};
};

} // namespace qw
