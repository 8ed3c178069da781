#pragma once

#include <QtGlobal>
#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <mutex>

namespace qw {

namespace detail {
struct CancellationState {
    std::atomic<bool> cancelled{false};
    std::mutex mutex; // guards the callbacks only
    quint64 nextCallbackId = 1;
    std::map<quint64, std::function<void()>> callbacks;
};
} // namespace detail

// The receiving end of a cancellation: checked after every await, and able to wake a wait
// early. A default-constructed token is never cancelled.
class CancellationToken {
public:
    CancellationToken() = default;

    bool isCancelled() const { return m_state && m_state->cancelled.load(); }

    // Runs `callback` when the source is cancelled (at once if it already is). Returns an id for
    // removeCallback(), or 0 when the callback ran already or can never run.
    quint64 onCancel(std::function<void()> callback) const;
    void removeCallback(quint64 id) const;

private:
    friend class CancellationSource;
    explicit CancellationToken(std::shared_ptr<detail::CancellationState> state) : m_state(std::move(state))
    {
    }
    std::shared_ptr<detail::CancellationState> m_state;
};

// The owning end: a job keeps one and cancels it when newer work replaces it.
class CancellationSource {
public:
    CancellationSource() : m_state(std::make_shared<detail::CancellationState>()) {}

    CancellationToken token() const { return CancellationToken(m_state); }
    bool isCancelled() const { return m_state->cancelled.load(); }
    void cancel();

private:
    std::shared_ptr<detail::CancellationState> m_state;
};

inline quint64 CancellationToken::onCancel(std::function<void()> callback) const
{
    if (!m_state)
        return 0;
    {
        std::lock_guard lock(m_state->mutex);
        if (!m_state->cancelled.load()) {
            const quint64 id = m_state->nextCallbackId++;
            m_state->callbacks.emplace(id, std::move(callback));
            return id;
        }
    }
    callback();
    return 0;
}

inline void CancellationToken::removeCallback(quint64 id) const
{
    if (!m_state || id == 0)
        return;
    std::lock_guard lock(m_state->mutex);
    m_state->callbacks.erase(id);
}

inline void CancellationSource::cancel()
{
    std::map<quint64, std::function<void()>> callbacks;
    {
        std::lock_guard lock(m_state->mutex);
        if (m_state->cancelled.exchange(true))
            return;
        callbacks.swap(m_state->callbacks);
    }
    for (auto& [id, callback] : callbacks)
        callback();
}

} // namespace qw
