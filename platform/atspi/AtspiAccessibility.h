#pragma once

#include "accessibility/adapters/AccessibilityAPI.h"
#include "platform/atspi/AtspiAttributeReader.h"
#include "platform/atspi/AtspiFocusSearch.h"
#include "platform/atspi/AtspiObjectCache.h"
#include "platform/atspi/AtspiProcessResolver.h"
#include "platform/atspi/AtspiTextWriter.h"

#include <QHash>
#include <mutex>
#include <optional>

namespace qw {

class AtspiBus;
class AtspiFocusTracker;
class AtspiProcessIds;
class AtspiRequest;

// The accessibility interface over AT-SPI 2, spoken directly on the accessibility bus with
// QtDBus. Every D-Bus call is a blocking call on the calling (worker) thread with a time-out
// taken from what is left of the element's messaging time-out, so one attribute read, however
// many calls it needs, answers within that time-out.
//
// It sorts the bridge's calls by element kind and hands them on: attribute reads of an object to
// AtspiAttributeReader, writes to AtspiTextWriter, the focused object and hit tests to
// AtspiFocusSearch.
//
// Offsets: GTK counts code points, Qt UTF-16 units (told by the application's toolkit name);
// ranges are converted exactly both ways and a range that would split a surrogate pair is
// refused. Password fields (role 40) are reported as protected and their text, selection and
// value are never asked for.
class AtspiAccessibility : public AccessibilityAPI {
public:
    using FrontmostPid = AtspiFocusSearch::FrontmostPid;

    static constexpr std::chrono::milliseconds defaultTimeout{120};

    AtspiAccessibility(AtspiBus& bus, AtspiFocusTracker& focus, AtspiProcessIds& pids,
                       FrontmostPid frontmost);

    bool isProcessTrusted() const override;
    // The bus restarted: what was remembered about its names is forgotten (thread-safe).
    void forgetBus() { m_cache.clear(); }
    AccessibilityElement applicationElement(qint32 pid) override;
    AccessibilityElement systemWideElement() override;
    void setMessagingTimeout(const AccessibilityElement& element, std::chrono::milliseconds timeout) override;
    AttributeResult copyAttributeValue(const AccessibilityElement& element,
                                       const QString& attribute) override;
    TextState copyTextState(const AccessibilityElement& element) override;
    SettableResult isAttributeSettable(const AccessibilityElement& element,
                                       const QString& attribute) override;
    int setAttributeValue(const AccessibilityElement& element, const QString& attribute,
                          const AttributeValue& value) override;
    ProcessIdResult processId(const AccessibilityElement& element) override;
    ElementResult elementAtPosition(const AccessibilityElement& systemWide, QPointF point) override;

private:
    std::chrono::milliseconds timeoutOf(const AccessibilityElement& element) const;
    // A request with the element's time-out as its budget; none while the bus is not connected.
    std::optional<AtspiRequest> requestFor(const AccessibilityElement& element) const;

    AtspiBus& m_bus;
    AtspiObjectCache m_cache;
    AtspiProcessResolver m_processes;
    AtspiAttributeReader m_reader;
    AtspiTextWriter m_writer;
    AtspiFocusSearch m_search;
    mutable std::mutex m_mutex;
    QHash<QString, std::chrono::milliseconds> m_timeouts;
};

} // namespace qw
