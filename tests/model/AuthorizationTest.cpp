#include "tests/model/KeyringModelFixture.h"

namespace qw::test {
namespace {

class AuthorizationTest : public KeyringModelTest {
protected:
    void SetUp() override
    {
        KeyringModelTest::SetUp();
        makeKeyringModel();
    }

    const TranslationApplication notes{QStringLiteral("org.example.Notes"), QStringLiteral("Notes")};
    const TranslationApplication browser{QStringLiteral("org.example.Browser"), QStringLiteral("Browser")};
};

TEST_F(AuthorizationTest, AllowingNamesTheApplicationAndRevokingNamesItsId)
{
    const QString before = model->status();
    model->ignoreAppToday(notes);
    EXPECT_TRUE(model->ignoredAppsUntil().isEmpty()) << "a not allowed application cannot be paused";
    EXPECT_EQ(model->status(), before);

    model->requestAllowApplication(notes);
    EXPECT_TRUE(model->allowedBundleIDs().contains(notes.bundleID));
    EXPECT_EQ(model->status(), QStringLiteral("已允许 Notes"));
    model->ignoreAppToday(notes);
    ASSERT_TRUE(model->isAppIgnoredToday(notes.bundleID));

    model->removeAllowedApp(notes.bundleID);
    EXPECT_FALSE(model->allowedBundleIDs().contains(notes.bundleID));
    EXPECT_EQ(model->status(), QStringLiteral("已停止读取 org.example.Notes"));
}

TEST_F(AuthorizationTest, ABrowserIsAllowedOnlyAfterItsConfirmation)
{
    desktop.addApplication(browser.bundleID, browser.name).handlesHttps();

    // Nobody to ask: nothing happens.
    model->requestAllowApplication(browser);
    EXPECT_FALSE(model->allowedBundleIDs().contains(browser.bundleID));

    QList<TranslationApplication> asked;
    model->callbacks().onBrowserConfirmationRequested = [&](const TranslationApplication& app) {
        asked.append(app);
    };
    model->requestAllowApplication(browser);
    EXPECT_EQ(asked, QList<TranslationApplication>{browser});
    EXPECT_FALSE(model->allowedBundleIDs().contains(browser.bundleID));

    model->allowApplication(browser); // the confirmation's second button
    EXPECT_TRUE(model->allowedBundleIDs().contains(browser.bundleID));
}

TEST_F(AuthorizationTest, ApplicationIdentityAndAddingTheCurrentApplication)
{
    installedNames.insert(notes.bundleID, QStringLiteral("Notes"));
    EXPECT_EQ(model->applicationIdentity(notes.bundleID), notes);
    EXPECT_EQ(
        model->applicationIdentity(QStringLiteral("org.example.Gone")),
        (TranslationApplication{QStringLiteral("org.example.Gone"), QStringLiteral("org.example.Gone")}));

    // Nothing seen yet: nothing to add.
    model->addCurrentApp();
    EXPECT_EQ(model->allowedBundleIDs().size(), 1);
    // Never this program itself, however it is asked.
    model->allowApplication(model->applicationIdentity(QStringLiteral("quillweave")));
    EXPECT_FALSE(model->allowedBundleIDs().contains(QStringLiteral("quillweave")));
    EXPECT_EQ(model->status(), QStringLiteral("不能允许织语读取它自己"));

    DesktopApp other = desktop.addApplication(notes.bundleID, QStringLiteral("Notes (running)"));
    other.window().textArea(QString()).focus();
    other.activate();
    desktop.setTrusted(true);
    model->performHotkeyAction(); // learns the frontmost application
    ASSERT_EQ(model->currentBundle(), notes.bundleID);
    EXPECT_EQ(model->applicationIdentity(notes.bundleID).name, QStringLiteral("Notes (running)"));
    model->addCurrentApp();
    EXPECT_TRUE(model->allowedBundleIDs().contains(notes.bundleID));
    EXPECT_EQ(model->status(), QStringLiteral("已允许 Notes (running)"));
}

TEST_F(AuthorizationTest, TheApplicationHotkeysActOnTheFrontmostAllowedApplicationOnly)
{
    QList<TranslationApplication> revokeAsked;
    model->callbacks().onRevokeConfirmationRequested = [&](const TranslationApplication& app) {
        revokeAsked.append(app);
    };

    DesktopApp other = desktop.addApplication(notes.bundleID, notes.name);
    other.activate();
    model->performHotkeyIgnoreToday();
    EXPECT_EQ(model->status(), QStringLiteral("当前没有可忽略的已授权应用"));
    model->performHotkeyRevoke();
    EXPECT_EQ(model->status(), QStringLiteral("当前没有可取消授权的应用"));
    EXPECT_TRUE(revokeAsked.isEmpty());

    editor.activate();
    model->performHotkeyRevoke();
    ASSERT_EQ(revokeAsked.size(), 1);
    EXPECT_EQ(revokeAsked.first().bundleID, AppModel::defaultAllowedApplication);
    EXPECT_EQ(revokeAsked.first().name, QStringLiteral("Text Editor"));

    model->performHotkeyIgnoreToday();
    EXPECT_TRUE(model->isAppIgnoredToday(AppModel::defaultAllowedApplication));
    EXPECT_EQ(model->status(), QStringLiteral("今日已忽略 Text Editor，午夜自动恢复"));
}

TEST_F(AuthorizationTest, RevokeWhileTheBubbleShowsAnErrorForANoLongerAllowedApplicationDoesNothing)
{
    // A translation fails for the editor: the bubble shows the error for it.
    consentToCloud();
    desktop.setTrusted(true);
    storeKeyDirectly(TranslationProvider::openAI);
    keyTransport->answer = [](const FakeChatTransport::Sent&) {
        return TransportReply::response(500, "{}");
    };
    makeKeyringModel();
    settleCredential();
    DesktopElement field = window.textArea(QString()).focus();
    translateNow(field, QStringLiteral("今天开会"));
    ASSERT_TRUE(model->showingError());
    ASSERT_EQ(model->previewApplication()->bundleID, AppModel::defaultAllowedApplication);

    bool asked = false;
    model->callbacks().onRevokeConfirmationRequested = [&](const TranslationApplication&) {
        asked = true;
    };
    model->setAllowedBundleIDs({}); // withdrawn elsewhere (the settings window)
    const QString before = model->status();
    model->performHotkeyRevoke();
    EXPECT_FALSE(asked);
    EXPECT_EQ(model->status(), before);
}

// What the provider settings decide (the consent bound to its address, a built-in provider's
// own address) is tested with them; here, what the user reads of it.
TEST_F(AuthorizationTest, ProviderSettingsAreSavedTrimmedAndAnInvalidAddressOrConsentIsRefused)
{
    model->setSelectedProvider(TranslationProvider::custom);
    model->setCloudConsent(true); // nothing configured yet: nothing to consent to
    EXPECT_FALSE(model->cloudConsent());
    EXPECT_EQ(model->connectionStatus(), QStringLiteral("请先填写可用的模型 ID"));
    model->updateProviderSettings(QStringLiteral("  https://one.example/v1 \n"), QStringLiteral("m1"));
    EXPECT_EQ(model->connectionStatus(), QStringLiteral("配置已保存，可测试连接"));
    model->setCloudConsent(true);
    EXPECT_EQ(settings.string(QStringLiteral("cloudConsentEndpoint.custom")),
              model->currentProviderConfiguration().consentEndpoint());

    const ProviderConfiguration saved = model->currentProviderConfiguration();
    model->updateProviderSettings(QStringLiteral("ftp://two.example"), QStringLiteral("m3"));
    EXPECT_EQ(model->currentProviderConfiguration(), saved);
    EXPECT_EQ(model->connectionStatus(),
              QStringLiteral("API 地址无效；必须使用 HTTPS，并正确配置服务商地址"));
    EXPECT_TRUE(model->cloudConsent());
}

TEST_F(AuthorizationTest, RequestingThePermissionReportsItAndShowsWhereToTurnItOn)
{
    model->requestPermission();
    EXPECT_EQ(trustRequests, 1);
    EXPECT_EQ(model->status(),
              QStringLiteral("请在桌面设置中开启辅助功能（或运行 quillweave doctor enable）"));
    EXPECT_EQ(settingsOpened, 1);

    trustAfterRequest = true;
    model->requestPermission();
    EXPECT_TRUE(model->permissionGranted());
    EXPECT_EQ(model->status(), QStringLiteral("应用辅助功能已开启"));
    EXPECT_EQ(settingsOpened, 1) << "the settings are opened only while the switch is off";
}

} // namespace
} // namespace qw::test
