#include "tests/support/FakeSecretBackend.h"

namespace qw::test {

void FakeSecretBackend::setItem(const QString& account, const QByteArray& secret, const QString& service)
{
    std::lock_guard lock(m_mutex);
    m_items.insert({service, account}, secret);
}

std::optional<QByteArray> FakeSecretBackend::item(const QString& account, const QString& service) const
{
    std::lock_guard lock(m_mutex);
    const auto found = m_items.constFind({service, account});
    if (found == m_items.cend())
        return std::nullopt;
    return *found;
}

int FakeSecretBackend::itemCount() const
{
    std::lock_guard lock(m_mutex);
    return int(m_items.size());
}

void FakeSecretBackend::setLocked(bool locked)
{
    std::lock_guard lock(m_mutex);
    m_locked = locked;
}

bool FakeSecretBackend::isLocked() const
{
    std::lock_guard lock(m_mutex);
    return m_locked;
}

void FakeSecretBackend::setPromptOutcome(PromptOutcome outcome)
{
    std::lock_guard lock(m_mutex);
    m_promptOutcome = outcome;
}

void FakeSecretBackend::setServiceAvailable(bool available)
{
    std::lock_guard lock(m_mutex);
    m_serviceAvailable = available;
}

void FakeSecretBackend::setForcedStatus(Operation operation, const QString& account,
                                        std::optional<qint32> status)
{
    std::lock_guard lock(m_mutex);
    if (status)
        m_forced.insert({operation, account}, *status);
    else
        m_forced.remove({operation, account});
}

int FakeSecretBackend::promptsShown() const
{
    std::lock_guard lock(m_mutex);
    return m_promptsShown;
}

QList<FakeSecretBackend::Call> FakeSecretBackend::calls() const
{
    std::lock_guard lock(m_mutex);
    return m_calls;
}

void FakeSecretBackend::setCallHook(std::function<void(const Call&)> hook)
{
    std::lock_guard lock(m_mutex);
    m_hook = std::move(hook);
}

qint32 FakeSecretBackend::enter(Operation operation, const SecretItemKey& key, SecretAccess access)
{
    const Call call{operation, key.account, access};
    std::function<void(const Call&)> hook;
    {
        std::lock_guard lock(m_mutex);
        m_calls.append(call);
        hook = m_hook;
    }
    // Outside the mutex: a hook may look at the fake.
    if (hook)
        hook(call);

    std::lock_guard lock(m_mutex);
    if (const auto forced = m_forced.constFind({operation, key.account}); forced != m_forced.cend())
        return *forced;
    if (!m_serviceAvailable)
        return SecretStatus::serviceUnavailable;
    if (!m_locked)
        return SecretStatus::success;
    if (access == SecretAccess::silent)
        return SecretStatus::interactionNotAllowed;
    ++m_promptsShown;
    switch (m_promptOutcome) {
    case PromptOutcome::unlocks:
        m_locked = false;
        return SecretStatus::success;
    case PromptOutcome::dismissed:
        return SecretStatus::userCancelled;
    case PromptOutcome::fails:
        return SecretStatus::authorizationFailed;
    }
    return SecretStatus::authorizationFailed;
}

qint32 FakeSecretBackend::find(const SecretItemKey& key, SecretAccess access)
{
    if (const qint32 status = enter(Operation::find, key, access); status != SecretStatus::success)
        return status;
    std::lock_guard lock(m_mutex);
    return m_items.contains({key.service, key.account}) ? SecretStatus::success : SecretStatus::itemNotFound;
}

Result<QByteArray, qint32> FakeSecretBackend::read(const SecretItemKey& key, SecretAccess access)
{
    if (const qint32 status = enter(Operation::read, key, access); status != SecretStatus::success)
        return Result<QByteArray, qint32>::failure(status);
    std::lock_guard lock(m_mutex);
    const auto found = m_items.constFind({key.service, key.account});
    if (found == m_items.cend())
        return Result<QByteArray, qint32>::failure(SecretStatus::itemNotFound);
    return Result<QByteArray, qint32>::ok(*found);
}

qint32 FakeSecretBackend::add(const SecretItemKey& key, const QString& /*label*/, const QByteArray& secret)
{
    if (const qint32 status = enter(Operation::add, key, SecretAccess::mayPrompt);
        status != SecretStatus::success)
        return status;
    std::lock_guard lock(m_mutex);
    if (m_items.contains({key.service, key.account}))
        return SecretStatus::duplicateItem;
    m_items.insert({key.service, key.account}, secret);
    return SecretStatus::success;
}

qint32 FakeSecretBackend::update(const SecretItemKey& key, const QByteArray& secret)
{
    if (const qint32 status = enter(Operation::update, key, SecretAccess::mayPrompt);
        status != SecretStatus::success)
        return status;
    std::lock_guard lock(m_mutex);
    const auto found = m_items.find({key.service, key.account});
    if (found == m_items.end())
        return SecretStatus::itemNotFound;
    *found = secret;
    return SecretStatus::success;
}

qint32 FakeSecretBackend::remove(const SecretItemKey& key)
{
    if (const qint32 status = enter(Operation::remove, key, SecretAccess::mayPrompt);
        status != SecretStatus::success)
        return status;
    std::lock_guard lock(m_mutex);
    return m_items.remove({key.service, key.account}) > 0 ? SecretStatus::success
                                                          : SecretStatus::itemNotFound;
}

} // namespace qw::test
