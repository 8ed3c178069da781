#include "platform/atspi/AtspiFocusTracker.h"

namespace qw {

void AtspiFocusTracker::focused(const QString& busName, const QString& path)
{
    std::lock_guard lock(m_mutex);
    m_focused.insert(busName, path);
    m_mostRecent = Object{busName, path};
    ++m_focusEvents;
}

void AtspiFocusTracker::unfocused(const QString& busName, const QString& path)
{
    std::lock_guard lock(m_mutex);
    if (m_focused.value(busName) == path)
        m_focused.remove(busName);
    if (m_typed.value(busName).first == path)
        m_typed.remove(busName);
    if (m_mostRecent && *m_mostRecent == Object{busName, path})
        m_mostRecent.reset();
}

void AtspiFocusTracker::textChanged(const QString& busName, const QString& path)
{
    std::lock_guard lock(m_mutex);
    m_typed.insert(busName, {path, m_focusEvents});
}

void AtspiFocusTracker::forget(const QString& busName)
{
    std::lock_guard lock(m_mutex);
    m_focused.remove(busName);
    m_typed.remove(busName);
    if (m_mostRecent && m_mostRecent->first == busName)
        m_mostRecent.reset();
}

void AtspiFocusTracker::clear()
{
    std::lock_guard lock(m_mutex);
    m_focused.clear();
    m_mostRecent.reset();
}

std::optional<QString> AtspiFocusTracker::focusedPath(const QString& busName) const
{
    std::lock_guard lock(m_mutex);
    const auto it = m_focused.constFind(busName);
    if (it == m_focused.constEnd())
        return std::nullopt;
    return *it;
}

std::optional<QString> AtspiFocusTracker::typedPath(const QString& busName) const
{
    std::lock_guard lock(m_mutex);
    const auto it = m_typed.constFind(busName);
    if (it == m_typed.constEnd() || it->second != m_focusEvents)
        return std::nullopt;
    return it->first;
}

std::optional<AtspiFocusTracker::Object> AtspiFocusTracker::mostRecent() const
{
    std::lock_guard lock(m_mutex);
    return m_mostRecent;
}

} // namespace qw
