// The tray program's delegate starts the updater once with the installation's metadata, keeps
// its switches in the settings, shows it on the general page and re-localizes it. The page is
// written as a picture in both languages.
#include "app/ApplicationDelegate.h"
#include "core/InMemorySettingsStore.h"
#include "engine/TranslationService.h"
#include "l10n/LocalizationState.h"
#include "model/AppModel.h"
#include "settings/GeneralPage.h"
#include "settings/SettingsWindow.h"
#include "settings/UpdatesGroup.h"
#include "tests/app/ShellFakes.h"
#include "tests/bubble/SubstitutePanel.h"
#include "tests/engine/FakeChatTransport.h"
#include "tests/support/VirtualTime.h"
#include "tests/support/desktop/SubstituteDesktop.h"
#include "updates/AppUpdates.h"

#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QPushButton>
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

    UpdatesGroup& launchShowingSettings(const QString& installation = QStringLiteral("user"))
    {
        UpdateSetup setup{
            {{QStringLiteral("CFBundleShortVersionString"), QStringLiteral("0.4.0")},
             {QStringLiteral("QuillweaveInstallation"), installation},
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
        delegate->didFinishLaunching(true);
        delegate->reopen({ReopenRequest::Target::settings, QStringLiteral("general")});
        settle();
        return *delegate->settingsWindow()->generalPage()->findChild<UpdatesGroup*>();
    }

    static void settle()
    {
        for (int round = 0; round < 3; ++round)
            QCoreApplication::processEvents();
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

TEST_F(UpdatesWiringTest, StartsOnceShowsTheGroupKeepsTheSwitchesAndFollowsTheLanguage)
{
    UpdatesGroup& group = launchShowingSettings();
    EXPECT_TRUE(delegate->updates().available());
    EXPECT_EQ(installer->cleanups, 1);
    EXPECT_TRUE(group.isVisible());
    EXPECT_TRUE(group.checkButton()->isEnabled());
    group.automaticDownloadsSwitch()->click();
    group.automaticChecksSwitch()->click();

    const QString artifacts = QStringLiteral(QW_UPDATES_ARTIFACTS);
    ASSERT_TRUE(QDir().mkpath(artifacts));
    for (const auto& [language, name, status] :
         {std::tuple{InterfaceLanguage::chinese, "zh-Hans", "更新由签名验证，安装前需要确认"},
          std::tuple{InterfaceLanguage::english, "en",
                     "Updates are verified by their signature and installed only after you confirm"}}) {
        ASSERT_TRUE(delegate->model().setInterfaceLanguage(language));
        settle();
        EXPECT_EQ(group.status()->text(), QString::fromUtf8(status));
        EXPECT_TRUE(delegate->settingsWindow()->generalPage()->grab().save(
            QStringLiteral("%1/settings-general-updates-%2.png").arg(artifacts, QLatin1String(name))));
    }

    // The next start finds the switches as the user left them.
    delegate.reset();
    launchShowingSettings();
    EXPECT_TRUE(delegate->updates().automaticDownloads());
    EXPECT_FALSE(delegate->updates().automaticChecks());
}

TEST_F(UpdatesWiringTest, ASystemInstallationShowsOnlyWhereItsUpdatesComeFrom)
{
    UpdatesGroup& group = launchShowingSettings(QStringLiteral("system"));
    EXPECT_FALSE(group.automaticChecksSwitch()->isVisible());
    EXPECT_FALSE(group.automaticDownloadsSwitch()->isVisible());
    EXPECT_FALSE(group.checkButton()->isVisible());
    EXPECT_EQ(group.status()->text(), QStringLiteral("此安装由系统的软件包管理器更新"));
    EXPECT_EQ(installer->cleanups, 0);
}

} // namespace
} // namespace qw::test
