#pragma once

#include "accessibility/adapters/GlobalMouseMonitor.h"

#include <QHash>
#include <QObject>
#include <memory>

class QSocketNotifier;
typedef struct _XDisplay Display;

namespace qw {

// Left-button presses and releases anywhere on the screen, from XInput 2.2 raw events (with
// 2.0 the releases are lost) read through a socket notifier on the main thread. The X
// connection is opened when the first handler is added and closed with the last one.
class XInputMouseMonitor : public QObject, public GlobalMouseMonitor {
    Q_OBJECT
public:
    explicit XInputMouseMonitor(QObject* parent = nullptr);
    ~XInputMouseMonitor() override;

    Handle add(Event event, std::function<void()> handler) override;
    void remove(Handle handle) override;

private:
    bool open();
    void close();
    void readEvents();

    Display* m_display = nullptr;
    int m_opcode = 0;
    std::unique_ptr<QSocketNotifier> m_notifier;
    QHash<Handle, std::pair<Event, std::function<void()>>> m_handlers;
    Handle m_next = 1;
};

} // namespace qw
