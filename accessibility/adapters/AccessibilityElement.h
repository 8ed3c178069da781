#pragma once

#include <QHashFunctions>
#include <QString>
#include <functional>

namespace qw {

// A handle on one accessibility element of another application (or the system-wide element).
// Two handles obtained by separate reads compare equal exactly when they name the same
// element, so callers can ask "is the focused element still the one I read before?". The
// backend chooses the identity text (an AT-SPI backend uses bus name and object path); the
// handle itself never talks to the element.
class AccessibilityElement {
public:
    AccessibilityElement() = default;
    explicit AccessibilityElement(QString identity) : m_identity(std::move(identity)) {}

    bool isNull() const { return m_identity.isEmpty(); }
    const QString& identity() const { return m_identity; }

    friend bool operator==(const AccessibilityElement&, const AccessibilityElement&) = default;

private:
    QString m_identity;
};

inline size_t qHash(const AccessibilityElement& element, size_t seed = 0)
{
    return qHash(element.identity(), seed);
}

} // namespace qw

template <> struct std::hash<qw::AccessibilityElement> {
    size_t operator()(const qw::AccessibilityElement& element) const { return qHash(element.identity()); }
};
