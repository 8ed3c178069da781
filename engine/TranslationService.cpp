#include "engine/TranslationService.h"

#include "core/Delay.h"
#include "engine/ChatCompletion.h"
#include "engine/NetworkChatTransport.h"
#include "l10n/L10n.h"

#include <QHash>
#include <algorithm>
#include <chrono>
#include <memory>

namespace qw {

namespace {

using namespace std::chrono_literals;

constexpr qint64 kCacheLifetimeSeconds = 300;
constexpr std::size_t kCacheCapacity = 80;
constexpr std::chrono::milliseconds kShortestExpiryDelay = 10ms;
constexpr std::chrono::milliseconds kDemoDelay = 130ms;
constexpr std::chrono::milliseconds kRequestDeadline = 15s;

const QString kAutoDetect = QStringLiteral("auto-detect");
const QString kSimplifiedChinese = QStringLiteral("Simplified Chinese");
const QString kEnglish = QStringLiteral("English");

const QHash<QString, QString>& demoSamples()
{
    static const QHash<QString, QString> samples{
        {QStringLiteral("你好"), QStringLiteral("Hello.")},
        {QStringLiteral("你好！"), QStringLiteral("Hello!")},
        {QStringLiteral("帮我分析一下这个产品"), QStringLiteral("Please analyze this product.")},
        {QStringLiteral("帮我分析一下这个产品的商业模式"),
         QStringLiteral("Please analyze this product's business model.")},
        {QStringLiteral("请帮我总结这段内容"), QStringLiteral("Please summarize this content for me.")},
        {QStringLiteral("这周我们先完成产品设计"),
         QStringLiteral("Let's finish the product design first this week.")},
    };
    return samples;
}

TranslationError errorFromLoadFailure(const CredentialLoadFailure& failure)
{
    switch (failure.kind) {
    case CredentialLoadFailure::Kind::accessError:
        return TranslationError::credentialFailure(failure.status);
    case CredentialLoadFailure::Kind::missingKey:
        return TranslationError::missingKey();
    case CredentialLoadFailure::Kind::other:
        break;
    }
    return TranslationError::keychainAccessRequired();
}

} // namespace

TranslationService::TranslationService(CredentialLoader credentialLoader, Clock& clock, TimerSource& timers,
                                       std::unique_ptr<ChatTransport> transport)
    : m_credentialLoader(std::move(credentialLoader)), m_clock(clock), m_timers(timers),
      m_transport(transport ? std::move(transport) : std::make_unique<NetworkChatTransport>())
{
}

TranslationService::~TranslationService()
{
    *m_alive = false;
    if (m_expiryTimer)
        m_timers.cancel(*m_expiryTimer);
}

QCoro::Task<TranslationService::TextResult> TranslationService::credential(TranslationProvider provider,
                                                                           bool allowAuthentication)
{
    if (auto found = m_credentials.find(provider); found != m_credentials.end())
        co_return QString(found->second);
    if (auto blocked = m_blockedProviders.find(provider);
        blocked != m_blockedProviders.end() && !allowAuthentication)
        co_return TranslationError(blocked->second);

    const std::shared_ptr<bool> alive = m_alive;
    const quint64 generation = m_credentialGenerations[provider];
    const CredentialLoadResult loaded = co_await m_credentialLoader(provider, allowAuthentication);
    // A clearCredentials that ran meanwhile wins: whatever the load found belongs to the state
    // before the clear and must be neither kept nor recorded as a block.
    if (!*alive || m_credentialGenerations[provider] != generation)
        co_return TranslationError::cancelled();

    TranslationError error = TranslationError::missingKey();
    if (loaded.isOk()) {
        if (loaded.value()) {
            const QString key = *loaded.value();
            m_credentials[provider] = key;
            m_blockedProviders.erase(provider);
            co_return key;
        }
    } else {
        error = errorFromLoadFailure(loaded.error());
    }
    m_blockedProviders.insert_or_assign(provider, error);
    co_return error;
}

QCoro::Task<TranslationService::TextResult>
TranslationService::translate(QString source, ProviderConfiguration config, bool cloudEnabled,
                              QString targetLanguage, QString sourceLanguage, QString application,
                              bool useCache, CancellationToken token)
{
    if (token.isCancelled())
        co_return TranslationError::cancelled();

    const std::shared_ptr<bool> alive = m_alive;
    const quint64 startEpoch = m_cacheEpoch;
    const quint64 startApplicationEpoch = applicationEpoch(application);

    dropExpiredEntries();
    const CacheKey key{application,  cloudEnabled,   config.provider, config.baseURL,
                       config.model, sourceLanguage, targetLanguage,  source};
    if (useCache) {
        if (auto cached = m_cache.find(key); cached != m_cache.end())
            co_return QString(cached->second.result);
    }

    // Two awaits in one conditional expression miscompile with GCC 12: kept as statements.
    std::optional<TextResult> outcome;
    if (cloudEnabled)
        outcome = co_await translateInCloud(source, config, targetLanguage, sourceLanguage, token);
    else
        outcome = co_await translateDemo(source, targetLanguage, sourceLanguage, token);
    const TextResult result = std::move(*outcome);
    if (!*alive || token.isCancelled())
        co_return TranslationError::cancelled();
    if (!result)
        co_return result;
    // The content was wiped while this translation ran: its result must neither be delivered
    // nor cached.
    if (m_cacheEpoch != startEpoch || applicationEpoch(application) != startApplicationEpoch)
        co_return TranslationError::cancelled();

    if (useCache) {
        if (m_cache.size() >= kCacheCapacity)
            m_cache.clear();
        m_cache.insert_or_assign(
            key, CacheEntry{result.value(), application, m_clock.now().addSecs(kCacheLifetimeSeconds)});
        scheduleExpiry();
    }
    co_return result;
}

QCoro::Task<TranslationService::TextResult>
TranslationService::translateInCloud(QString source, ProviderConfiguration config, QString targetLanguage,
                                     QString sourceLanguage, CancellationToken token)
{
    const auto endpoint = config.validatedEndpoint();
    if (!endpoint)
        co_return endpoint.error();

    const std::shared_ptr<bool> alive = m_alive;
    const TextResult key = co_await credential(config.provider, false);
    if (!key)
        co_return key.error();
    if (!*alive || token.isCancelled())
        co_return TranslationError::cancelled();

    const QString prompt = ChatCompletion::systemPrompt(sourceLanguage, targetLanguage);
    const QByteArray body = ChatCompletion::requestBody(config, source, prompt);
    const QNetworkRequest request = ChatCompletion::request(endpoint.value(), key.value());

    // The whole exchange, connection included, ends at the deadline: a server that trickles a
    // byte now and then must not keep a translation waiting for minutes. The exchange has its
    // own cancellation, which the caller's cancellation and the deadline both trigger.
    CancellationSource exchange;
    auto timedOut = std::make_shared<bool>(false);
    const quint64 callerLink = token.onCancel([exchange]() mutable { exchange.cancel(); });
    const TimerSource::TimerId deadline = m_timers.start(kRequestDeadline, [exchange, timedOut]() mutable {
        *timedOut = true;
        exchange.cancel();
    });
    const TransportReply reply = co_await m_transport->post(request, body, exchange.token());
    token.removeCallback(callerLink);
    // The deadline's callback holds nothing of the service, so a destroyed service may leave it.
    if (!*alive)
        co_return TranslationError::cancelled();
    m_timers.cancel(deadline);
    if (token.isCancelled())
        co_return TranslationError::cancelled();
    if (*timedOut)
        co_return TranslationError::timedOut();
    co_return ChatCompletion::readResponse(reply);
}

QCoro::Task<TranslationService::TextResult> TranslationService::translateDemo(QString source,
                                                                              QString targetLanguage,
                                                                              QString sourceLanguage,
                                                                              CancellationToken token)
{
    if (targetLanguage != kEnglish || (sourceLanguage != kSimplifiedChinese && sourceLanguage != kAutoDetect))
        co_return TranslationError::demoOnly();
    // Timers of the source outlive nothing: the wait is on the injected timer source, which
    // resumes us even if the service went away meanwhile, hence the alive check.
    const std::shared_ptr<bool> alive = m_alive;
    const bool elapsed = co_await delay(m_timers, kDemoDelay, token);
    if (!elapsed || !*alive)
        co_return TranslationError::cancelled();
    const auto sample = demoSamples().constFind(source.trimmed());
    if (sample == demoSamples().cend())
        co_return TranslationError::demoOnly();
    co_return QString(sample.value()); // a copy: the sample table is never moved from
}

void TranslationService::prepare(bool cloudEnabled)
{
    if (cloudEnabled)
        m_transport->prepare();
}

QCoro::Task<TranslationService::TextResult> TranslationService::testConnection(ProviderConfiguration config,
                                                                               CancellationToken token)
{
    const std::shared_ptr<bool> alive = m_alive;
    const TextResult key = co_await credential(config.provider, false);
    if (!key)
        co_return key.error();
    if (!*alive)
        co_return TranslationError::cancelled();
    const TextResult translation = co_await translate(QStringLiteral("你好"), config, true, kEnglish,
                                                      kSimplifiedChinese, QString(), false, token);
    if (!translation)
        co_return translation.error();
    co_return L10n::format(L10N_KEY("连接正常 · %@"), {translation.value()});
}

void TranslationService::clearCredentials(TranslationProvider provider)
{
    m_credentials.erase(provider);
    m_blockedProviders.erase(provider);
    ++m_credentialGenerations[provider];
    ++m_cacheEpoch;
    m_cache.clear();
    scheduleExpiry();
}

void TranslationService::clearContent(std::optional<QString> application)
{
    if (!application) {
        ++m_cacheEpoch;
        m_cache.clear();
    } else {
        ++m_applicationEpochs[*application];
        std::erase_if(m_cache, [&](const auto& item) { return item.second.application == *application; });
    }
    scheduleExpiry();
}

quint64 TranslationService::applicationEpoch(const QString& application) const
{
    return m_applicationEpochs.value(application, 0);
}

void TranslationService::dropExpiredEntries()
{
    const QDateTime now = m_clock.now();
    std::erase_if(m_cache, [&](const auto& item) { return item.second.expiry <= now; });
}

void TranslationService::scheduleExpiry()
{
    if (m_expiryTimer) {
        m_timers.cancel(*m_expiryTimer);
        m_expiryTimer.reset();
    }
    if (m_cache.empty())
        return;
    const auto earliest = std::min_element(m_cache.begin(), m_cache.end(), [](const auto& a, const auto& b) {
        return a.second.expiry < b.second.expiry;
    });
    const std::chrono::milliseconds delay(m_clock.now().msecsTo(earliest->second.expiry));
    // The destructor cancels this timer, so the callback never runs on a destroyed service.
    m_expiryTimer = m_timers.start(std::max(delay, kShortestExpiryDelay), [this]() {
        m_expiryTimer.reset();
        dropExpiredEntries();
        scheduleExpiry();
    });
}

} // namespace qw
