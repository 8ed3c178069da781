#include "app/GlobalHotkeys.h"

#include "tests/support/InterfaceLanguageScope.h"

#include <QCoreApplication>
#include <QKeySequence>
#include <QMap>
#include <gtest/gtest.h>
#include <memory>

namespace qw {
namespace {

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

    Status installHandler(PressHandler onPressed, LossHandler) override
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
};

// Every row starts from a configuration that registered all four: configure() must begin from
// nothing each time. `registered` lists each registered hotkey as id:key, "+" marking Shift.
TEST(GlobalHotkeysTest, ConfigurationRegistersWhatTheSettingsAskAndSaysSo)
{
    test::InterfaceLanguageScope english(InterfaceLanguage::english);
    const auto on = HotkeyPreset::controlOptionT;
    const auto shifted = HotkeyPreset::controlOptionShiftT;
    const struct {
        const char* situation;
        bool enabled;
        HotkeyPreset preset;
        bool appActions;
        QList<std::pair<KeyCombination, Status>> taken;
        Status handlerStatus;
        const char* registered;
        const char* status;
    } cases[] = {
        // clang-format off
        {"hotkeys switched off", false, on, true, {}, 0, "",
         "Global hotkeys are off"},
        {"translation hotkeys only", true, on, false, {}, 0, "1:T 2:Z",
         "On: Ctrl+Alt+T translates, Ctrl+Alt+Z restores the original; replacing needs a click to confirm"},
        {"all four, Shift preset", true, shifted, true, {}, 0, "1:T+ 2:Z 3:I 4:I+",
         "On: Ctrl+Alt+Shift+T translates, Ctrl+Alt+Z restores, Ctrl+Alt+I ignores the application today, "
         "Ctrl+Alt+Shift+I revokes it (after confirming)"},
        {"a terminal holds Ctrl+Alt+T", true, on, true, {{{Qt::Key_T, ctrlAlt}, 10}}, 0, "",
         "The hotkeys are taken by another program or refused by the X server (error codes 10, 0)."},
        {"Ctrl+Alt+Shift+I taken: translation hotkeys stay", true, on, true, {{{Qt::Key_I, ctrlAltShift}, 10}}, 0,
         "1:T 2:Z", "The translate and restore hotkeys still work;"},
        {"no handler", true, on, true, {}, -1, "",
         "Cannot listen for global hotkeys (-1): the X server cannot be reached, so hotkeys do not work"},
        // clang-format on
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.situation);
        SubstituteHotkeyService service;
        GlobalHotkeys hotkeys(service);
        hotkeys.configure(true, HotkeyPreset::controlOptionT, true);
        service.taken = row.taken;
        service.handlerStatus = row.handlerStatus;

        // The status's opening words (the advice after them is wording).
        EXPECT_TRUE(hotkeys.configure(row.enabled, row.preset, row.appActions)
                        .startsWith(QString::fromUtf8(row.status)));
        QStringList registered;
        for (auto it = service.registered.cbegin(); it != service.registered.cend(); ++it) {
            EXPECT_EQ(it.value().modifiers & ~Qt::ShiftModifier, ctrlAlt);
            registered << QString::number(it.key()) + u':' + QKeySequence(it.value().key).toString() +
                              (it.value().modifiers & Qt::ShiftModifier ? QStringLiteral("+") : QString());
        }
        EXPECT_EQ(registered.join(u' '), QString::fromUtf8(row.registered));
        EXPECT_EQ(hotkeys.appActionsRegistered(), registered.size() == 4);
        EXPECT_EQ(service.handler != nullptr, !registered.isEmpty());
    }
}

TEST(GlobalHotkeysTest, APressReachesItsCallbackOnTheNextTurnAndOnlyWhileTheObjectLives)
{
    SubstituteHotkeyService service;
    auto hotkeys = std::make_unique<GlobalHotkeys>(service);
    QStringList calls;
    const auto record = [&calls](const char* name) -> std::function<void()> {
        return [&calls, name] {
            calls << QString::fromLatin1(name);
        };
    };
    hotkeys->onAction = record("translate");
    hotkeys->onUndo = record("restore");
    hotkeys->onIgnoreToday = record("ignore");
    hotkeys->onRevoke = record("revoke");
    hotkeys->configure(true, HotkeyPreset::controlOptionT, true);

    // The platform hands over the identifier of the combination pressed.
    const auto press = [&](quint32 id) {
        return service.handler({GlobalHotkeys::signature, id});
    };
    EXPECT_TRUE(press(4));
    EXPECT_TRUE(press(2));
    EXPECT_TRUE(calls.isEmpty()) << "a press is handled on a later turn, never inside the platform's call";
    QCoreApplication::processEvents();
    EXPECT_EQ(calls, (QStringList{QStringLiteral("revoke"), QStringLiteral("restore")}));
    EXPECT_FALSE(service.handler({GlobalHotkeys::signature + 1, 1})) << "a foreign hotkey is passed on";

    // A press queued just before the object goes away is dropped, not delivered to freed memory.
    EXPECT_TRUE(press(1));
    hotkeys.reset();
    EXPECT_TRUE(service.registered.isEmpty());
    QCoreApplication::processEvents();
    EXPECT_EQ(calls.size(), 2);
}

} // namespace
} // namespace qw
