#pragma once

#include "accessibility/adapters/HotkeyService.h"
#include "app/HotkeyPreset.h"

#include <QObject>
#include <QString>
#include <array>
#include <functional>

namespace qw {

// The program's four system-wide hotkeys: translate now and restore (the translation hotkeys),
// ignore the application today and revoke its allowance (the optional application-action
// hotkeys). configure() registers them and returns the status text the settings show; presses
// arrive on the main thread, one turn of the event loop after the platform reported them, so
// that a callback may reconfigure the hotkeys safely.
class GlobalHotkeys : public QObject {
    Q_OBJECT
public:
    enum class Id : quint32 { translate = 1, restore = 2, ignoreToday = 3, revoke = 4 };

    // 'QWV3' packed with the first character in the most significant byte.
    static constexpr quint32 signature =
        (quint32('Q') << 24) | (quint32('W') << 16) | (quint32('V') << 8) | quint32('3');

    static KeyCombination combination(Id id, HotkeyPreset preset);

    explicit GlobalHotkeys(HotkeyService& service, QObject* parent = nullptr);
    // Releases the registrations too: a press must never reach a destroyed object.
    ~GlobalHotkeys() override;
    GlobalHotkeys(const GlobalHotkeys&) = delete;
    GlobalHotkeys& operator=(const GlobalHotkeys&) = delete;

    // Starts from nothing registered every time; the text is localized now.
    QString configure(bool enabled, HotkeyPreset preset, bool appActionsEnabled);
    void unregister();

    bool appActionsRegistered() const { return m_appActionsRegistered; }

    std::function<void()> onAction;
    std::function<void()> onUndo;
    std::function<void()> onIgnoreToday;
    std::function<void()> onRevoke;
    // Some hotkeys were lost after a keyboard change (another program holds their new keys):
    // configure again to get the status that says so.
    std::function<void()> onRegistrationLost;

private:
    bool isRegistered(Id id) const { return m_registered[index(id)]; }
    static std::size_t index(Id id) { return std::size_t(id) - 1; }
    HotkeyService::Status registerOne(Id id, HotkeyPreset preset);
    void unregisterOne(Id id);
    void handle(quint32 id);

    HotkeyService& m_service;
    std::array<bool, 4> m_registered{};
    bool m_handlerInstalled = false;
    bool m_appActionsRegistered = false;
};

} // namespace qw
