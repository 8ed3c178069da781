#pragma once

#include <QtGlobal>
#include <functional>

namespace qw {

// Mouse-button events of every application, delivered on the main thread.
class GlobalMouseMonitor {
public:
    using Handle = quint64;
    enum class Event { leftMouseDown, leftMouseUp };

    virtual ~GlobalMouseMonitor() = default;
    // Returns 0 when the monitor cannot be installed.
    virtual Handle add(Event event, std::function<void()> handler) = 0;
    virtual void remove(Handle handle) = 0;
};

} // namespace qw
