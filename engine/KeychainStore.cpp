#include "engine/KeychainStore.h"

#include "core/ApplicationId.h"
#include "l10n/L10n.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace qw {

namespace {

const QString accountPrefix = QStringLiteral("translation-api-key.");

// The strict decoding a key needs: a replacement character would silently turn a damaged item
// into a wrong key, and a leading byte-order mark is part of what was stored.
std::optional<QString> decodeUtf8(const QByteArray& data)
{
    QStringDecoder decoder(QStringConverter::Utf8,
                           QStringConverter::Flag::Stateless | QStringConverter::Flag::ConvertInitialBom);
    QString text = decoder(data);
    if (decoder.hasError())
        return std::nullopt;
    return text;
}

std::optional<QByteArray> encodeUtf8(const QString& text)
{
    QStringEncoder encoder(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    QByteArray data = encoder(text);
    if (encoder.hasError())
        return std::nullopt;
    return data;
}

} // namespace

QString KeychainStore::service()
{
    return applicationId();
}

QString KeychainStore::account(TranslationProvider provider)
{
    return accountPrefix + rawValue(provider);
}

QStringList KeychainStore::accounts(TranslationProvider provider)
{
    if (provider == TranslationProvider::openAI)
        return {account(provider), QStringLiteral("translation-api-key")};
    return {account(provider)};
}

QString KeychainStore::label(TranslationProvider provider)
{
    return L10n::format(L10N_KEY("织语 API 密钥（%@）"), {displayName(provider)});
}

KeychainStore::KeychainStore(SecretBackend& backend) : m_backend(backend) {}

KeychainStore::LoadResult KeychainStore::load(TranslationProvider provider, bool allowAuthentication)
{
    std::lock_guard lock(m_lock);
    const SecretAccess access = allowAuthentication ? SecretAccess::mayPrompt : SecretAccess::silent;
    for (const QString& name : accounts(provider)) {
        const auto read = m_backend.read({service(), name}, access);
        if (!read.isOk()) {
            if (read.error() == SecretStatus::itemNotFound)
                continue;
            return LoadResult::failure({read.error()});
        }
        if (auto key = decodeUtf8(read.value()))
            return LoadResult::ok(std::move(*key));
        return LoadResult::failure({SecretStatus::success});
    }
    return LoadResult::ok(std::nullopt);
}

bool KeychainStore::contains(TranslationProvider provider)
{
    std::lock_guard lock(m_lock);
    for (const QString& name : accounts(provider)) {
        if (m_backend.find({service(), name}, SecretAccess::silent) != SecretStatus::itemNotFound)
            return true;
    }
    return false;
}

bool KeychainStore::remove(TranslationProvider provider)
{
    std::lock_guard lock(m_lock);
    bool removedAll = true;
    // A failure on one account must not keep the others (the legacy item) in place.
    for (const QString& name : accounts(provider)) {
        const qint32 status = m_backend.remove({service(), name});
        if (status != SecretStatus::success && status != SecretStatus::itemNotFound)
            removedAll = false;
    }
    return removedAll;
}

bool KeychainStore::save(const QString& key, TranslationProvider provider)
{
    std::lock_guard lock(m_lock);
    return saveUnlocked(key, provider);
}

bool KeychainStore::saveUnlocked(const QString& key, TranslationProvider provider)
{
    const auto data = encodeUtf8(key);
    if (!data)
        return false;
    const SecretItemKey item{service(), account(provider)};
    const qint32 added = m_backend.add(item, label(provider), *data);
    if (added == SecretStatus::success)
        return true;
    if (added != SecretStatus::duplicateItem)
        return false;
    return m_backend.update(item, *data) == SecretStatus::success;
}

} // namespace qw
