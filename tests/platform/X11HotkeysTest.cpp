#include "app/GlobalHotkeys.h"
#include "platform/x11/X11HotkeyService.h"
#include "platform/x11/XTestKeyEventPoster.h"
#include "tests/support/AsyncTestHelpers.h"
#include "tests/support/InterfaceLanguageScope.h"
#include "tests/support/VirtualTime.h"

#include <QProcess>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

// Last, and with the macros that clash with the names above undone: the test's raw X client.
#include <X11/Xlib.h>
#include <X11/keysym.h>
#undef Status
#undef None
#undef Bool

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

// Keys go through XTest, as a keyboard's would: "key", "keydown" or "keyup".
bool xdotool(const char* action, const QString& keys)
{
    return run(QStringLiteral("xdotool"), {QString::fromLatin1(action), keys});
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
        return xdotool("key", QString::fromLatin1(keys)) &&
               test::pumpUntil([&] { return counter > before; }, 5s);
    }

    test::InterfaceLanguageScope english{InterfaceLanguage::english};
    X11HotkeyService service;
    GlobalHotkeys hotkeys{service};
    int translations = 0;
    int restores = 0;
    int revokes = 0;
};

TEST_F(X11HotkeysTest, EveryCombinationIsGrabbedWhateverTheLocksFollowsThePresetAndIsReleasedAtTheEnd)
{
    EXPECT_TRUE(hotkeys.configure(true, HotkeyPreset::controlOptionT, true)
                    .startsWith(QStringLiteral("On: Ctrl+Alt+T")));
    EXPECT_TRUE(hotkeys.appActionsRegistered());
    const KeyCombination all[] = {
        {Qt::Key_T, ctrlAlt}, {Qt::Key_Z, ctrlAlt}, {Qt::Key_I, ctrlAlt}, {Qt::Key_I, ctrlAltShift}};
    for (const KeyCombination& combination : all)
        EXPECT_EQ(grabFromAnotherClient(combination), badAccess);

    // Held, the key keeps the keyboard grabbed and the focused field unfocused: the action waits
    // for it to come up.
    ASSERT_TRUE(xdotool("keydown", QStringLiteral("ctrl+alt+t")));
    EXPECT_FALSE(test::pumpUntil([&] { return translations > 0; }, 300ms)) << "delivered while held";
    ASSERT_TRUE(xdotool("keyup", QStringLiteral("t")));
    EXPECT_TRUE(test::pumpUntil([&] { return translations == 1; }, 5s));
    ASSERT_TRUE(xdotool("keyup", QStringLiteral("ctrl+alt")));
    ASSERT_TRUE(xdotool("key", QStringLiteral("Num_Lock")));
    EXPECT_TRUE(pressReaches("ctrl+alt+z", restores)) << "with Num Lock on";
    ASSERT_TRUE(xdotool("key", QStringLiteral("Num_Lock")));
    ASSERT_TRUE(xdotool("key", QStringLiteral("Caps_Lock")));
    EXPECT_TRUE(pressReaches("ctrl+alt+shift+i", revokes)) << "with Caps Lock on";
    ASSERT_TRUE(xdotool("key", QStringLiteral("Caps_Lock")));
    EXPECT_EQ(translations + restores + revokes, 3) << "one press, one call";

    // Switching the preset moves the translate hotkey and gives the terminal its Ctrl+Alt+T back.
    EXPECT_TRUE(hotkeys.configure(true, HotkeyPreset::controlOptionShiftT, true)
                    .startsWith(QStringLiteral("On: Ctrl+Alt+Shift+T")));
    EXPECT_EQ(grabFromAnotherClient({Qt::Key_T, ctrlAlt}), 0);
    EXPECT_TRUE(pressReaches("ctrl+alt+shift+t", translations));

    hotkeys.unregister();
    for (const KeyCombination& combination : all)
        EXPECT_EQ(grabFromAnotherClient(combination), 0) << "a combination is still held after unregister()";
}

TEST_F(X11HotkeysTest, AConflictNamesTheXErrorAndKeepsWhatStillWorks)
{
    // The full texts are the rules' business (tests/app); here the X error must reach them.
    const struct {
        const char* situation;
        KeyCombination heldElsewhere;
        const char* status;
        bool translateWorks;
    } cases[] = {
        {"a terminal holds Ctrl+Alt+T",
         {Qt::Key_T, ctrlAlt},
         "The hotkeys are taken by another program or refused by the X server (error codes 10, 0)",
         false},
        {"another program holds Ctrl+Alt+I", {Qt::Key_I, ctrlAlt}, "are taken (error codes 10, 0)", true},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.situation);
        X11HotkeyService other;
        ASSERT_EQ(other.registerHotkey({0, 1}, row.heldElsewhere), 0);
        EXPECT_THAT(hotkeys.configure(true, HotkeyPreset::controlOptionT, true).toStdString(),
                    ::testing::HasSubstr(row.status));
        EXPECT_FALSE(hotkeys.appActionsRegistered());
        if (row.translateWorks) {
            EXPECT_TRUE(pressReaches("ctrl+alt+t", translations));
        } else {
            EXPECT_EQ(grabFromAnotherClient({Qt::Key_Z, ctrlAlt}), 0) << "nothing stays half registered";
        }
        hotkeys.unregister();
    }
}

TEST_F(X11HotkeysTest, ALayoutChangeMovesTheHotkeysToTheKeysThatTypeThemAndReportsALoss)
{
    ASSERT_TRUE(run(QStringLiteral("setxkbmap"), {QStringLiteral("us")}));
    struct RestoreLayout {
        ~RestoreLayout() { run(QStringLiteral("setxkbmap"), {QStringLiteral("us")}); }
    } restoreLayout;
    Display* other = XOpenDisplay(nullptr);
    ASSERT_NE(other, nullptr);
    const KeyCode usZ = XKeysymToKeycode(other, XK_z);
    hotkeys.configure(true, HotkeyPreset::controlOptionT, false);
    int losses = 0;
    hotkeys.onRegistrationLost = [&] {
        ++losses;
    };

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

    // Another program takes the key Z will be on after switching back: the loss is reported.
    XGrabKey(other, usZ, ControlMask | Mod1Mask, DefaultRootWindow(other), True, GrabModeAsync,
             GrabModeAsync);
    XSync(other, False);
    ASSERT_TRUE(run(QStringLiteral("setxkbmap"), {QStringLiteral("us")}));
    EXPECT_TRUE(test::pumpUntil([&] { return losses == 1; }, 5s));
    EXPECT_THAT(hotkeys.configure(true, HotkeyPreset::controlOptionT, false).toStdString(),
                ::testing::HasSubstr("(error codes 0, 10)"));
    XCloseDisplay(other);
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
        field.installHandler([&](HotkeyIdentifier) { return ++pastes > 0; }, nullptr);
        ASSERT_EQ(field.registerHotkey({0, 7}, {Qt::Key_V, Qt::ControlModifier}), 0);

        ASSERT_TRUE(xdotool("keydown", QStringLiteral("ctrl+alt+z")));
        if (QByteArray(row.stillHeld) == "z") {
            ASSERT_TRUE(xdotool("keyup", QStringLiteral("ctrl+alt")));
        }
        test::VirtualTime time;
        const QDateTime start = time.now();
        int sleeps = 0;
        XTestKeyEventPoster poster(time, [&](std::chrono::milliseconds step) {
            if (sleeps++ == 3 && row.letGo)
                xdotool("keyup", QString::fromLatin1(row.stillHeld));
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
            xdotool("keyup", QStringLiteral("ctrl+alt+z"));
        }
    }
}

} // namespace
} // namespace qw
