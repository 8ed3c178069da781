#pragma once

#include "core/SerialWorker.h"
#include "engine/KeychainCredentialLoader.h"
#include "engine/KeychainStore.h"
#include "model/KeyringOperations.h"
#include "tests/model/ModelTestFixture.h"
#include "tests/support/FakeSecretBackend.h"

#include <future>

namespace qw::test {

// The model over the real credential store, backed by the in-memory keyring whose answers a
// test scripts (locked, prompt dismissed, unlock refused), plus the accessibility permission
// request and the installed applications' names.
class KeyringModelTest : public ModelTest {
protected:
    void TearDown() override
    {
        model.reset();
        // Keyring work the model left queued finishes and its continuations run now: a
        // continuation resuming in the next test would read a future the worker never fulfilled.
        for (int round = 0; round < 3; ++round) {
            QFuture<bool> marker = keyWorker->submit([] { return true; });
            pumpUntil([&marker] { return marker.isFinished(); }, 5s);
            QCoreApplication::processEvents();
        }
        ModelTest::TearDown();
    }

    static QString account(TranslationProvider provider) { return KeychainStore::account(provider); }

    void storeKeyDirectly(TranslationProvider provider, const QByteArray& key = "sk-stored")
    {
        keyring.setItem(account(provider), key);
    }

    AppModel& makeKeyringModel(QStringList defaultAllowed = {AppModel::defaultAllowedApplication})
    {
        AppModel::Collaborators withKeyring = collaborators(keyService);
        withKeyring.keyPresence = KeyringOperations::presence(*store, *keyWorker);
        withKeyring.saveKey = KeyringOperations::save(*store, *keyWorker);
        withKeyring.removeKey = KeyringOperations::remove(*store, *keyWorker);
        withKeyring.requestTrust = [this] {
            ++trustRequests;
            return trustAfterRequest;
        };
        withKeyring.openAccessibilitySettings = [this] {
            ++settingsOpened;
        };
        withKeyring.installedApplicationName = [this](const QString& id) -> std::optional<QString> {
            return installedNames.contains(id) ? std::optional<QString>(installedNames.value(id))
                                               : std::nullopt;
        };
        withKeyring.ownBundleID = QStringLiteral("quillweave");
        return build(std::move(withKeyring), std::move(defaultAllowed));
    }

    // Until the key state read at creation (or after a change) has settled.
    void settleCredential()
    {
        ASSERT_TRUE(settleUntil([this] {
            const auto found = model->credentialStates().find(model->selectedProvider());
            return found != model->credentialStates().end() && found->second != CredentialState::unread;
        }));
    }

    // A started operation that returns nothing, waited for later.
    static Started<bool> begin(QCoro::Task<void>&& task)
    {
        return start(std::move(task).then([] { return true; }));
    }

    // Holds every keyring call of `operation` on the keyring worker until released (once per
    // test); without it a fast fake keyring may answer before the caller even suspends.
    void holdKeyring(FakeSecretBackend::Operation operation)
    {
        auto released = m_release.get_future().share();
        keyring.setCallHook([operation, released](const FakeSecretBackend::Call& call) {
            if (call.operation == operation)
                released.wait();
        });
    }
    void releaseKeyring() { m_release.set_value(); }

    FakeSecretBackend keyring;
    std::shared_ptr<KeychainStore> store = std::make_shared<KeychainStore>(keyring);
    std::shared_ptr<SerialWorker> keyWorker = std::make_shared<SerialWorker>(QStringLiteral("test-keyring"));
    FakeChatTransport* keyTransport = new FakeChatTransport(time);
    TranslationService keyService{KeychainCredentialLoader::make(store, keyWorker), time, time,
                                  std::unique_ptr<ChatTransport>(keyTransport)};
    int trustRequests = 0;
    bool trustAfterRequest = false;
    int settingsOpened = 0;
    QHash<QString, QString> installedNames;

private:
    std::promise<void> m_release;
};

} // namespace qw::test
