#include "engine/KeychainCredentialLoader.h"

#include "tests/support/AsyncTestHelpers.h"
#include "tests/support/FakeSecretBackend.h"

#include <QThread>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using namespace qw;
using qw::test::FakeSecretBackend;

namespace {

class KeychainCredentialLoaderTest : public ::testing::Test {
protected:
    FakeSecretBackend backend;
    std::shared_ptr<KeychainStore> store = std::make_shared<KeychainStore>(backend);
    std::shared_ptr<SerialWorker> worker = std::make_shared<SerialWorker>(u"keyring"_s);

    CredentialLoadResult loadNow(TranslationProvider provider, bool allowAuthentication)
    {
        CredentialLoader loader = KeychainCredentialLoader::make(store, worker);
        auto started = qw::test::start(loader(provider, allowAuthentication));
        // The loader's copy may go away while the read is in flight.
        loader = nullptr;
        return started.wait();
    }
};

} // namespace

TEST_F(KeychainCredentialLoaderTest, ReadsOnTheWorkerThread)
{
    backend.setItem(u"translation-api-key.kimi"_s, "sk-kimi");
    QThread* readThread = nullptr;
    backend.setCallHook([&](const FakeSecretBackend::Call&) { readThread = QThread::currentThread(); });

    const CredentialLoadResult result = loadNow(TranslationProvider::kimi, false);
    ASSERT_TRUE(result.isOk());
    EXPECT_EQ(result.value(), u"sk-kimi"_s);
    EXPECT_EQ(readThread, worker->thread());
    EXPECT_NE(readThread, QThread::currentThread());
    // Nothing stored is no key, not a failure.
    EXPECT_EQ(loadNow(TranslationProvider::custom, false).value(), std::nullopt);
}

TEST_F(KeychainCredentialLoaderTest, KeyringStatusBecomesAnAccessError)
{
    backend.setItem(u"translation-api-key.kimi"_s, "sk-kimi");
    backend.setLocked(true);

    const CredentialLoadResult silent = loadNow(TranslationProvider::kimi, false);
    ASSERT_FALSE(silent.isOk());
    EXPECT_EQ(silent.error().kind, CredentialLoadFailure::Kind::accessError);
    EXPECT_EQ(silent.error().status, SecretStatus::interactionNotAllowed);
    EXPECT_EQ(backend.promptsShown(), 0);

    backend.setPromptOutcome(FakeSecretBackend::PromptOutcome::dismissed);
    const CredentialLoadResult dismissed = loadNow(TranslationProvider::kimi, true);
    ASSERT_FALSE(dismissed.isOk());
    EXPECT_EQ(dismissed.error().kind, CredentialLoadFailure::Kind::accessError);
    EXPECT_EQ(dismissed.error().status, SecretStatus::userCancelled);
    EXPECT_EQ(backend.promptsShown(), 1);
}
