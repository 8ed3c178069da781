#include "engine/KeychainStore.h"

#include "engine/TranslationError.h"
#include "tests/support/FakeSecretBackend.h"

#include <atomic>
#include <gtest/gtest.h>
#include <thread>

using namespace Qt::StringLiterals;
using namespace qw;
using qw::test::FakeSecretBackend;

namespace {

const QString openAIAccount = u"translation-api-key.openai"_s;
const QString legacyAccount = u"translation-api-key"_s;
const QString deepSeekAccount = u"translation-api-key.deepseek"_s;

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

// Only OpenAI searches the legacy account, after its own; a new key goes to its own account
// (under the program's id; its label is checked in the real keyring) and wins, the legacy item is
// never written; deleting removes both, even after one of them failed, so the old key cannot come back.
TEST_F(KeychainStoreTest, LegacyOpenAIKeyIsReadAndRemovedButNeverWritten)
{
    EXPECT_EQ(KeychainStore::accounts(TranslationProvider::openAI),
              (QStringList{openAIAccount, legacyAccount}));
    EXPECT_EQ(loadedKey(store, TranslationProvider::openAI), std::nullopt);
    EXPECT_FALSE(store.contains(TranslationProvider::openAI));
    EXPECT_TRUE(store.remove(TranslationProvider::openAI)) << "nothing left counts as removed";

    backend.setItem(legacyAccount, "sk-legacy");
    EXPECT_EQ(loadedKey(store, TranslationProvider::openAI), u"sk-legacy"_s);
    EXPECT_TRUE(store.contains(TranslationProvider::openAI));
    EXPECT_EQ(loadedKey(store, TranslationProvider::kimi), std::nullopt);

    ASSERT_TRUE(store.save(u"sk-new"_s, TranslationProvider::openAI));
    EXPECT_EQ(backend.item(openAIAccount), QByteArray("sk-new"));
    EXPECT_EQ(backend.item(legacyAccount), QByteArray("sk-legacy"));
    EXPECT_EQ(loadedKey(store, TranslationProvider::openAI), u"sk-new"_s);

    backend.setForcedStatus(FakeSecretBackend::Operation::remove, openAIAccount,
                            SecretStatus::authorizationFailed);
    EXPECT_FALSE(store.remove(TranslationProvider::openAI));
    EXPECT_EQ(backend.item(legacyAccount), std::nullopt);
    backend.setForcedStatus(FakeSecretBackend::Operation::remove, openAIAccount, std::nullopt);
    EXPECT_TRUE(store.remove(TranslationProvider::openAI));
    EXPECT_EQ(backend.itemCount(), 0);
    EXPECT_FALSE(store.contains(TranslationProvider::openAI));
}

TEST_F(KeychainStoreTest, SavingAgainReplacesTheKeyStoredUnchangedAsUtf8AndRefusalsAreReported)
{
    const QString key = u"  密钥-🔑\t"_s;
    ASSERT_TRUE(store.save(u"first"_s, TranslationProvider::kimi));
    ASSERT_TRUE(store.save(key, TranslationProvider::kimi));
    EXPECT_EQ(backend.itemCount(), 1);
    EXPECT_EQ(backend.item(u"translation-api-key.kimi"_s), key.toUtf8());
    EXPECT_EQ(loadedKey(store, TranslationProvider::kimi), key);

    // Refused saves are reported. A lone surrogate has no UTF-8 form: nothing may be written.
    EXPECT_FALSE(store.save(QString(QChar(0xD800)), TranslationProvider::deepSeek));
    EXPECT_EQ(backend.itemCount(), 1);

    backend.setForcedStatus(FakeSecretBackend::Operation::add, deepSeekAccount, SecretStatus::userCancelled);
    EXPECT_FALSE(store.save(u"k"_s, TranslationProvider::deepSeek));

    backend.setForcedStatus(FakeSecretBackend::Operation::add, deepSeekAccount, SecretStatus::duplicateItem);
    backend.setForcedStatus(FakeSecretBackend::Operation::update, deepSeekAccount,
                            SecretStatus::authorizationFailed);
    EXPECT_FALSE(store.save(u"k"_s, TranslationProvider::deepSeek));

    backend.setServiceAvailable(false);
    EXPECT_FALSE(store.save(u"k"_s, TranslationProvider::kimi));
    EXPECT_FALSE(store.remove(TranslationProvider::kimi));
}

// Every read that cannot give the key fails with the status the message is chosen by, never
// as "nothing stored"; a silent read never prompts, and while the keyring cannot answer,
// contains() does not claim that a key is absent.
TEST(KeychainStoreLoadFailures, ReportTheKeyringStatus)
{
    using Backend = FakeSecretBackend;
    const struct {
        const char* situation;
        std::function<void(Backend&)> setUp;
        TranslationProvider provider;
        bool authorized;
        qint32 status;
    } rows[] = {
        {"locked keyring, silent read", [](Backend& b) { b.setLocked(true); }, TranslationProvider::deepSeek,
         false, SecretStatus::interactionNotAllowed},
        {"user dismissed the prompt",
         [](Backend& b) {
             b.setLocked(true);
             b.setPromptOutcome(Backend::PromptOutcome::dismissed);
         },
         TranslationProvider::deepSeek, true, SecretStatus::userCancelled},
        {"data that is not UTF-8",
         [](Backend& b) { b.setItem(deepSeekAccount, QByteArray("\xC3\x28\xFF", 3)); },
         TranslationProvider::deepSeek, false, 0},
        // The legacy account must not mask a failure on the provider's own one.
        {"own account fails, legacy one readable",
         [](Backend& b) {
             b.setItem(legacyAccount, "sk-legacy");
             b.setForcedStatus(Backend::Operation::read, openAIAccount, SecretStatus::userCancelled);
         },
         TranslationProvider::openAI, true, SecretStatus::userCancelled},
        {"no keyring service", [](Backend& b) { b.setServiceAvailable(false); }, TranslationProvider::kimi,
         false, SecretStatus::serviceUnavailable},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.situation);
        Backend backend;
        KeychainStore store(backend);
        backend.setItem(deepSeekAccount, "sk-deep");
        row.setUp(backend);
        const auto result = store.load(row.provider, row.authorized);
        ASSERT_FALSE(result.isOk());
        EXPECT_EQ(result.error().status, row.status);
        if (!row.authorized) {
            EXPECT_EQ(backend.promptsShown(), 0);
            for (const auto& call : backend.calls())
                EXPECT_EQ(call.access, SecretAccess::silent);
        }
        EXPECT_TRUE(store.contains(row.provider));
    }
    // Only an authorized read may unlock.
    Backend backend;
    KeychainStore store(backend);
    backend.setItem(deepSeekAccount, "sk-deep");
    backend.setLocked(true);
    EXPECT_EQ(loadedKey(store, TranslationProvider::deepSeek, true), u"sk-deep"_s);
    EXPECT_EQ(backend.promptsShown(), 1);
    EXPECT_FALSE(backend.isLocked());
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
