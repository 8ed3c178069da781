#pragma once

#include <functional>

namespace qw {

// Tells when another window becomes the active one (another application may now be in front),
// so that the shell looks at the frontmost application at once instead of polling faster.
class ActivationEvents {
public:
    virtual ~ActivationEvents() = default;
    // Called on the main thread after every change of the active window; an empty handler
    // stops the calls.
    virtual void setOnActivation(std::function<void()> handler) = 0;
};

} // namespace qw
