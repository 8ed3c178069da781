#pragma once

#include "accessibility/adapters/AccessibilityAPI.h"
#include "platform/atspi/AtspiObject.h"

#include <QPointF>
#include <functional>
#include <optional>
#include <utility>

namespace qw {

class AtspiFocusTracker;
class AtspiObjectCache;
class AtspiProcessResolver;
class AtspiRequest;

// Finds the focused object of an application (or of the frontmost one) and the object under a
// point. The last focus event's object is tried first, verified with a fresh state read; else a
// bounded search of the active window: Collection, or a walk of the objects on screen for Qt and
// GTK 4, which lack it. An editable focused object is preferred over another that claims focus.
// An application that is not on the accessibility bus answers notImplemented, one without a
// focused object noValue.
class AtspiFocusSearch {
public:
    // The process id of the frontmost application, for hit tests and the system-wide focus.
    using FrontmostPid = std::function<std::optional<qint32>()>;

    AtspiFocusSearch(AtspiFocusTracker& focus, AtspiProcessResolver& processes, AtspiObjectCache& cache,
                     FrontmostPid frontmost);

    AttributeResult focusedObject(AtspiRequest& request, qint32 pid);
    AttributeResult systemWideFocus(AtspiRequest& request);
    ElementResult elementAt(AtspiRequest& request, QPointF point);
    std::optional<qint32> frontmostPid() const;

private:
    // What a focused object can be: a field that takes text, or anything else (a page tab).
    enum class Focus { editable, other };

    // Whether an object announced as focused still has the focus, and of which kind. One without
    // the focused state is believed only when editable text and `announcedLast`.
    std::optional<Focus> believeTracked(AtspiRequest& request, const AtspiObject& object, bool announcedLast);
    std::optional<std::pair<AtspiObject, Focus>> searchFocused(AtspiRequest& request, const QString& busName);

    AtspiFocusTracker& m_focus;
    AtspiProcessResolver& m_processes;
    AtspiObjectCache& m_cache;
    FrontmostPid m_frontmost;
};

} // namespace qw
