#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <QObject>
#include <QString>
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

Q_SIGNALS:
    void ready();
    void statusChanged();

private Q_SLOTS:
    void onStatusPropertiesChanged(const QString& interface, const QVariantMap& changed, const QStringList&);

private:
    void connectInBackground();
    void finishSetup(); // on the owner's thread, after the connection came up or failed
    void setStatusProperty(const QString& name, bool value);

    std::thread m_setup;
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_readyCondition;
    std::optional<QDBusConnection> m_connection;
    QString m_connectionName;
    QString m_failure;
    bool m_finished = false;
    bool m_started = false;
    std::atomic<bool> m_ready{false};
    std::atomic<bool> m_enabled{false};
    std::atomic<bool> m_screenReaderEnabled{false};
};

} // namespace qw
