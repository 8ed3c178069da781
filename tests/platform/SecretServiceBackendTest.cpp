#include "platform/SecretServiceBackend.h"

#include "engine/KeychainCredentialLoader.h"
#include "engine/KeychainStore.h"
#include "l10n/LocalizationState.h"
#include "tests/platform/KeyringControl.h"
#include "tests/support/AsyncTestHelpers.h"

#include <QProcess>
#include <QSet>
#include <gtest/gtest.h>

using namespace qw;
using namespace Qt::StringLiterals;
using qw::test::KeyringControl;

namespace {

// Answers the keyring's unlock prompt on the test display the way a user would: waits for the
// prompt window to be shown, activates it, then sends each xdotool action in `keys` through
// XTest (aimed at a window, xdotool would use synthetic events that GTK ignores).
bool answerUnlockPrompt(const QList<QStringList>& keys)
{
    // A prompt that was just answered may stay mapped for a moment after it is done: never
    // answer the same window twice, and look again (a bounded number of times) while only
    // answered windows are visible or the one found vanishes under our keys.
    static QSet<QString> answered;
    for (int attempt = 0; attempt < 100; ++attempt) {
        QProcess search;
        search.start(u"xdotool"_s,
                     {u"search"_s, u"--sync"_s, u"--onlyvisible"_s, u"--class"_s, u"gcr-prompter"_s});
        if (!search.waitForFinished(20000))
            return false;
        QString window;
        for (const QByteArray& line : search.readAllStandardOutput().trimmed().split('\n')) {
            const QString candidate = QString::fromLatin1(line.trimmed());
            if (!candidate.isEmpty() && !answered.contains(candidate))
                window = candidate;
        }
        if (search.exitCode() != 0 || window.isEmpty()) {
            // Only the previous prompt is still visible, or a window vanished while xdotool
            // looked at it: wait for the X server to catch up.
            QProcess::execute(u"xdotool"_s, {u"sleep"_s, u"0.05"_s});
            continue;
        }
        QProcess activate;
        activate.start(u"xdotool"_s, {u"windowactivate"_s, u"--sync"_s, window});
        if (!activate.waitForFinished(5000) || activate.exitCode() != 0)
            continue;
        bool delivered = true;
        for (const QStringList& action : keys) {
            if (QProcess::execute(u"xdotool"_s, action) != 0) {
                delivered = false;
                break;
            }
        }
        if (!delivered)
            continue;
        answered.insert(window);
        return true;
    }
    return false;
}

class SecretServiceBackendTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        // These tests write, lock and delete items: they run only against the private keyring
        // of scripts/headless-session.sh, never against a user's own.
        if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS"))
            GTEST_SKIP() << "no session bus (DBUS_SESSION_BUS_ADDRESS is unset); run under "
                            "scripts/headless-session.sh";
        if (qEnvironmentVariableIsEmpty("QW_TEST_KEYRING_PASSWORD"))
            GTEST_SKIP() << "QW_TEST_KEYRING_PASSWORD is unset: not the private test keyring of "
                            "scripts/headless-session.sh, refusing to touch this session's keyring";
        collection = keyring.defaultCollection();
        ASSERT_FALSE(collection.isEmpty()) << "the test keyring has no default collection";
        ASSERT_FALSE(keyring.isLocked(collection)) << "the test keyring should start unlocked";
        for (TranslationProvider provider : {TranslationProvider::openAI, TranslationProvider::deepSeek,
                                             TranslationProvider::kimi, TranslationProvider::custom})
            ASSERT_TRUE(store.remove(provider));
    }

    void TearDown() override
    {
        if (!collection.isEmpty() && keyring.isLocked(collection))
            keyring.unlockWithPassword(collection, qgetenv("QW_TEST_KEYRING_PASSWORD"));
    }

    KeyringControl keyring;
    QString collection;
    SecretServiceBackend backend;
    KeychainStore store{backend};
};

std::optional<QString> loadedKey(KeychainStore& store, TranslationProvider provider)
{
    auto result = store.load(provider, false);
    if (!result.isOk()) {
        ADD_FAILURE() << "load failed with status " << result.error().status;
        return std::nullopt;
    }
    return result.value();
}

} // namespace

// Which account a key lives in (and the legacy one) is the store's rule, tested on the fake
// keyring; here the real keyring answers each operation with the status the store relies on.
TEST_F(SecretServiceBackendTest, KeysRoundTripWithTheStatusesTheStoreReliesOn)
{
    EXPECT_FALSE(store.contains(TranslationProvider::deepSeek));
    EXPECT_EQ(loadedKey(store, TranslationProvider::deepSeek), std::nullopt);

    ASSERT_TRUE(store.save(u"sk-第一"_s, TranslationProvider::deepSeek));
    EXPECT_TRUE(store.contains(TranslationProvider::deepSeek));
    EXPECT_FALSE(store.contains(TranslationProvider::kimi));
    EXPECT_EQ(loadedKey(store, TranslationProvider::deepSeek), u"sk-第一"_s);

    ASSERT_TRUE(store.save(u"sk-second"_s, TranslationProvider::deepSeek));
    EXPECT_EQ(loadedKey(store, TranslationProvider::deepSeek), u"sk-second"_s);
    const auto items =
        backend.find({KeychainStore::service(), KeychainStore::account(TranslationProvider::deepSeek)},
                     SecretAccess::silent);
    EXPECT_EQ(items, SecretStatus::success);

    EXPECT_TRUE(store.remove(TranslationProvider::deepSeek));
    EXPECT_FALSE(store.contains(TranslationProvider::deepSeek));
    EXPECT_EQ(loadedKey(store, TranslationProvider::deepSeek), std::nullopt);
    // A second add of the same item is refused as a duplicate (the store then updates it).
    const SecretItemKey legacy{KeychainStore::service(), u"translation-api-key"_s};
    ASSERT_EQ(backend.add(legacy, u"legacy"_s, "sk-legacy"), SecretStatus::success);
    EXPECT_EQ(backend.add(legacy, u"legacy"_s, "other"), SecretStatus::duplicateItem);
    EXPECT_EQ(loadedKey(store, TranslationProvider::openAI), u"sk-legacy"_s);
    EXPECT_TRUE(store.remove(TranslationProvider::openAI));
    EXPECT_EQ(backend.find(legacy, SecretAccess::silent), SecretStatus::itemNotFound);

    // Data that is not UTF-8 is an access error with status 0, not "nothing stored".
    const SecretItemKey key{KeychainStore::service(), KeychainStore::account(TranslationProvider::kimi)};
    ASSERT_EQ(backend.add(key, u"damaged"_s, QByteArray("\xFF\xFE\x80", 3)), SecretStatus::success);
    const auto result = store.load(TranslationProvider::kimi, false);
    ASSERT_FALSE(result.isOk());
    EXPECT_EQ(result.error().status, 0);
}

TEST_F(SecretServiceBackendTest, ItemsCarryTheProgramsIdAndAReadableLabelInTheKeyringManager)
{
    LocalizationState::shared().setLanguage(InterfaceLanguage::chinese);
    ASSERT_TRUE(store.save(u"sk-labelled"_s, TranslationProvider::kimi));
    LocalizationState::shared().setLanguage(InterfaceLanguage::system);

    // What the keyring manager, or `secret-tool search service org.quillweave.Quillweave`, finds.
    const QMap<QString, QString> attributes{{u"service"_s, u"org.quillweave.Quillweave"_s},
                                            {u"account"_s, u"translation-api-key.kimi"_s}};
    const QList<KeyringControl::Item> items = keyring.search(attributes);
    ASSERT_EQ(items.size(), 1);
    EXPECT_EQ(items.first().label, u"织语 API 密钥（Kimi / Moonshot）"_s);
    // libsecret may add its own "xdg:schema" attribute; ours must be there as written.
    for (auto it = attributes.cbegin(); it != attributes.cend(); ++it)
        EXPECT_EQ(items.first().attributes.value(it.key()), it.value()) << it.key().toStdString();
}

TEST_F(SecretServiceBackendTest, LockedKeyringFailsSilentlyAndCountsAsHoldingKeys)
{
    ASSERT_TRUE(store.save(u"sk-kimi"_s, TranslationProvider::kimi));
    ASSERT_TRUE(keyring.lock(collection));

    // The read runs the way the translation service runs it: on the keyring worker. It must
    // come back with an answer instead of waiting on an unlock prompt.
    auto worker = std::make_shared<SerialWorker>(u"keyring"_s);
    auto shared = std::make_shared<KeychainStore>(backend);
    auto started =
        qw::test::start(KeychainCredentialLoader::make(shared, worker)(TranslationProvider::kimi, false));
    ASSERT_TRUE(qw::test::pumpUntil([&] { return started.finished(); }))
        << "a silent read waited for a prompt";
    ASSERT_FALSE(started.result().isOk());
    EXPECT_EQ(started.result().error().kind, CredentialLoadFailure::Kind::accessError);
    EXPECT_EQ(started.result().error().status, SecretStatus::interactionNotAllowed);

    EXPECT_TRUE(store.contains(TranslationProvider::kimi));
    // Nothing stored for DeepSeek, but a locked keyring cannot tell.
    EXPECT_TRUE(store.contains(TranslationProvider::deepSeek));
    EXPECT_TRUE(keyring.isLocked(collection)) << "a silent operation unlocked the keyring";

    ASSERT_TRUE(keyring.unlockWithPassword(collection, qgetenv("QW_TEST_KEYRING_PASSWORD")));
    EXPECT_EQ(loadedKey(store, TranslationProvider::kimi), u"sk-kimi"_s);
    EXPECT_FALSE(store.contains(TranslationProvider::deepSeek));
}

TEST_F(SecretServiceBackendTest, AuthorizedReadUnlocksThroughThePromptOrReportsItsDismissal)
{
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        GTEST_SKIP() << "no display for the keyring's unlock prompt";
    ASSERT_TRUE(store.save(u"sk-deep"_s, TranslationProvider::deepSeek));
    ASSERT_TRUE(keyring.lock(collection));

    auto worker = std::make_shared<SerialWorker>(u"keyring"_s);
    auto shared = std::make_shared<KeychainStore>(backend);
    const CredentialLoader loader = KeychainCredentialLoader::make(shared, worker);

    auto dismissed = qw::test::start(loader(TranslationProvider::deepSeek, true));
    ASSERT_TRUE(answerUnlockPrompt({{u"key"_s, u"Escape"_s}}));
    ASSERT_TRUE(qw::test::pumpUntil([&] { return dismissed.finished(); }));
    ASSERT_FALSE(dismissed.result().isOk());
    EXPECT_EQ(dismissed.result().error().status, SecretStatus::userCancelled);
    EXPECT_TRUE(keyring.isLocked(collection));

    auto unlocked = qw::test::start(loader(TranslationProvider::deepSeek, true));
    ASSERT_TRUE(answerUnlockPrompt(
        {{u"type"_s, u"--delay"_s, u"1"_s, qEnvironmentVariable("QW_TEST_KEYRING_PASSWORD")},
         {u"key"_s, u"Return"_s}}));
    ASSERT_TRUE(qw::test::pumpUntil([&] { return unlocked.finished(); }));
    ASSERT_TRUE(unlocked.result().isOk()) << "status " << unlocked.result().error().status;
    EXPECT_EQ(unlocked.result().value(), u"sk-deep"_s);
    EXPECT_FALSE(keyring.isLocked(collection));
}
