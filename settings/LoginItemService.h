#pragma once

namespace qw {

// Where the login item stands, as the desktop sees it.
enum class LoginItemStatus {
    notRegistered,    // no entry
    enabled,          // the entry starts the program at login
    requiresApproval, // the user switched the entry off in the desktop's own settings
    notFound,         // the entry's program cannot be found
};

// The desktop's login items, seen by `LoginStartup`. The real backend writes an XDG autostart
// entry; tests use a temporary configuration folder.
class LoginItemService {
public:
    virtual ~LoginItemService() = default;

    virtual LoginItemStatus status() const = 0;
    // False for a copy that was never installed (a build tree): its path is gone after the
    // next build or clean-up, so it must not be started at login.
    virtual bool isInstalledCopy() const = 0;
    // False on failure, with nothing half written.
    virtual bool registerItem() = 0;
    virtual bool unregisterItem() = 0;
    // Whether the desktop has a place where the user manages login items.
    virtual bool canOpenSystemSettings() const = 0;
    virtual void openSystemSettings() = 0;
};

} // namespace qw
