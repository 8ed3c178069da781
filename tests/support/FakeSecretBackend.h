#pragma once

#include "core/ApplicationId.h"
#include "engine/SecretBackend.h"

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QPair>
#include <QString>
#include <functional>
#include <mutex>
#include <optional>

namespace qw::test {

// An in-memory keyring with one collection, scriptable into the situations a desktop keyring
// produces: locked, prompt dismissed, unlock refused, no service on the bus, damaged data.
// Safe to use from the worker thread the store runs on.
class FakeSecretBackend : public SecretBackend {
public:
    enum class Operation { find, read, add, update, remove };
    // What the unlock prompt does when an operation that may prompt meets a locked collection.
    enum class PromptOutcome { unlocks, dismissed, fails };

    struct Call {
        Operation operation;
        QString account;
        SecretAccess access;
    };

    // Stores an item directly, bypassing add/update (for example bytes that are not UTF-8).
    void setItem(const QString& account, const QByteArray& secret, const QString& service = applicationId());
    std::optional<QByteArray> item(const QString& account, const QString& service = applicationId()) const;
    int itemCount() const;

    void setLocked(bool locked);
    bool isLocked() const;
    void setPromptOutcome(PromptOutcome outcome);
    void setServiceAvailable(bool available);
    // Makes every `operation` on `account` answer `status` (until cleared with std::nullopt).
    void setForcedStatus(Operation operation, const QString& account, std::optional<qint32> status);

    // How many unlock prompts would have been shown to the user.
    int promptsShown() const;
    QList<Call> calls() const;
    // Observes each call as it arrives (on the caller's thread), before it is answered.
    void setCallHook(std::function<void(const Call&)> hook);

    qint32 find(const SecretItemKey& key, SecretAccess access) override;
    Result<QByteArray, qint32> read(const SecretItemKey& key, SecretAccess access) override;
    qint32 add(const SecretItemKey& key, const QString& label, const QByteArray& secret) override;
    qint32 update(const SecretItemKey& key, const QByteArray& secret) override;
    qint32 remove(const SecretItemKey& key) override;

private:
    using ItemId = QPair<QString, QString>; // service, account

    // Records the call and decides whether it may reach the items: success, or the status
    // that ends it (forced, no service, locked and not unlocked). Takes the mutex itself.
    qint32 enter(Operation operation, const SecretItemKey& key, SecretAccess access);

    mutable std::mutex m_mutex;
    QMap<ItemId, QByteArray> m_items;
    bool m_locked = false;
    bool m_serviceAvailable = true;
    PromptOutcome m_promptOutcome = PromptOutcome::unlocks;
    QMap<QPair<Operation, QString>, qint32> m_forced;
    int m_promptsShown = 0;
    QList<Call> m_calls;
    std::function<void(const Call&)> m_hook;
};

} // namespace qw::test
