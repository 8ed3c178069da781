#include "app/ApplicationDelegate.h"

#include "accessibility/adapters/AXVocabulary.h"
#include "app/TrayIndicator.h"
#include "core/InMemorySettingsStore.h"
#include "engine/TranslationService.h"
#include "l10n/L10n.h"
#include "l10n/LocalizationState.h"
#include "model/AppModel.h"
#include "settings/OnboardingWindow.h"
#include "settings/SettingsWindow.h"
#include "tests/app/ShellFakes.h"
#include "tests/bubble/SubstitutePanel.h"
#include "tests/engine/FakeChatTransport.h"
#include "tests/support/AsyncTestHelpers.h"
#include "tests/support/VirtualTime.h"
#include "tests/support/desktop/SubstituteDesktop.h"

#include <QCoreApplication>
#include <QPushButton>
#include <functional>
#include <gtest/gtest.h>

namespace qw::test {
namespace {

using namespace std::chrono_literals;

// The tray program on the substitute desktop, with virtual time for its scans.
class ApplicationDelegateTest : public ::testing::Test {
protected:
    void SetUp() override { LocalizationState::shared().setLanguage(InterfaceLanguage::chinese); }
    void TearDown() override
    {
        delegate.reset();
        LocalizationState::shared().setLanguage(InterfaceLanguage::system);
    }

    ApplicationDelegate& launch(bool atLogin = false)
    {
        delegate = std::make_unique<ApplicationDelegate>(
            ProgramEnvironment{settings,
                               time,
                               time,
                               QTimeZone::utc(),
                               service,
                               desktop.platform(),
                               desktop.observers(),
                               desktop.mouse(),
                               activations,
                               hotkeys,
                               loginItems,
                               installed,
                               screens,
                               [this] { return desktop.accessibility().isProcessTrusted(); },
                               [](const QString&) { return true; },
                               {},
                               {},
                               {},
                               {},
                               {},
                               {},
                               ownPid,
                               QStringLiteral("org.quillweave.Quillweave"),
                               [] { return true; },
                               [this](const QString& text) { notices.append(text); },
                               [this] {
                                   ++quits;
                               }});
        delegate->didFinishLaunching(atLogin);
        return *delegate;
    }

    // One turn of the event loop: the deferred work (indicator, activation scans) runs.
    static void turn() { QCoreApplication::processEvents(); }

    static bool shown(QWidget* window) { return window && window->isVisible(); }

    VirtualTime time;
    InMemorySettingsStore settings;
    SubstituteDesktop desktop;
    TranslationService service{[](TranslationProvider, bool) -> QCoro::Task<CredentialLoadResult> {
                                   co_return CredentialLoadResult::ok(std::nullopt);
                               },
                               time, time, std::make_unique<FakeChatTransport>(time)};
    PlayedActivations activations;
    FreeHotkeys hotkeys;
    FakeLoginItems loginItems;
    NoInstalledApplications installed;
    SubstituteScreens screens{single()};
    qint32 ownPid = 4242;
    QStringList notices;
    int quits = 0;
    DesktopApp editor =
        desktop.addApplication(QStringLiteral("org.xfce.mousepad"), QStringLiteral("Mousepad"));
    std::unique_ptr<ApplicationDelegate> delegate;
};

TEST_F(ApplicationDelegateTest, LooksAtTheFrontOnlyWhileATranslationIsOnAndAtEveryActivation)
{
    ASSERT_TRUE(settings.setBool(QStringLiteral("inputTranslationEnabled"), false));
    ASSERT_TRUE(settings.setBool(QStringLiteral("pageTranslationEnabled"), false));
    ApplicationDelegate& program = launch(true);
    EXPECT_FALSE(program.isScanning()) << "nothing to translate, nothing to poll";

    editor.activate();
    activations.activate();
    turn();
    EXPECT_EQ(program.model().currentBundle(), QStringLiteral("org.xfce.mousepad"))
        << "an activation is still looked at";

    ASSERT_TRUE(program.model().setInputTranslationEnabled(true));
    EXPECT_TRUE(program.isScanning());
    DesktopApp other =
        desktop.addApplication(QStringLiteral("org.gnome.TextEditor"), QStringLiteral("Text Editor"));
    other.activate();
    time.advance(ApplicationDelegate::scanInterval);
    EXPECT_EQ(program.model().currentBundle(), QStringLiteral("org.gnome.TextEditor")) << "the 0.3 s tick";

    // (This program in front changes nothing: the model's rule, checked with the menu.)
    ASSERT_TRUE(program.model().setInputTranslationEnabled(false));
    EXPECT_FALSE(program.isScanning());
}

TEST_F(ApplicationDelegateTest, AFieldCoveredByEventsIsReadOnlyWhenTheyAnnounceAChangeOrNowAndThen)
{
    ApplicationDelegate& program = launch(true);
    ASSERT_TRUE(
        program.model().allowApplication({QStringLiteral("org.xfce.mousepad"), QStringLiteral("Mousepad")}));
    // Blank texts are never translated: every read counted here is the scan's.
    DesktopElement field = editor.window().textArea(QString()).focus();
    activations.activate();
    turn();
    const auto reads = [&] {
        return desktop.attributeReads(AXAttribute::focusedUIElement);
    };
    // One tick, and the read it may have started on the accessibility worker.
    const auto scan = [&] {
        time.advance(ApplicationDelegate::scanInterval);
        return pumpUntil([&] { return !program.model().isInspecting(); });
    };
    // The field is read and its events registered; the next look reads it once more.
    ASSERT_TRUE(pumpUntil([&] { return !program.model().isInspecting() && program.model().currentField(); }));
    ASSERT_TRUE(scan());

    int before = reads();
    for (int tick = 1; tick < ApplicationDelegate::quietScansBetweenReads; ++tick)
        ASSERT_TRUE(scan());
    EXPECT_EQ(reads(), before) << "an unchanged field was read between events";
    ASSERT_TRUE(scan());
    EXPECT_GT(reads(), before) << "a lost event would never be caught up";

    const struct {
        const char* event;
        std::function<void()> announce;
    } events[] = {
        {"value changed",
         [&] {
             field.value(QStringLiteral(" "));
             desktop.notify(field, AXNotification::valueChanged);
         }},
        {"focus moved",
         [&] {
             desktop.notifyApplication(editor, AXNotification::focusedUIElementChanged);
         }},
    };
    for (const auto& row : events) {
        before = reads();
        row.announce();
        ASSERT_TRUE(scan());
        EXPECT_GT(reads(), before) << row.event;
        before = reads();
        ASSERT_TRUE(scan());
        EXPECT_EQ(reads(), before) << row.event << ": the read the event started already covers it";
    }
    EXPECT_EQ(program.model().currentField()->value, QStringLiteral(" "));
}

TEST_F(ApplicationDelegateTest, TheIconFollowsTheStatusAndItsBlockingIssues)
{
    ApplicationDelegate& program = launch(true);
    turn();
    const QString state = program.tray()->lastState();
    EXPECT_TRUE(state.endsWith(program.model().runtimeStatus()));
    EXPECT_EQ(program.tray()->showsBadge(), program.model().hasBlockingIssue());
    ASSERT_TRUE(program.model().hasBlockingIssue()) << "a fresh installation has no provider";

    ASSERT_TRUE(program.model().setDebounceMilliseconds(1200)); // a change that leaves the status alone
    turn();
    EXPECT_EQ(program.tray()->lastState(), state);

    ASSERT_TRUE(program.model().setInputTranslationEnabled(false));
    ASSERT_TRUE(program.model().setPageTranslationEnabled(false));
    turn();
    EXPECT_TRUE(program.tray()->lastState().endsWith(L10n::text(L10N_KEY("翻译已关闭"))));
    EXPECT_FALSE(program.tray()->showsBadge()) << "translation switched off blocks nothing";
}

TEST_F(ApplicationDelegateTest, WindowsOpenAsTheGuideAndTheSettingsSay)
{
    {
        ApplicationDelegate& program = launch(true);
        EXPECT_FALSE(shown(program.onboardingWindow()));
        EXPECT_FALSE(shown(program.settingsWindow())) << "started at login: no window";
        program.reopen({});
        EXPECT_TRUE(shown(program.onboardingWindow())) << "a new installation is guided first";
        program.onboardingWindow()->postponeButton()->click();
        turn();
        EXPECT_TRUE(shown(program.settingsWindow())) << "leaving the guide lands in the settings";
        program.reopen(ReopenRequest::fromNames(QStringLiteral("settings"), QStringLiteral("shortcuts")));
        EXPECT_EQ(program.settingsWindow()->currentSection(), SettingsSection::shortcuts);
    }
    delegate.reset();
    ApplicationDelegate& restarted = launch(false);
    EXPECT_TRUE(shown(restarted.settingsWindow())) << "a postponed guide is not shown by itself";
    EXPECT_FALSE(shown(restarted.onboardingWindow()));
    EXPECT_EQ(restarted.sectionForBubble(), SettingsSection::privacy) << "no consent yet";

    restarted.terminate();
    EXPECT_FALSE(restarted.isScanning());
}

} // namespace
} // namespace qw::test
