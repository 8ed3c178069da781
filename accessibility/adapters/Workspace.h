#pragma once

#include "accessibility/adapters/RunningApplication.h"
#include "policy/UrlHandlerRegistry.h"

#include <optional>

namespace qw {

// Running applications and the file system, as far as the bridge needs them. Safe to call
// from the main thread and the accessibility worker; no call waits for another application.
class Workspace : public UrlHandlerRegistry {
public:
    virtual std::optional<RunningApplication> frontmostApplication() const = 0;
    virtual bool isTerminated(const RunningApplication& application) const = 0;
    virtual bool pathExists(const QString& path) const = 0;
};

} // namespace qw
