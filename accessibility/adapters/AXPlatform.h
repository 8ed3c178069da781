#pragma once

#include "accessibility/adapters/AccessibilityAPI.h"
#include "accessibility/adapters/Clipboard.h"
#include "accessibility/adapters/KeyEventPoster.h"
#include "accessibility/adapters/PointerLocator.h"
#include "accessibility/adapters/WorkerSleeper.h"
#include "accessibility/adapters/Workspace.h"
#include "core/Clock.h"

namespace qw {

// The platform pieces the accessibility engine uses on its worker thread. All must outlive
// the engine; the clock must be safe to read from the worker thread.
struct AXPlatform {
    AccessibilityAPI& accessibility;
    Workspace& workspace;
    PointerLocator& pointer;
    Clipboard& clipboard;
    KeyEventPoster& keys;
    WorkerSleeper& sleeper;
    const Clock& clock;
};

} // namespace qw
