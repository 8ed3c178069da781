#pragma once

#include <QHash>
#include <QString>
#include <mutex>
#include <optional>
#include <utility>

namespace qw {

// The last object each application reported as focused, fed by the event router on the main
// thread and read by the accessibility worker. Only bus names and object paths are kept,
// never anything an event carried about the text.
class AtspiFocusTracker {
public:
    using Object = std::pair<QString, QString>; // bus name, object path

    void focused(const QString& busName, const QString& path);
    void unfocused(const QString& busName, const QString& path);
    // Text changed in an object. Typing happens where the keyboard is, so until the next focus
    // event it tells where the focus is in a program that does not announce it (GTK 4.8's
    // search entries).
    void textChanged(const QString& busName, const QString& path);
    void forget(const QString& busName);
    // Every application at once: the bus restarted.
    void clear();

    std::optional<QString> focusedPath(const QString& busName) const;
    // The object whose text last changed in that program, unless a focus event came since.
    std::optional<QString> typedPath(const QString& busName) const;
    // The object of the most recent focus event of any application.
    std::optional<Object> mostRecent() const;

private:
    mutable std::mutex m_mutex;
    QHash<QString, QString> m_focused;
    // Counts focus events: a typed object is believed only while no focus event followed it.
    quint64 m_focusEvents = 0;
    QHash<QString, std::pair<QString, quint64>> m_typed; // by bus name: path, focus events then
    std::optional<Object> m_mostRecent;
};

} // namespace qw
