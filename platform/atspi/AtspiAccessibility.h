#pragma once

#include "accessibility/adapters/AccessibilityAPI.h"
#include "platform/atspi/TextOffsets.h"

#include <QHash>
#include <QRect>
#include <functional>
#include <mutex>
#include <optional>

namespace qw {

class AtspiBus;
class AtspiFocusTracker;
class AtspiProcessIds;

// The accessibility interface over AT-SPI 2, spoken directly on the accessibility bus with
// QtDBus. Every D-Bus call is a blocking call on the calling (worker) thread with a time-out
// taken from what is left of the element's messaging time-out, so one attribute read, however
// many calls it needs, answers within that time-out.
//
// Offsets: GTK counts code points, Qt UTF-16 units (told by the application's toolkit name);
// ranges are converted exactly both ways and a range that would split a surrogate pair is
// refused. Password fields (role 40) are reported as protected and their text, selection and
// value are never asked for.
class AtspiAccessibility : public AccessibilityAPI {
public:
    // The process id of the frontmost application, for hit tests and the system-wide focus.
    using FrontmostPid = std::function<std::optional<qint32>()>;

    static constexpr std::chrono::milliseconds defaultTimeout{120};

    AtspiAccessibility(AtspiBus& bus, AtspiFocusTracker& focus, AtspiProcessIds& pids,
                       FrontmostPid frontmost);

    bool isProcessTrusted() const override;
    AccessibilityElement applicationElement(qint32 pid) override;
    AccessibilityElement systemWideElement() override;
    void setMessagingTimeout(const AccessibilityElement& element, std::chrono::milliseconds timeout) override;
    AttributeResult copyAttributeValue(const AccessibilityElement& element,
                                       const QString& attribute) override;
    SettableResult isAttributeSettable(const AccessibilityElement& element,
                                       const QString& attribute) override;
    int setAttributeValue(const AccessibilityElement& element, const QString& attribute,
                          const AttributeValue& value) override;
    ProcessIdResult processId(const AccessibilityElement& element) override;
    ElementResult elementAtPosition(const AccessibilityElement& systemWide, QPointF point) override;

private:
    class Request;
    struct Object {
        QString busName;
        QString path;
    };

    // Role and states as read moments ago: the engine asks for role, subrole, protection and
    // editability of one element in a row. Never used before reading text, where the role is
    // asked afresh (a GTK entry becomes a password field when its text is hidden).
    struct Description {
        quint32 role = 0;
        quint64 states = 0;
        std::chrono::steady_clock::time_point readAt;
    };
    static constexpr std::chrono::milliseconds descriptionLifetime{50};

    std::chrono::milliseconds timeoutOf(const AccessibilityElement& element) const;
    std::optional<Description> describe(Request& request, const Object& object, bool refresh = false);
    std::optional<quint32> freshRole(Request& request, const Object& object);
    std::optional<QRect> extentsOf(Request& request, const Object& object);
    // An object's interfaces never change.
    std::optional<QStringList> interfacesOf(Request& request, const Object& object);
    AttributeResult objectAttribute(Request& request, const Object& object, const QString& attribute);
    AttributeResult focusedObject(Request& request, qint32 pid);
    AttributeResult systemWideFocus(Request& request);
    std::optional<Object> searchFocused(Request& request, const QString& busName);
    std::optional<QString> busNameOf(Request& request, qint32 pid);
    std::optional<qint32> pidOf(Request& request, const QString& busName);
    OffsetUnit unitOf(Request& request, const QString& busName);
    int setRange(Request& request, const Object& object, const TextRange& range);
    int setSelectedText(Request& request, const Object& object, const QString& replacement);

    AtspiBus& m_bus;
    AtspiFocusTracker& m_focus;
    AtspiProcessIds& m_pids;
    FrontmostPid m_frontmost;
    mutable std::mutex m_mutex;
    QHash<QString, std::chrono::milliseconds> m_timeouts;
    QHash<QString, OffsetUnit> m_units; // by bus name
    QHash<QString, Description> m_descriptions;
    QHash<QString, QStringList> m_interfaces;
    QHash<QString, std::pair<QRect, std::chrono::steady_clock::time_point>> m_extents;
};

} // namespace qw
