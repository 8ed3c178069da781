#pragma once

#include <QDBusMessage>
#include <QHash>
#include <QList>
#include <QObject>
#include <QSet>
#include <functional>

namespace qw {

class AtspiBus;
class AtspiFocusTracker;
class AtspiProcessIds;

// Receives the accessibility bus's focus and text events on the main thread, keeps the focus
// tracker current and hands each event to the listeners of the process that sent it. Nothing
// ever blocks: the sender's process id is asked asynchronously and its events wait meanwhile.
// Event payloads (which for a password field in Qt can hold the real text) are never read.
class AtspiEventRouter : public QObject {
    Q_OBJECT
public:
    enum class Kind { focus, textChanged };
    struct Event {
        QString busName;
        QString path;
        Kind kind = Kind::focus;
    };
    using Listener = std::function<void(qint32 pid, const Event& event)>;

    AtspiEventRouter(AtspiBus& bus, AtspiFocusTracker& focus, AtspiProcessIds& pids,
                     QObject* parent = nullptr);

    // Listeners are called on the main thread; the id removes them again.
    int addListener(Listener listener);
    void removeListener(int id);

    bool isSubscribed() const { return m_subscribed; }

private Q_SLOTS:
    void onStateChanged(const QDBusMessage& message);
    void onTextChanged(const QDBusMessage& message);
    void onFocus(const QDBusMessage& message);
    void onNameOwnerChanged(const QString& name, const QString& oldOwner, const QString& newOwner);

private:
    void subscribe();
    void route(const Event& event);
    void resolve(const QString& busName);
    void deliver(qint32 pid, const Event& event);

    AtspiBus& m_bus;
    AtspiFocusTracker& m_focus;
    AtspiProcessIds& m_pids;
    bool m_subscribed = false;
    QHash<QString, QList<Event>> m_waiting; // events of senders whose pid is being asked
    QHash<int, Listener> m_listeners;
    int m_nextListener = 1;
};

} // namespace qw
