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

// The read runs on the keyring worker; nothing stored is no key, not a failure; a keyring status
// becomes an access error that carries it, and only an authorized read may prompt.
TEST_F(KeychainCredentialLoaderTest, ReadsOnTheWorkerThreadAndReportsTheKeyringStatus)
{
    backend.setItem(u"translation-api-key.kimi"_s, "sk-kimi");
    QThread* readThread = nullptr;
    backend.setCallHook([&](const FakeSecretBackend::Call&) { readThread = QThread::currentThread(); });
    EXPECT_EQ(loadNow(TranslationProvider::kimi, false).value(), u"sk-kimi"_s);
    EXPECT_EQ(readThread, worker->thread());
    EXPECT_NE(readThread, QThread::currentThread());
    EXPECT_EQ(loadNow(TranslationProvider::custom, false).value(), std::nullopt);

    backend.setLocked(true);
    backend.setPromptOutcome(FakeSecretBackend::PromptOutcome::dismissed);
    for (const auto& [allow, status, prompts] : {std::tuple(false, SecretStatus::interactionNotAllowed, 0),
                                                 std::tuple(true, SecretStatus::userCancelled, 1)}) {
        const CredentialLoadResult result = loadNow(TranslationProvider::kimi, allow);
        ASSERT_FALSE(result.isOk());
        EXPECT_EQ(result.error().kind, CredentialLoadFailure::Kind::accessError);
        EXPECT_EQ(result.error().status, status);
        EXPECT_EQ(backend.promptsShown(), prompts);
    }
}
