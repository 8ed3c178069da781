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

    model->ignoreAppToday(notes);
    EXPECT_TRUE(model->ignoredAppsUntil().isEmpty()) << "a not allowed application cannot be paused";
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
