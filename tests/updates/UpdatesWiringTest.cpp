// The tray program's delegate starts the updater once with the installation's metadata, keeps
// its switches in the settings, shows it on the general page and re-localizes it.
#include "app/ApplicationDelegate.h"
#include "core/InMemorySettingsStore.h"
#include "engine/TranslationService.h"
#include "l10n/LocalizationState.h"
#include "model/AppModel.h"
#include "settings/GeneralPage.h"
#include "settings/SettingsWindow.h"
#include "settings/UpdatesGroup.h"
#include "tests/app/ShellFakes.h"
#include "tests/bubble/ScreenLayouts.h"
#include "tests/bubble/SubstitutePanel.h"
#include "tests/engine/FakeChatTransport.h"
#include "tests/support/VirtualTime.h"
#include "tests/support/desktop/SubstituteDesktop.h"
#include "updates/AppUpdates.h"

#include <gtest/gtest.h>

namespace qw::test {
namespace {

class RecordingInstaller final : public UpdateInstaller {
public:
    void removeLeftovers() override { ++cleanups; }
    QCoro::Task<bool> install(QVersionNumber, QByteArray) override { co_return false; }
    bool relaunch() override { return false; }
    int cleanups = 0;
};

class UpdatesWiringTest : public ::testing::Test {
protected:
    void SetUp() override { LocalizationState::shared().setLanguage(InterfaceLanguage::chinese); }
    void TearDown() override
    {
        delegate.reset();
        LocalizationState::shared().setLanguage(InterfaceLanguage::system);
    }

    ApplicationDelegate& launch()
    {
        UpdateSetup setup{
            {{QStringLiteral("CFBundleShortVersionString"), QStringLiteral("0.4.0")},
             {QStringLiteral("QuillweaveInstallation"), QStringLiteral("user")},
             {QStringLiteral("QuillweaveUpdatesEnabled"), true},
             {QStringLiteral("SUFeedURL"), QStringLiteral("https://updates.quillweave.org/feed.xml")},
             {QStringLiteral("SUPublicEDKey"), QString::fromLatin1(QByteArray(32, 'k').toBase64())}},
            installer,
            {}};
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
                               [] { return true; },
                               [](const QString&) { return true; },
                               {},
                               {},
                               {},
                               {},
                               {},
                               {},
                               4242,
                               QStringLiteral("org.quillweave.Quillweave"),
                               [] { return true; },
                               [](const QString&) {},
                               [] {},
                               false,
                               setup});
        delegate->didFinishLaunching(false);
        return *delegate;
    }

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
    std::shared_ptr<RecordingInstaller> installer = std::make_shared<RecordingInstaller>();
    std::unique_ptr<ApplicationDelegate> delegate;
};

TEST_F(UpdatesWiringTest, StartsOnceShowsOnTheGeneralPageKeepsTheSwitchesAndFollowsTheLanguage)
{
    ApplicationDelegate& shell = launch();
    EXPECT_TRUE(shell.updates().available());
    EXPECT_EQ(installer->cleanups, 1);
    shell.reopen({ReopenRequest::Target::settings, QStringLiteral("general")});
    ASSERT_TRUE(shell.settingsWindow());
    EXPECT_TRUE(shell.settingsWindow()->generalPage()->findChild<UpdatesGroup*>());

    shell.updates().setAutomaticDownloads(true);
    shell.updates().setAutomaticChecks(false);
    ASSERT_TRUE(shell.model().setInterfaceLanguage(InterfaceLanguage::english));
    EXPECT_EQ(shell.updates().status(),
              QStringLiteral("Updates are verified by their signature and installed only after you confirm"));

    // The next start finds the switches as the user left them.
    delegate.reset();
    ApplicationDelegate& again = launch();
    EXPECT_TRUE(again.updates().automaticDownloads());
    EXPECT_FALSE(again.updates().automaticChecks());
}

} // namespace
} // namespace qw::test
