#pragma once

#include "core/Result.h"
#include "engine/SecretBackend.h"
#include "engine/TranslationProvider.h"

#include <QString>
#include <QStringList>
#include <QtGlobal>
#include <mutex>
#include <optional>

namespace qw {

// Reads, tests for, writes and deletes each provider's API key in the desktop keyring, one
// item per provider. Background reads never make the desktop prompt; only a read the user
// asked for may unlock the keyring.
//
// Every public operation holds one mutex for its whole duration so that keyring operations of
// this program never overlap; the mutex is not re-entrant, so no operation calls another.
class KeychainStore {
public:
    // A failed keyring call, with its status (see SecretStatus).
    struct AccessError {
        qint32 status = 0;
    };
    using LoadResult = Result<std::optional<QString>, AccessError>;

    // The items' "service" attribute: the program's reverse-DNS id.
    static QString service();
    // The account the provider's key is written to: "translation-api-key.<raw value>".
    static QString account(TranslationProvider provider);
    // The accounts searched for the provider, in order. OpenAI also finds the key an earlier
    // single-provider layout stored under "translation-api-key"; that account is never written.
    static QStringList accounts(TranslationProvider provider);
    // The item's label as the desktop's keyring manager shows it, in the interface language of
    // the moment the item is created: "Quillweave API key (DeepSeek)".
    static QString label(TranslationProvider provider);

    explicit KeychainStore(SecretBackend& backend);

    KeychainStore(const KeychainStore&) = delete;
    KeychainStore& operator=(const KeychainStore&) = delete;

    // The stored key, or none when no item exists. With allowAuthentication false the keyring
    // is never unlocked: a locked keyring fails with interactionNotAllowed at once. Data that
    // is not UTF-8 fails with status 0.
    LoadResult load(TranslationProvider provider, bool allowAuthentication);

    // Whether a key is taken to be stored, without reading it and without any prompt. False
    // only when the keyring positively reports that no item exists (a locked keyring counts as
    // holding one).
    bool contains(TranslationProvider provider);

    // Removes the provider's items, legacy ones included; true when none of them is left.
    bool remove(TranslationProvider provider);

    // Stores or replaces the key, unchanged; true on success.
    bool save(const QString& key, TranslationProvider provider);

private:
    bool saveUnlocked(const QString& key, TranslationProvider provider);

    SecretBackend& m_backend;
    std::mutex m_lock;
};

} // namespace qw
