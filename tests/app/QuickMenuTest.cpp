#include "app/QuickMenu.h"

#include "l10n/L10n.h"
#include "settings/LoginStartup.h"
#include "tests/app/ShellFakes.h"
#include "tests/model/ModelTestFixture.h"

#include <QAction>
#include <QMenu>

namespace qw::test {
namespace {

class QuickMenuTest : public ModelTest {
protected:
    // A model that knows a key is stored, so that the setup is complete once consent is given.
    void makeReadyModel()
    {
        AppModel::Collaborators c = collaborators(service);
        c.keyPresence = [](TranslationProvider) -> QCoro::Task<bool> {
            co_return true;
        };
        build(std::move(c), {AppModel::defaultAllowedApplication});
        ASSERT_TRUE(settleUntil([this] { return model->hasAPIKey(); }));
        menu = std::make_unique<QuickMenu>(
            *model, startup, [this](std::optional<SettingsSection> s) { opened.append(s); },
            [this] { ++quits; });
    }

    void open() { menu->menuNeedsUpdate(); }

    static QString text(const char* key) { return L10n::text(QString::fromUtf8(key)); }

    // The titles of a menu's items, a submenu written as "title > first item | second item".
    static QStringList titles(const QMenu* m)
    {
        QStringList out;
        for (const QAction* a : m->actions()) {
            if (a->isSeparator())
                out.append(QStringLiteral("—"));
            else
                out.append(a->text());
        }
        return out;
    }

    QAction* item(const QString& titleStart, QMenu* in = nullptr) const
    {
        for (QAction* a : (in ? in : menu->menu())->actions())
            if (a->text().startsWith(titleStart))
                return a;
        return nullptr;
    }

    FakeLoginItems loginItems;
    LoginStartup startup{loginItems, settings};
    QList<std::optional<SettingsSection>> opened;
    int quits = 0;
    std::unique_ptr<QuickMenu> menu;
};

TEST_F(QuickMenuTest, SetupRowsFollowTheStateOfTheMomentTheMenuOpens)
{
    // The keyring answers the silent read with a refusal: the key is stored but not readable.
    keyResult = CredentialLoadResult::failure({CredentialLoadFailure::Kind::accessError, -25293});
    makeReadyModel();
    desktop.setTrusted(false);
    open();
    EXPECT_TRUE(item(text("授予辅助功能权限")));
    EXPECT_FALSE(item(text("配置翻译服务…"))) << "permission comes first whatever the service";

    desktop.setTrusted(true);
    open();
    EXPECT_FALSE(item(text("授予辅助功能权限")));
    ASSERT_TRUE(item(text("配置翻译服务…"))) << "no consent yet";
    item(text("配置翻译服务…"))->trigger();
    EXPECT_EQ(opened.last(), SettingsSection::models);

    // A stored key that could not be read: the row starts authorization.
    QAction* key = item(text("授权apikey"));
    ASSERT_TRUE(key);
    EXPECT_TRUE(key->isEnabled());
    const qsizetype openings = opened.size();
    keyResult = CredentialLoadResult::ok(QStringLiteral("sk-test-key"));
    key->trigger();
    EXPECT_EQ(opened.size(), openings) << "with a stored key the row authorizes instead of opening settings";
    ASSERT_TRUE(settleUntil([this] { return model->credentialState() == CredentialState::accessible; }));
    open();
    EXPECT_FALSE(item(text("授权apikey"))) << "a readable key needs no row";
}

TEST_F(QuickMenuTest, TranslationSwitchesAndLanguagesActThroughTheModel)
{
    makeReadyModel();
    ASSERT_TRUE(model->setInputTranslationEnabled(false));
    open();
    EXPECT_FALSE(item(text("输入模式"))->isEnabled());
    EXPECT_FALSE(item(text("输入语言"))->isEnabled());

    item(text("输入翻译"))->trigger();
    EXPECT_TRUE(model->inputTranslationEnabled());
    open();
    EXPECT_TRUE(item(text("输入翻译"))->isChecked());
    QMenu* pair = item(text("页面语言"))->menu();
    QMenu* targets = item(text("目标语言"), pair)->menu();
    EXPECT_EQ(targets->actions().size(), translationTargets().size());
    item(label(TranslationLanguage::japanese), targets)->trigger();
    EXPECT_EQ(model->pageTargetLanguage(), TranslationLanguage::japanese);
    QMenu* modes = item(text("输入模式"))->menu();
    item(label(TranslationMode::selection), modes)->trigger();
    EXPECT_EQ(model->inputTranslationMode(), TranslationMode::selection);
}

TEST_F(QuickMenuTest, ApplicationRowsConcernTheApplicationInFrontWhenTheMenuOpened)
{
    DesktopApp own =
        desktop.addApplication(QStringLiteral("org.quillweave.Quillweave"), QStringLiteral("Quillweave"));
    DesktopApp nameless = desktop.addApplication(QString(), QStringLiteral("Tool"));
    ownPid = own.pid();
    makeReadyModel();

    editor.activate();
    open();
    EXPECT_TRUE(item(text("今日忽略此应用")));
    item(text("今日忽略此应用"))->trigger();
    own.activate();
    open();
    EXPECT_EQ(item(text("当前应用"))->text(),
              text("当前应用") + QStringLiteral("\uFF1A") + QStringLiteral("Text Editor"))
        << "this program in front leaves the application shown before";
    ASSERT_TRUE(item(text("恢复翻译")));
    EXPECT_FALSE(item(text("今日忽略此应用")));
    item(text("恢复翻译"))->trigger();
    EXPECT_FALSE(model->isAppIgnoredToday(AppModel::defaultAllowedApplication));

    nameless.activate();
    open();
    EXPECT_FALSE(item(text("允许授权此应用"))->isEnabled()) << "no id, nothing to allow";
    QMenu* permissions = item(text("应用翻译权限"))->menu();
    EXPECT_FALSE(item(text("取消本应用授权…"), permissions)->isEnabled());
    item(text("管理应用…"), permissions)->trigger();
    EXPECT_EQ(opened.last(), SettingsSection::applications);
}

TEST_F(QuickMenuTest, LoginStartSuggestionUntilEnabledOrDismissed)
{
    consentToCloud();
    makeReadyModel();
    loginItems.installed = false;
    open();
    ASSERT_TRUE(model->readyForLoginGuidance());
    QAction* login = item(text("登录时启动"));
    ASSERT_TRUE(login);
    item(text("开启"), login->menu())->trigger();
    EXPECT_EQ(opened.last(), SettingsSection::general) << "opened even when the copy may not start at login";
    EXPECT_FALSE(startup.errorMessage().isEmpty());

    item(text("暂不提醒"), item(text("登录时启动"))->menu())->trigger();
    open();
    EXPECT_FALSE(item(text("登录时启动")));
    LoginStartup afterRestart(loginItems, settings);
    EXPECT_TRUE(afterRestart.dismissed());

    item(text("退出"))->trigger();
    EXPECT_EQ(quits, 1);
}

} // namespace
} // namespace qw::test
