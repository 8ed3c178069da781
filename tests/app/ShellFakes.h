#pragma once

#include "accessibility/adapters/ActivationEvents.h"
#include "accessibility/adapters/HotkeyService.h"
#include "settings/InstalledApplications.h"
#include "settings/LoginItemService.h"

namespace qw::test {

// The login-item service of a copy that may or may not be installed; enabling registers it.
class FakeLoginItems final : public LoginItemService {
public:
    LoginItemStatus status() const override { return current; }
    bool isInstalledCopy() const override { return installed; }
    bool registerItem() override { return (current = LoginItemStatus::enabled), true; }
    bool unregisterItem() override { return (current = LoginItemStatus::notRegistered), true; }
    bool canOpenSystemSettings() const override { return false; }
    void openSystemSettings() override {}

    LoginItemStatus current = LoginItemStatus::notRegistered;
    bool installed = true;
};

// A desktop where every combination is free.
class FreeHotkeys final : public HotkeyService {
public:
    Status installHandler(PressHandler, LossHandler) override { return 0; }
    void removeHandler() override {}
    Status registerHotkey(HotkeyIdentifier, KeyCombination) override { return ++registered, 0; }
    void unregisterHotkey(HotkeyIdentifier) override {}
    int registered = 0;
};

// The window manager's "another window is in front now", played by the test.
class PlayedActivations final : public ActivationEvents {
public:
    void setOnActivation(std::function<void()> handler) override { onActivation = std::move(handler); }
    void activate() const
    {
        if (onActivation)
            onActivation();
    }
    std::function<void()> onActivation;
};

class NoInstalledApplications final : public InstalledApplications {
public:
    QList<InstalledApplication> list() const override { return {}; }
};

} // namespace qw::test
