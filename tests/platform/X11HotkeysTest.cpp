#include "app/GlobalHotkeys.h"
#include "platform/x11/X11HotkeyService.h"
#include "platform/x11/XTestKeyEventPoster.h"
#include "tests/support/AsyncTestHelpers.h"
#include "tests/support/InterfaceLanguageScope.h"
#include "tests/support/VirtualTime.h"

#include <QProcess>
#include <gtest/gtest.h>

// The hotkeys on the headless session's X server, driven the way a user's keyboard drives them
// (XTest through xdotool), with a second X client standing for the other programs.
namespace qw {
namespace {

using namespace std::chrono_literals;

const Qt::KeyboardModifiers ctrlAlt = Qt::ControlModifier | Qt::AltModifier;
const Qt::KeyboardModifiers ctrlAltShift = ctrlAlt | Qt::ShiftModifier;
constexpr HotkeyService::Status badAccess = 10;

bool run(const QString& program, const QStringList& arguments)
{
    return QProcess::execute(program, arguments) == 0;
}

// What another program gets when it tries to grab the combination now (released at once).
HotkeyService::Status grabFromAnotherClient(KeyCombination combination)
{
    X11HotkeyService other;
    return other.registerHotkey({0, 99}, combination);
}

class X11HotkeysTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (qEnvironmentVariableIsEmpty("DISPLAY"))
            GTEST_SKIP() << "DISPLAY is not set: run inside scripts/headless-session.sh";
        ASSERT_TRUE(service.isConnected());
        hotkeys.onAction = [this] {
            ++translations;
        };
        hotkeys.onUndo = [this] {
            ++restores;
        };
        hotkeys.onRevoke = [this] {
            ++revokes;
        };
    }

    // Types the keys and waits (bounded) until the callback behind `counter` ran once more.
    bool pressReaches(const char* keys, const int& counter)
    {
        const int before = counter;
        return run(QStringLiteral("xdotool"), {QStringLiteral("key"), QString::fromLatin1(keys)}) &&
               test::pumpUntil([&] { return counter > before; }, 5s);
    }

    test::InterfaceLanguageScope english{InterfaceLanguage::english};
    X11HotkeyService service;
    GlobalHotkeys hotkeys{service};
    int translations = 0;
    int restores = 0;
    int revokes = 0;
};

TEST_F(X11HotkeysTest, EveryCombinationIsGrabbedWhateverTheLocksAndReleasedAtTheEnd)
{
    EXPECT_EQ(
        hotkeys.configure(true, HotkeyPreset::controlOptionT, true),
        QStringLiteral("On: Ctrl+Alt+T translates, Ctrl+Alt+Z restores, Ctrl+Alt+I ignores the application "
                       "today, Ctrl+Alt+Shift+I revokes it (after confirming)"));
    const KeyCombination all[] = {
        {Qt::Key_T, ctrlAlt}, {Qt::Key_Z, ctrlAlt}, {Qt::Key_I, ctrlAlt}, {Qt::Key_I, ctrlAltShift}};
    for (const KeyCombination& combination : all)
        EXPECT_EQ(grabFromAnotherClient(combination), badAccess);

    EXPECT_TRUE(pressReaches("ctrl+alt+t", translations));
    ASSERT_TRUE(run(QStringLiteral("xdotool"), {QStringLiteral("key"), QStringLiteral("Num_Lock")}));
    EXPECT_TRUE(pressReaches("ctrl+alt+z", restores)) << "with Num Lock on";
    ASSERT_TRUE(run(QStringLiteral("xdotool"), {QStringLiteral("key"), QStringLiteral("Num_Lock")}));
    ASSERT_TRUE(run(QStringLiteral("xdotool"), {QStringLiteral("key"), QStringLiteral("Caps_Lock")}));
    EXPECT_TRUE(pressReaches("ctrl+alt+shift+i", revokes)) << "with Caps Lock on";
    ASSERT_TRUE(run(QStringLiteral("xdotool"), {QStringLiteral("key"), QStringLiteral("Caps_Lock")}));
    EXPECT_EQ(translations + restores + revokes, 3) << "one press, one call";

    hotkeys.unregister();
    for (const KeyCombination& combination : all)
        EXPECT_EQ(grabFromAnotherClient(combination), 0) << "a combination is still held after unregister()";
}

TEST_F(X11HotkeysTest, AConflictNamesTheXErrorAndKeepsWhatStillWorks)
{
    const struct {
        const char* situation;
        KeyCombination heldElsewhere;
        QString status;
        bool translateWorks;
    } cases[] = {
        {"a terminal holds Ctrl+Alt+T",
         {Qt::Key_T, ctrlAlt},
         QStringLiteral(
             "The hotkeys are taken by another program or refused by the X server (error codes 10, 0). "
             "Many desktops open a terminal with Ctrl+Alt+T: in the settings, switch the translate "
             "hotkey to Ctrl+Alt+Shift+T (or back to Ctrl+Alt+T), or turn global hotkeys off"),
         false},
        {"another program holds Ctrl+Alt+I",
         {Qt::Key_I, ctrlAlt},
         QStringLiteral(
             "The translate and restore hotkeys still work; the application hotkeys Ctrl+Alt+I and "
             "Ctrl+Alt+Shift+I are taken (error codes 10, 0): use the bubble's menu instead, or turn "
             "the application hotkeys off"),
         true},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.situation);
        X11HotkeyService other;
        ASSERT_EQ(other.registerHotkey({0, 1}, row.heldElsewhere), 0);
        EXPECT_EQ(hotkeys.configure(true, HotkeyPreset::controlOptionT, true), row.status);
        EXPECT_FALSE(hotkeys.appActionsRegistered());
        if (row.translateWorks) {
            EXPECT_TRUE(pressReaches("ctrl+alt+t", translations));
        } else {
            EXPECT_EQ(grabFromAnotherClient({Qt::Key_Z, ctrlAlt}), 0) << "nothing stays half registered";
        }
        hotkeys.unregister();
    }
}

TEST_F(X11HotkeysTest, SwitchingThePresetMovesTheTranslateHotkey)
{
    hotkeys.configure(true, HotkeyPreset::controlOptionT, false);
    EXPECT_EQ(
        hotkeys.configure(true, HotkeyPreset::controlOptionShiftT, false),
        QStringLiteral("On: Ctrl+Alt+Shift+T translates, Ctrl+Alt+Z restores the original; replacing needs a "
                       "click to confirm"));
    EXPECT_EQ(grabFromAnotherClient({Qt::Key_T, ctrlAlt}), 0) << "the terminal's Ctrl+Alt+T is free again";
    EXPECT_TRUE(pressReaches("ctrl+alt+shift+t", translations));
}

TEST_F(X11HotkeysTest, ALayoutChangeKeepsTheHotkeysOnTheKeysThatTypeThem)
{
    ASSERT_TRUE(run(QStringLiteral("setxkbmap"), {QStringLiteral("us")}));
    hotkeys.configure(true, HotkeyPreset::controlOptionT, false);
    struct RestoreLayout {
        ~RestoreLayout() { run(QStringLiteral("setxkbmap"), {QStringLiteral("us")}); }
    } restoreLayout;

    // On the German layout Z and Y swap places.
    ASSERT_TRUE(run(QStringLiteral("setxkbmap"), {QStringLiteral("de")}));
    ASSERT_TRUE(test::pumpUntil(
        [] {
            return grabFromAnotherClient({Qt::Key_Z, ctrlAlt}) == badAccess;
        },
        5s))
        << "Ctrl+Alt+Z was not grabbed again on the new layout";
    EXPECT_EQ(grabFromAnotherClient({Qt::Key_Y, ctrlAlt}), 0) << "the old key is still held";
    EXPECT_TRUE(pressReaches("ctrl+alt+z", restores));
}

// The restore hotkey can lead to a paste: Ctrl+V must reach the field as Ctrl+V, which it does
// only once the user let go of the hotkey (Alt still held makes it Ctrl+Alt+V, the hotkey's
// key still held keeps the keyboard grabbed by this program).
TEST_F(X11HotkeysTest, APasteWaitsUntilTheHotkeyIsLetGo)
{
    hotkeys.configure(true, HotkeyPreset::controlOptionT, false);
    const struct {
        const char* situation;
        const char* stillHeld;
        bool letGo;
    } cases[] = {
        {"Ctrl+Alt+Z still held", "ctrl+alt+z", true},
        {"Z still held", "z", true},
        {"never let go", "ctrl+alt+z", false},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.situation);
        // The field stands here as a client that sees only a plain Ctrl+V.
        X11HotkeyService field;
        int pastes = 0;
        field.installHandler([&](HotkeyIdentifier) { return ++pastes > 0; });
        ASSERT_EQ(field.registerHotkey({0, 7}, {Qt::Key_V, Qt::ControlModifier}), 0);

        ASSERT_TRUE(
            run(QStringLiteral("xdotool"), {QStringLiteral("keydown"), QStringLiteral("ctrl+alt+z")}));
        if (QByteArray(row.stillHeld) == "z") {
            ASSERT_TRUE(
                run(QStringLiteral("xdotool"), {QStringLiteral("keyup"), QStringLiteral("ctrl+alt")}));
        }
        test::VirtualTime time;
        const QDateTime start = time.now();
        int sleeps = 0;
        XTestKeyEventPoster poster(time, [&](std::chrono::milliseconds step) {
            if (sleeps++ == 3 && row.letGo)
                run(QStringLiteral("xdotool"), {QStringLiteral("keyup"), QString::fromLatin1(row.stillHeld)});
            time.advance(step);
        });
        const bool posted =
            poster.post({{Qt::Key_V, Qt::ControlModifier, true}, {Qt::Key_V, Qt::ControlModifier, false}});
        EXPECT_EQ(posted, row.letGo);
        if (row.letGo) {
            EXPECT_TRUE(test::pumpUntil([&] { return pastes == 1; }, 5s))
                << "the paste did not arrive as Ctrl+V";
        } else {
            EXPECT_GE(start.msecsTo(time.now()), XTestKeyEventPoster::keyReleaseTimeout.count());
            run(QStringLiteral("xdotool"), {QStringLiteral("keyup"), QStringLiteral("ctrl+alt+z")});
        }
    }
}

} // namespace
} // namespace qw
