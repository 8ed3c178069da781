#pragma once

#include "accessibility/adapters/AccessibilityAPI.h"
#include "platform/atspi/AtspiObject.h"

#include <QPointF>
#include <functional>
#include <optional>

namespace qw {

class AtspiFocusTracker;
class AtspiObjectCache;
class AtspiProcessResolver;
class AtspiRequest;

// Finds the focused object of an application (or of the frontmost one) and the object under a
// point. The last focus event's object is tried first, verified with a fresh state read; else a
// bounded search of the active window: Collection, or a walk of showing objects for Qt, which
// lacks it.
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
    std::optional<AtspiObject> searchFocused(AtspiRequest& request, const QString& busName);

    AtspiFocusTracker& m_focus;
    AtspiProcessResolver& m_processes;
    AtspiObjectCache& m_cache;
    FrontmostPid m_frontmost;
};

} // namespace qw
