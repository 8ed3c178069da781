#include "app/GlobalHotkeys.h"

#include "tests/support/InterfaceLanguageScope.h"

#include <QCoreApplication>
#include <QMap>
#include <gtest/gtest.h>
#include <memory>

namespace qw {
namespace {

using Id = GlobalHotkeys::Id;
using Status = HotkeyService::Status;

const Qt::KeyboardModifiers ctrlAlt = Qt::ControlModifier | Qt::AltModifier;
const Qt::KeyboardModifiers ctrlAltShift = ctrlAlt | Qt::ShiftModifier;

// Combinations other programs hold answer with their status; everything else registers.
class SubstituteHotkeyService final : public HotkeyService {
public:
    Status handlerStatus = 0;
    QList<std::pair<KeyCombination, Status>> taken;
    QMap<quint32, KeyCombination> registered;
    PressHandler handler;

    Status installHandler(PressHandler onPressed) override
    {
        if (handlerStatus != 0)
            return handlerStatus;
        handler = std::move(onPressed);
        return 0;
    }
    void removeHandler() override { handler = nullptr; }
    Status registerHotkey(HotkeyIdentifier identifier, KeyCombination combination) override
    {
        for (const auto& [heldElsewhere, status] : taken) {
            if (heldElsewhere == combination)
                return status;
        }
        registered.insert(identifier.id, combination);
        return 0;
    }
    void unregisterHotkey(HotkeyIdentifier identifier) override { registered.remove(identifier.id); }

    // What the platform does for a key press: hand the registered identifier to the handler.
    bool press(KeyCombination combination)
    {
        for (auto it = registered.cbegin(); it != registered.cend(); ++it) {
            if (it.value() == combination && handler)
                return handler({GlobalHotkeys::signature, it.key()});
        }
        return false;
    }
};

struct ConfigurationCase {
    const char* situation;
    bool enabled;
    HotkeyPreset preset;
    bool appActions;
    QList<std::pair<KeyCombination, Status>> taken;
    Status handlerStatus;
    QString status;
    QMap<quint32, KeyCombination> registered;
    bool appActionsRegistered;
};

// Every row starts from a configuration that registered all four: configure() must begin from
// nothing each time.
TEST(GlobalHotkeysTest, ConfigurationRegistersWhatTheSettingsAskAndSaysSo)
{
    test::InterfaceLanguageScope english(InterfaceLanguage::english);
    const QMap<quint32, KeyCombination> translation = {{1, {Qt::Key_T, ctrlAlt}}, {2, {Qt::Key_Z, ctrlAlt}}};
    QMap<quint32, KeyCombination> allFour = translation;
    allFour.insert(3, {Qt::Key_I, ctrlAlt});
    allFour.insert(4, {Qt::Key_I, ctrlAltShift});
    QMap<quint32, KeyCombination> allFourShifted = allFour;
    allFourShifted.insert(1, {Qt::Key_T, ctrlAltShift});

    const ConfigurationCase cases[] = {
        {"hotkeys switched off",
         false,
         HotkeyPreset::controlOptionT,
         true,
         {},
         0,
         QStringLiteral("Global hotkeys are off"),
         {},
         false},
        {"translation hotkeys only",
         true,
         HotkeyPreset::controlOptionT,
         false,
         {},
         0,
         QStringLiteral("On: Ctrl+Alt+T translates, Ctrl+Alt+Z restores the original; replacing needs a "
                        "click to confirm"),
         translation,
         false},
        {"all four, Shift preset",
         true,
         HotkeyPreset::controlOptionShiftT,
         true,
         {},
         0,
         QStringLiteral("On: Ctrl+Alt+Shift+T translates, Ctrl+Alt+Z restores, Ctrl+Alt+I ignores the "
                        "application today, Ctrl+Alt+Shift+I revokes it (after confirming)"),
         allFourShifted,
         true},
        {"a terminal holds Ctrl+Alt+T",
         true,
         HotkeyPreset::controlOptionT,
         true,
         {{{Qt::Key_T, ctrlAlt}, 10}},
         0,
         QStringLiteral("The hotkeys are taken by another program or refused by the X server (error codes "
                        "10, 0). Many desktops open a terminal with Ctrl+Alt+T: in the settings, switch the "
                        "translate hotkey to Ctrl+Alt+Shift+T (or back to Ctrl+Alt+T), or turn global "
                        "hotkeys off"),
         {},
         false},
        {"Ctrl+Alt+Shift+I taken: translation hotkeys stay",
         true,
         HotkeyPreset::controlOptionT,
         true,
         {{{Qt::Key_I, ctrlAltShift}, 10}},
         0,
         QStringLiteral(
             "The translate and restore hotkeys still work; the application hotkeys Ctrl+Alt+I and "
             "Ctrl+Alt+Shift+I are taken (error codes 0, 10): use the bubble's menu instead, or "
             "turn the application hotkeys off"),
         translation,
         false},
        {"no handler",
         true,
         HotkeyPreset::controlOptionT,
         true,
         {},
         -1,
         QStringLiteral(
             "Cannot listen for global hotkeys (-1): the X server cannot be reached, so hotkeys do "
             "not work"),
         {},
         false},
    };
    for (const ConfigurationCase& row : cases) {
        SCOPED_TRACE(row.situation);
        SubstituteHotkeyService service;
        GlobalHotkeys hotkeys(service);
        hotkeys.configure(true, HotkeyPreset::controlOptionT, true);
        service.taken = row.taken;
        service.handlerStatus = row.handlerStatus;

        EXPECT_EQ(hotkeys.configure(row.enabled, row.preset, row.appActions), row.status);
        EXPECT_EQ(service.registered, row.registered);
        EXPECT_EQ(hotkeys.appActionsRegistered(), row.appActionsRegistered);
        EXPECT_EQ(service.handler != nullptr, !row.registered.isEmpty());
    }
}

TEST(GlobalHotkeysTest, APressReachesItsCallbackOnTheNextTurnAndOnlyWhileTheObjectLives)
{
    SubstituteHotkeyService service;
    auto hotkeys = std::make_unique<GlobalHotkeys>(service);
    QStringList calls;
    hotkeys->onAction = [&] {
        calls << QStringLiteral("translate");
    };
    hotkeys->onUndo = [&] {
        calls << QStringLiteral("restore");
    };
    hotkeys->onIgnoreToday = [&] {
        calls << QStringLiteral("ignore");
    };
    hotkeys->onRevoke = [&] {
        calls << QStringLiteral("revoke");
    };
    hotkeys->configure(true, HotkeyPreset::controlOptionT, true);

    EXPECT_TRUE(service.press({Qt::Key_I, ctrlAltShift}));
    EXPECT_TRUE(service.press({Qt::Key_Z, ctrlAlt}));
    EXPECT_TRUE(calls.isEmpty()) << "a press is handled on a later turn, never inside the platform's call";
    QCoreApplication::processEvents();
    EXPECT_EQ(calls, (QStringList{QStringLiteral("revoke"), QStringLiteral("restore")}));

    EXPECT_FALSE(service.handler({GlobalHotkeys::signature + 1, 1})) << "a foreign hotkey is passed on";

    // A press queued just before the object goes away is dropped, not delivered to freed memory.
    const auto handler = service.handler;
    EXPECT_TRUE(service.press({Qt::Key_T, ctrlAlt}));
    hotkeys.reset();
    EXPECT_TRUE(service.registered.isEmpty());
    EXPECT_FALSE(handler({GlobalHotkeys::signature, 1}));
    QCoreApplication::processEvents();
    EXPECT_EQ(calls.size(), 2);
}

} // namespace
} // namespace qw
