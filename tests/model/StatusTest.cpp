#include "tests/model/KeyringModelFixture.h"

namespace qw::test {
namespace {

class StatusTest : public KeyringModelTest {
protected:
    void SetUp() override
    {
        KeyringModelTest::SetUp();
        storeKeyDirectly(TranslationProvider::openAI);
        consentToCloud();
        ASSERT_TRUE(settings.setString(
            QStringLiteral("cloudConsentEndpoint.openai"),
            *ProviderConfiguration::defaults(TranslationProvider::openAI).consentEndpoint()));
        desktop.setTrusted(true);
    }

    void start()
    {
        makeKeyringModel();
        settleCredential();
        model->refreshPermissionStatus();
        model->performHotkeyAction(); // learns the frontmost application
    }

    DesktopElement field = window.textArea(QString()).focus();
};

TEST_F(StatusTest, EachBlockingConditionIsNamedAheadOfTheOnesBelowIt)
{
    start();
    ASSERT_EQ(model->runtimeStatus(), QStringLiteral("正在运行"));
    EXPECT_FALSE(model->hasBlockingIssue());
    EXPECT_TRUE(model->readyForLoginGuidance());

    keyTransport->answer = [](const FakeChatTransport::Sent&) {
        return TransportReply::response(500, "{}");
    };
    model->testProviderConnection();
    time.advance(keyTransport->latency);
    ASSERT_TRUE(settleUntil([this] { return !model->isTestingConnection(); }));
    EXPECT_EQ(model->runtimeStatus(), QStringLiteral("翻译服务连接失败"));
    EXPECT_TRUE(model->hasBlockingIssue());

    model->setCloudConsent(false);
    EXPECT_EQ(model->runtimeStatus(), QStringLiteral("尚未允许使用当前云翻译服务"));
    EXPECT_FALSE(model->readyForLoginGuidance());

    // A cancelled keyring prompt pauses the provider: its state is named, not a service failure.
    keyring.setLocked(true);
    keyring.setPromptOutcome(FakeSecretBackend::PromptOutcome::dismissed);
    keyService.clearCredentials(TranslationProvider::openAI);
    holdKeyring(FakeSecretBackend::Operation::read);
    model->authorizeCredential();
    EXPECT_EQ(model->runtimeStatus(), QStringLiteral("密钥访问正在处理"));
    releaseKeyring();
    ASSERT_TRUE(settleUntil([this] { return !model->isAuthorizingKey(); }));
    EXPECT_EQ(model->credentialState(), CredentialState::cancelled);
    EXPECT_EQ(model->runtimeStatus(), label(CredentialState::cancelled));

    keyring.setLocked(false);
    auto deleted = begin(model->deleteCurrentKey());
    ASSERT_TRUE(deleted.wait());
    ASSERT_TRUE(settleUntil([this] { return model->credentialState() == CredentialState::missing; }));
    EXPECT_EQ(model->runtimeStatus(), QStringLiteral("当前服务商尚未配置 API Key"));

    model->setInputTargetLanguage(model->inputSourceLanguage());
    EXPECT_EQ(model->runtimeStatus(), QStringLiteral("源语言与目标语言必须不同"));

    model->performHotkeyIgnoreToday();
    EXPECT_EQ(model->runtimeStatus(), QStringLiteral("此应用已暂停至午夜"));

    desktop.addApplication(QStringLiteral("org.example.Other"), QStringLiteral("Other")).activate();
    model->performHotkeyAction();
    EXPECT_EQ(model->runtimeStatus(), QStringLiteral("尚未允许翻译此应用"));

    desktop.setTrusted(false);
    model->refreshPermissionStatus();
    EXPECT_EQ(model->runtimeStatus(), QStringLiteral("需要开启应用辅助功能"));

    model->setInputTranslationEnabled(false);
    EXPECT_EQ(model->runtimeStatus(), QStringLiteral("翻译已关闭"));
    EXPECT_FALSE(model->hasBlockingIssue());
}

TEST_F(StatusTest, AnUnusableConfigurationIsNamedOnceEverythingElseIsInPlace)
{
    // A stored configuration without a model, and a consent given before endpoints were kept.
    ASSERT_TRUE(settings.apply({AppSettings::Table::providerConfigs.row.change(
        {{TranslationProvider::openAI,
          {TranslationProvider::openAI, ProviderConfiguration::defaults(TranslationProvider::openAI).baseURL,
           QString()}}})}));
    ASSERT_TRUE(settings.remove(QStringLiteral("cloudConsentEndpoint.openai")));
    start();
    EXPECT_EQ(model->runtimeStatus(), QStringLiteral("翻译配置无效"));
    EXPECT_FALSE(model->readyForLoginGuidance());
}

// What the hotkeys say where they have nothing to act on; a blocked one starts nothing.
TEST_F(StatusTest, HotkeysWithNothingToActOnSayWhy)
{
    start();
    model->setInputTranslationEnabled(false);
    EXPECT_EQ(model->runtimeStatus(), QStringLiteral("翻译已关闭"));
    model->performHotkeyAction();
    EXPECT_EQ(model->status(), QStringLiteral("请先启用输入翻译或页面翻译"));

    model->setInputTranslationEnabled(true);
    int blocked = 0;
    model->callbacks().onUserActionBlocked = [&] {
        ++blocked;
    };
    desktop.addApplication(QStringLiteral("org.example.Other"), QStringLiteral("Other")).activate();
    model->performHotkeyAction();
    EXPECT_EQ(blocked, 1);
    EXPECT_TRUE(model->showingError());
    EXPECT_EQ(model->translationErrorMessage(), QStringLiteral("尚未允许翻译此应用"));
    time.advance(2000ms);
    EXPECT_TRUE(keyTransport->sent.isEmpty());
}

// With a preview shown, the translate hotkey only changes the status line: it never replaces.
// The diagnostics never show the text, the translation or the key.
TEST_F(StatusTest, WithAPreviewTheHotkeyNeverReplacesAndDiagnosticsShowNoText)
{
    start();
    translateNow(field, QStringLiteral("今天开会"));
    ASSERT_TRUE(model->showingPreview());
    model->performHotkeyAction();
    settleUntil([this] { return !model->isInspecting(); });
    time.advance(2000ms);
    EXPECT_EQ(model->status(), QStringLiteral("预览已就绪；点击浮层的「替换到输入框」确认修改"));
    EXPECT_EQ(field.currentValue(), QStringLiteral("今天开会"));
    EXPECT_EQ(keyTransport->sent.size(), 1);

    const QList<AppModel::DiagnosticRow> rows = model->diagnostics();
    ASSERT_EQ(rows.size(), 9);
    EXPECT_EQ(rows.at(1).value, AppModel::defaultAllowedApplication);
    for (const AppModel::DiagnosticRow& row : rows) {
        EXPECT_FALSE(row.value.contains(QStringLiteral("今天开会"))) << row.label.toStdString();
        EXPECT_FALSE(row.value.contains(QStringLiteral("sk-stored"))) << row.label.toStdString();
    }
}

} // namespace
} // namespace qw::test
