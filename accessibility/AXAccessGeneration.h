#pragma once

#include <QtGlobal>
#include <mutex>

namespace qw {

// A counter that only grows. The application model advances it whenever it abandons the
// current field or preview; every accessibility step in flight compares its permit with it
// and stops once it moved. The only state shared between the main thread and the worker.
class AXAccessGeneration {
public:
    quint64 current() const
    {
        std::lock_guard lock(m_lock);
        return m_generation;
    }

    // Returns the new value.
    quint64 advance()
    {
        std::lock_guard lock(m_lock);
        return ++m_generation;
    }

private:
    mutable std::mutex m_lock;
    quint64 m_generation = 0;
};

} // namespace qw
