#include "tests/model/KeyringModelFixture.h"

#include <future>

namespace qw::test {
namespace {

class CredentialFlowTest : public KeyringModelTest {
protected:
    static constexpr TranslationProvider openAI = TranslationProvider::openAI;
    static constexpr TranslationProvider deepSeek = TranslationProvider::deepSeek;
};

TEST_F(CredentialFlowTest, ASavedKeyIsReadSilentlyAndABlankOneNeverOverwritesIt)
{
    makeKeyringModel();
    settleCredential();
    EXPECT_EQ(model->apiKeyAuthorizationLabel(), QStringLiteral("未配置"));

    auto saved = start(model->storeKey(QStringLiteral("  sk-new \n")));
    EXPECT_TRUE(saved.wait());
    EXPECT_EQ(keyring.item(account(openAI)), QByteArray("sk-new"));
    EXPECT_EQ(model->connectionStatus(), QStringLiteral("密钥已保存，尚未测试连接"));

    auto blank = start(model->storeKey(QStringLiteral(" \n\t")));
    EXPECT_FALSE(blank.wait());
    EXPECT_EQ(model->status(), QStringLiteral("空 Key 不会覆盖已存密钥"));
    EXPECT_EQ(keyring.item(account(openAI)), QByteArray("sk-new"));
}

TEST_F(CredentialFlowTest, SwitchingProviderWhileAKeyIsSavedChangesNothingOfTheNewProvider)
{
    makeKeyringModel();
    settleCredential();
    holdKeyring(FakeSecretBackend::Operation::add);
    auto saved = start(model->storeKey(QStringLiteral("sk-openai")));
    model->setSelectedProvider(deepSeek);
    releaseKeyring();
    EXPECT_TRUE(saved.wait());
    settleCredential();
    EXPECT_EQ(keyring.item(account(openAI)), QByteArray("sk-openai"))
        << "saved for the provider it was typed for";
    EXPECT_EQ(model->credentialStates().at(deepSeek), CredentialState::missing);
    EXPECT_EQ(model->credentialStates().at(openAI), CredentialState::missing)
        << "the old provider's state is kept";
    EXPECT_EQ(model->connectionStatus(), QStringLiteral("尚未测试连接"));
}

TEST_F(CredentialFlowTest, ARefreshStartedBeforeADeletionDoesNotOverwriteMissing)
{
    storeKeyDirectly(openAI);
    consentToCloud();
    makeKeyringModel();
    settleCredential();
    ASSERT_EQ(model->credentialState(), CredentialState::accessible);

    // A refresh (from a provider switch back and forth) waits on the keyring while the key goes.
    holdKeyring(FakeSecretBackend::Operation::find);
    model->setSelectedProvider(openAI);
    auto deleted = begin(model->deleteCurrentKey());
    releaseKeyring();
    ASSERT_TRUE(deleted.wait());
    // The late answer of the first refresh (a key found) arrived before the deletion ended.
    ASSERT_TRUE(settleUntil([this] { return model->credentialState() == CredentialState::missing; }));
    EXPECT_FALSE(model->cloudConsent());
    EXPECT_EQ(settings.boolValue(QStringLiteral("cloudConsent.openai")), false);
    EXPECT_EQ(model->connectionStatus(), QStringLiteral("已删除此服务商的密钥"));
}

TEST_F(CredentialFlowTest, AFailedDeletionKeepsTheKeyAndTheConsent)
{
    storeKeyDirectly(openAI);
    consentToCloud();
    makeKeyringModel();
    settleCredential();
    keyring.setForcedStatus(FakeSecretBackend::Operation::remove, account(openAI),
                            SecretStatus::userCancelled);
    auto deleted = begin(model->deleteCurrentKey());
    ASSERT_TRUE(deleted.wait());
    EXPECT_EQ(model->connectionStatus(), QStringLiteral("密钥未删除：密钥环授权被取消或访问失败"));
    EXPECT_TRUE(keyring.item(account(openAI)).has_value());
    EXPECT_TRUE(model->cloudConsent());
}

// Only the user's authorization may prompt, once however often it is asked while it runs.
TEST_F(CredentialFlowTest, KeyringStatusesBecomeTheirStatesAndOnlyTheUserMakesItPrompt)
{
    storeKeyDirectly(openAI);
    keyring.setLocked(true);
    makeKeyringModel();
    settleCredential();
    // The background read met a locked keyring and did not prompt.
    EXPECT_EQ(model->credentialState(), CredentialState::lockedOrApproval);
    EXPECT_EQ(keyring.promptsShown(), 0);
    EXPECT_EQ(model->pausedCredentialProviders().count(openAI), 1u);

    keyring.setPromptOutcome(FakeSecretBackend::PromptOutcome::dismissed);
    holdKeyring(FakeSecretBackend::Operation::read);
    model->authorizeCredential();
    EXPECT_EQ(model->apiKeyAuthorizationLabel(), QStringLiteral("授权中"));
    model->authorizeCredential(); // a second one while the first runs does nothing
    releaseKeyring();
    ASSERT_TRUE(settleUntil([this] { return !model->isAuthorizingKey(); }));
    EXPECT_EQ(keyring.promptsShown(), 1);
    int reads = 0;
    for (const FakeSecretBackend::Call& call : keyring.calls())
        reads +=
            call.operation == FakeSecretBackend::Operation::read && call.access == SecretAccess::mayPrompt;
    EXPECT_EQ(reads, 1);
    EXPECT_EQ(model->credentialState(), CredentialState::cancelled);

    keyring.setPromptOutcome(FakeSecretBackend::PromptOutcome::fails);
    model->authorizeCredential();
    ASSERT_TRUE(settleUntil([this] { return !model->isAuthorizingKey(); }));
    EXPECT_EQ(model->credentialState(), CredentialState::failed);
    EXPECT_EQ(model->credentialErrorCodes().at(openAI), SecretStatus::authorizationFailed);

    // A connection test reads silently: no prompt.
    model->testProviderConnection();
    ASSERT_TRUE(settleUntil([this] { return !model->isTestingConnection(); }));
    EXPECT_EQ(keyring.promptsShown(), 2);
    EXPECT_FALSE(model->serviceFailure()) << "a key that cannot be read is not a service failure";

    keyring.setPromptOutcome(FakeSecretBackend::PromptOutcome::unlocks);
    model->authorizeCredential();
    ASSERT_TRUE(settleUntil([this] { return !model->isAuthorizingKey(); }));
    EXPECT_EQ(model->credentialState(), CredentialState::accessible);
    EXPECT_TRUE(model->pausedCredentialProviders().empty());
    EXPECT_EQ(model->status(), QStringLiteral("密钥可访问"));
}

TEST_F(CredentialFlowTest, TheApprovalResumesTheTranslationTheLockedKeyringInterrupted)
{
    storeKeyDirectly(openAI);
    consentToCloud();
    desktop.setTrusted(true);
    makeKeyringModel();
    settleCredential();
    // The keyring locks and the key is no longer in memory: the background read fails.
    keyring.setLocked(true);
    keyService.clearCredentials(openAI);
    DesktopElement field = window.textArea(QString()).focus();
    translateNow(field, QStringLiteral("今天开会"));
    ASSERT_TRUE(model->showingError());
    ASSERT_TRUE(keyTransport->sent.isEmpty());
    ASSERT_EQ(model->credentialState(), CredentialState::lockedOrApproval);

    model->authorizeCredential(); // the prompt unlocks
    ASSERT_TRUE(settleUntil([this] { return !model->isAuthorizingKey(); }));
    // The same text is still in the field: it is translated again at once.
    ASSERT_TRUE(settleUntil([this] { return model->hasPendingTranslation(); }));
    EXPECT_EQ(model->status(), QStringLiteral("快捷键：立即翻译…"));
    time.advance(0ms);
    finishTranslation();
    EXPECT_EQ(model->translation(), QStringLiteral("EN:今天开会"));
}

TEST_F(CredentialFlowTest, AConnectionTestNeedsAKeyAndReportsTheServicesText)
{
    makeKeyringModel();
    settleCredential();
    model->testProviderConnection();
    EXPECT_EQ(model->connectionStatus(), QStringLiteral("请先保存 API Key"));

    ASSERT_TRUE(start(model->storeKey(QStringLiteral("sk-new"))).wait());
    model->testProviderConnection();
    EXPECT_EQ(model->connectionStatus(), QStringLiteral("正在测试当前服务商…"));
    ASSERT_TRUE(settleUntil([this] { return !keyTransport->sent.isEmpty(); }));
    // A newer test cancels the first; only its answer counts.
    model->testProviderConnection();
    time.advance(keyTransport->latency);
    ASSERT_TRUE(settleUntil([this] { return !model->isTestingConnection(); }));
    EXPECT_TRUE(model->connectionStatus().startsWith(QStringLiteral("连接正常")));
}

} // namespace
} // namespace qw::test
