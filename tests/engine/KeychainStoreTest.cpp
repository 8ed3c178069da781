#include "engine/KeychainStore.h"

#include "l10n/LocalizationState.h"
#include "engine/TranslationError.h"
#include "tests/support/FakeSecretBackend.h"

#include <atomic>
#include <gtest/gtest.h>
#include <thread>

using namespace qw;
using qw::test::FakeSecretBackend;

namespace {

const QString openAIAccount = QStringLiteral("translation-api-key.openai");
const QString legacyAccount = QStringLiteral("translation-api-key");
const QString deepSeekAccount = QStringLiteral("translation-api-key.deepseek");

class KeychainStoreTest : public ::testing::Test {
protected:
    FakeSecretBackend backend;
    KeychainStore store{backend};
};

std::optional<QString> loadedKey(KeychainStore& store, TranslationProvider provider, bool allow = false)
{
    auto result = store.load(provider, allow);
    if (!result.isOk()) {
        ADD_FAILURE() << "load failed with status " << result.error().status;
        return std::nullopt;
    }
    return result.value();
}

} // namespace

TEST(KeychainStoreAccounts, OnlyOpenAISearchesTheLegacyAccountAfterItsOwn)
{
    EXPECT_EQ(KeychainStore::accounts(TranslationProvider::openAI),
              (QStringList{openAIAccount, legacyAccount}));
    EXPECT_EQ(KeychainStore::accounts(TranslationProvider::deepSeek), QStringList{deepSeekAccount});
    EXPECT_EQ(KeychainStore::accounts(TranslationProvider::custom),
              QStringList{QStringLiteral("translation-api-key.custom")});
}

TEST(KeychainStoreItems, CarryTheProgramsIdAndTheProvidersNameInTheInterfaceLanguage)
{
    EXPECT_EQ(KeychainStore::service(), QStringLiteral("org.quillweave.Quillweave"));
    LocalizationState::shared().setLanguage(InterfaceLanguage::english);
    EXPECT_EQ(KeychainStore::label(TranslationProvider::deepSeek),
              QStringLiteral("Quillweave API key (DeepSeek)"));
    EXPECT_EQ(KeychainStore::label(TranslationProvider::custom),
              QStringLiteral("Quillweave API key (Custom OpenAI-compatible endpoint)"));
    LocalizationState::shared().setLanguage(InterfaceLanguage::chinese);
    EXPECT_EQ(KeychainStore::label(TranslationProvider::kimi),
              QStringLiteral("织语 API 密钥（Kimi / Moonshot）"));
    LocalizationState::shared().setLanguage(InterfaceLanguage::system);
}

// A status the user can act on gets a message of its own; the rest show their number.
TEST(KeychainStoreFailureMessages, NoKeyringServiceNamesTheRemedyInsteadOfANumber)
{
    struct Row {
        InterfaceLanguage language;
        qint32 status;
        const char* message;
    };
    const Row rows[] = {
        {InterfaceLanguage::english, SecretStatus::serviceUnavailable,
         "Keyring unavailable: no Secret Service is running in this session. Start gnome-keyring or KWallet; "
         "run quillweave doctor for details."},
        {InterfaceLanguage::chinese, SecretStatus::serviceUnavailable,
         "密钥环不可用：当前会话中没有运行 Secret Service。请启动 gnome-keyring 或 KWallet；运行 quillweave "
         "doctor "
         "查看详情。"},
        {InterfaceLanguage::english, SecretStatus::interactionNotAllowed,
         "Key access needs authorization or an unlocked keyring"},
        {InterfaceLanguage::english, SecretStatus::internalFailure, "Could not read the key (-2070)"},
    };
    for (const Row& row : rows) {
        LocalizationState::shared().setLanguage(row.language);
        EXPECT_EQ(TranslationError::credentialFailure(row.status).message(), QString::fromUtf8(row.message))
            << row.status;
    }
    LocalizationState::shared().setLanguage(InterfaceLanguage::system);
}

TEST_F(KeychainStoreTest, LegacyOpenAIKeyIsFoundAndRemoved)
{
    backend.setItem(legacyAccount, "sk-legacy");

    EXPECT_EQ(loadedKey(store, TranslationProvider::openAI), QStringLiteral("sk-legacy"));
    EXPECT_TRUE(store.contains(TranslationProvider::openAI));
    // The legacy account belongs to OpenAI alone.
    EXPECT_EQ(loadedKey(store, TranslationProvider::kimi), std::nullopt);

    EXPECT_TRUE(store.remove(TranslationProvider::openAI));
    EXPECT_EQ(backend.itemCount(), 0);
    EXPECT_FALSE(store.contains(TranslationProvider::openAI));
}

TEST_F(KeychainStoreTest, NewOpenAIKeyGoesToItsOwnAccountAndWinsOverTheLegacyOne)
{
    backend.setItem(legacyAccount, "sk-legacy");

    ASSERT_TRUE(store.save(QStringLiteral("sk-new"), TranslationProvider::openAI));

    EXPECT_EQ(backend.item(openAIAccount), QByteArray("sk-new"));
    EXPECT_EQ(backend.item(legacyAccount), QByteArray("sk-legacy")) << "the legacy item is never written";
    EXPECT_EQ(backend.itemLabel(openAIAccount), QStringLiteral("Quillweave API key (OpenAI)"));
    EXPECT_EQ(loadedKey(store, TranslationProvider::openAI), QStringLiteral("sk-new"));

    // Deleting removes both, so the old key cannot come back after the new one is gone.
    EXPECT_TRUE(store.remove(TranslationProvider::openAI));
    EXPECT_EQ(loadedKey(store, TranslationProvider::openAI), std::nullopt);
}

TEST_F(KeychainStoreTest, SavingTwiceReplacesTheValue)
{
    ASSERT_TRUE(store.save(QStringLiteral("first"), TranslationProvider::deepSeek));
    ASSERT_TRUE(store.save(QStringLiteral("second"), TranslationProvider::deepSeek));

    EXPECT_EQ(backend.itemCount(), 1);
    EXPECT_EQ(loadedKey(store, TranslationProvider::deepSeek), QStringLiteral("second"));
}

TEST_F(KeychainStoreTest, KeysAreStoredUnchangedAsUtf8)
{
    const QString key = QStringLiteral("  密钥-🔑\t");
    ASSERT_TRUE(store.save(key, TranslationProvider::kimi));
    EXPECT_EQ(backend.item(QStringLiteral("translation-api-key.kimi")), key.toUtf8());
    EXPECT_EQ(loadedKey(store, TranslationProvider::kimi), key);
}

TEST_F(KeychainStoreTest, SaveReportsFailures)
{
    // A lone surrogate has no UTF-8 form: nothing may be written.
    EXPECT_FALSE(store.save(QString(QChar(0xD800)), TranslationProvider::kimi));
    EXPECT_EQ(backend.itemCount(), 0);

    backend.setForcedStatus(FakeSecretBackend::Operation::add, deepSeekAccount, SecretStatus::userCancelled);
    EXPECT_FALSE(store.save(QStringLiteral("k"), TranslationProvider::deepSeek));

    backend.setForcedStatus(FakeSecretBackend::Operation::add, deepSeekAccount, SecretStatus::duplicateItem);
    backend.setForcedStatus(FakeSecretBackend::Operation::update, deepSeekAccount,
                            SecretStatus::authorizationFailed);
    EXPECT_FALSE(store.save(QStringLiteral("k"), TranslationProvider::deepSeek));
}

TEST_F(KeychainStoreTest, NothingStored)
{
    EXPECT_EQ(loadedKey(store, TranslationProvider::openAI), std::nullopt);
    EXPECT_FALSE(store.contains(TranslationProvider::openAI));
    EXPECT_TRUE(store.remove(TranslationProvider::openAI)) << "nothing left counts as removed";
}

TEST_F(KeychainStoreTest, LockedKeyringFailsSilentReadsWithoutPrompting)
{
    backend.setItem(deepSeekAccount, "sk-deep");
    backend.setLocked(true);

    const auto result = store.load(TranslationProvider::deepSeek, false);
    ASSERT_FALSE(result.isOk());
    EXPECT_EQ(result.error().status, SecretStatus::interactionNotAllowed);
    EXPECT_TRUE(store.contains(TranslationProvider::deepSeek));
    // Even with nothing stored, a locked keyring cannot say "absent".
    EXPECT_TRUE(store.contains(TranslationProvider::kimi));

    EXPECT_EQ(backend.promptsShown(), 0);
    for (const auto& call : backend.calls())
        EXPECT_EQ(call.access, SecretAccess::silent);
}

TEST_F(KeychainStoreTest, AuthorizedReadMayUnlock)
{
    backend.setItem(deepSeekAccount, "sk-deep");
    backend.setLocked(true);

    EXPECT_EQ(loadedKey(store, TranslationProvider::deepSeek, true), QStringLiteral("sk-deep"));
    EXPECT_EQ(backend.promptsShown(), 1);
    EXPECT_FALSE(backend.isLocked());
}

TEST_F(KeychainStoreTest, AuthorizedReadReportsThePromptOutcome)
{
    struct Row {
        const char* situation;
        FakeSecretBackend::PromptOutcome outcome;
        qint32 status;
    };
    const Row rows[] = {
        {"user dismissed the prompt", FakeSecretBackend::PromptOutcome::dismissed,
         SecretStatus::userCancelled},
        {"unlock refused", FakeSecretBackend::PromptOutcome::fails, SecretStatus::authorizationFailed},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.situation);
        FakeSecretBackend backend;
        KeychainStore store(backend);
        backend.setItem(deepSeekAccount, "sk-deep");
        backend.setLocked(true);
        backend.setPromptOutcome(row.outcome);

        const auto result = store.load(TranslationProvider::deepSeek, true);
        ASSERT_FALSE(result.isOk());
        EXPECT_EQ(result.error().status, row.status);
    }
}

TEST_F(KeychainStoreTest, DataThatIsNotUtf8FailsWithStatusZero)
{
    backend.setItem(deepSeekAccount, QByteArray("\xC3\x28\xFF", 3));
    const auto result = store.load(TranslationProvider::deepSeek, false);
    ASSERT_FALSE(result.isOk());
    EXPECT_EQ(result.error().status, 0);
}

TEST_F(KeychainStoreTest, FailureOnTheOwnAccountIsNotMaskedByTheLegacyOne)
{
    backend.setItem(legacyAccount, "sk-legacy");
    backend.setForcedStatus(FakeSecretBackend::Operation::read, openAIAccount, SecretStatus::userCancelled);

    const auto result = store.load(TranslationProvider::openAI, true);
    ASSERT_FALSE(result.isOk());
    EXPECT_EQ(result.error().status, SecretStatus::userCancelled);
}

TEST_F(KeychainStoreTest, NoKeyringServiceIsAFailureNotAnAbsence)
{
    backend.setServiceAvailable(false);

    const auto result = store.load(TranslationProvider::kimi, false);
    ASSERT_FALSE(result.isOk());
    EXPECT_EQ(result.error().status, SecretStatus::serviceUnavailable);
    EXPECT_TRUE(store.contains(TranslationProvider::kimi));
    EXPECT_FALSE(store.save(QStringLiteral("k"), TranslationProvider::kimi));
    EXPECT_FALSE(store.remove(TranslationProvider::kimi));
}

TEST_F(KeychainStoreTest, RemoveStillTriesTheLegacyAccountAfterAFailure)
{
    backend.setItem(openAIAccount, "sk-new");
    backend.setItem(legacyAccount, "sk-legacy");
    backend.setForcedStatus(FakeSecretBackend::Operation::remove, openAIAccount,
                            SecretStatus::authorizationFailed);

    EXPECT_FALSE(store.remove(TranslationProvider::openAI));
    EXPECT_EQ(backend.item(legacyAccount), std::nullopt);
    EXPECT_TRUE(backend.item(openAIAccount).has_value());
}

TEST_F(KeychainStoreTest, OperationsFromSeveralThreadsNeverOverlap)
{
    std::atomic<int> inside = 0;
    std::atomic<int> overlaps = 0;
    backend.setCallHook([&](const FakeSecretBackend::Call&) {
        if (inside.fetch_add(1) != 0)
            ++overlaps;
        std::this_thread::yield();
        inside.fetch_sub(1);
    });

    auto work = [&](TranslationProvider provider) {
        for (int i = 0; i < 200; ++i) {
            store.save(QString::number(i), provider);
            store.load(provider, false);
            store.contains(provider);
            store.remove(provider);
        }
    };
    std::thread a(work, TranslationProvider::kimi);
    std::thread b(work, TranslationProvider::deepSeek);
    a.join();
    b.join();
    EXPECT_EQ(overlaps.load(), 0);
}
