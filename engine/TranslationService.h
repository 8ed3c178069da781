#pragma once

#include "core/CancellationToken.h"
#include "core/Clock.h"
#include "core/Result.h"
#include "core/TimerSource.h"
#include "engine/ChatTransport.h"
#include "engine/CredentialLoader.h"
#include "engine/ProviderConfiguration.h"
#include "engine/TranslationError.h"

#include <QCoroTask>
#include <QDateTime>
#include <QHash>
#include <QString>
#include <map>
#include <memory>
#include <optional>
#include <tuple>

namespace qw {

// The one object through which the program translates. It lives on the main thread; its
// operations are coroutines, so other operations (wipes, further translations) can run while
// one awaits the keyring, the network or the demo delay. Epochs make sure that a result computed
// before a wipe is neither delivered nor cached afterwards.
class TranslationService {
public:
    using TextResult = Result<QString, TranslationError>;

    // `transport` defaults to the real HTTPS transport.
    TranslationService(CredentialLoader credentialLoader, Clock& clock, TimerSource& timers,
                       std::unique_ptr<ChatTransport> transport = nullptr);
    ~TranslationService();

    TranslationService(const TranslationService&) = delete;
    TranslationService& operator=(const TranslationService&) = delete;

    // Translates `source` (languages as raw values). With cloudEnabled false only the demo
    // samples from Chinese (or auto-detect) to English are answered. `application` scopes the
    // cached result so clearContent can wipe it per application.
    QCoro::Task<TextResult> translate(QString source, ProviderConfiguration config, bool cloudEnabled,
                                      QString targetLanguage, QString sourceLanguage, QString application,
                                      bool useCache, CancellationToken token = {});

    // A translation is about to be asked for: the cloud path readies its connection meanwhile.
    void prepare(bool cloudEnabled);

    // Translates a fixed sample through the provider, never the user's text and never via the
    // cache. A missing or blocked key is reported before the configuration is looked at.
    QCoro::Task<TextResult> testConnection(ProviderConfiguration config, CancellationToken token = {});

    // The provider's key, from memory or the loader. A failed load blocks the provider: later
    // calls without allowAuthentication repeat that failure without touching the keyring, so
    // background translations never prompt again. Only an explicit (interactive) load that
    // succeeds, or clearCredentials, lifts the block.
    QCoro::Task<TextResult> credential(TranslationProvider provider, bool allowAuthentication);

    // Forgets the provider's key and block, and wipes all cached content.
    void clearCredentials(TranslationProvider provider);
    // Wipes the cached content of one application, or of all when none is given.
    void clearContent(std::optional<QString> application);

private:
    struct CacheKey {
        QString application;
        bool cloudEnabled = false;
        TranslationProvider provider = TranslationProvider::openAI;
        QString baseURL;
        QString model;
        QString sourceLanguage;
        QString targetLanguage;
        QString source;

        auto tied() const
        {
            return std::tie(application, cloudEnabled, provider, baseURL, model, sourceLanguage,
                            targetLanguage, source);
        }
        bool operator<(const CacheKey& other) const { return tied() < other.tied(); }
    };
    struct CacheEntry {
        QString result;
        QString application;
        QDateTime expiry;
    };

    QCoro::Task<TextResult> translateInCloud(QString source, ProviderConfiguration config,
                                             QString targetLanguage, QString sourceLanguage,
                                             CancellationToken token);
    QCoro::Task<TextResult> translateDemo(QString source, QString targetLanguage, QString sourceLanguage,
                                          CancellationToken token);
    quint64 applicationEpoch(const QString& application) const;
    void dropExpiredEntries();
    void scheduleExpiry();

    CredentialLoader m_credentialLoader;
    Clock& m_clock;
    TimerSource& m_timers;
    std::unique_ptr<ChatTransport> m_transport;
    // Shared with every running coroutine: one that resumes after the service is gone must not
    // touch it.
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);

    std::map<TranslationProvider, QString> m_credentials;
    std::map<TranslationProvider, TranslationError> m_blockedProviders;
    // Bumped by clearCredentials: a key that a load returns after the clear began is not kept.
    std::map<TranslationProvider, quint64> m_credentialGenerations;
    quint64 m_cacheEpoch = 0;
    QHash<QString, quint64> m_applicationEpochs;
    std::map<CacheKey, CacheEntry> m_cache;
    std::optional<TimerSource::TimerId> m_expiryTimer;
};

} // namespace qw
