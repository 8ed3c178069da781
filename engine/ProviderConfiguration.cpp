#include "engine/ProviderConfiguration.h"

#include "engine/OrderedJson.h"

#include <QJsonValue>

namespace qw {

namespace {

const QString kChatCompletionsPath = QStringLiteral("/chat/completions");

} // namespace

ProviderConfiguration ProviderConfiguration::defaults(TranslationProvider provider)
{
    return {provider, defaultBaseURL(provider), defaultModel(provider)};
}

Result<QUrl, TranslationError> ProviderConfiguration::validatedEndpoint() const
{
    const QString trimmedBase = baseURL.trimmed();
    if (model.trimmed().isEmpty())
        return TranslationError::missingModel();

    const QUrl url(trimmedBase, QUrl::StrictMode);
    if (trimmedBase.isEmpty() || !url.isValid())
        return TranslationError::invalidEndpoint();
    if (url.scheme().toLower() != u"https" || url.host().isEmpty())
        return TranslationError::invalidEndpoint();
    // Anything beyond scheme, host and path would let a stored URL smuggle in credentials,
    // another port or parameters the provider never asked for.
    if (!url.userInfo().isEmpty() || url.hasQuery() || url.hasFragment() || url.port() != -1)
        return TranslationError::invalidEndpoint();
    // QUrl reports no user info for a bare "@" and no port for a bare ":", but both still mean
    // the authority is not the plain host it must be.
    const QString authority = trimmedBase.section(QStringLiteral("://"), 1).section(u'/', 0, 0);
    if (authority.contains(u'@') || (!authority.startsWith(u'[') && authority.contains(u':')))
        return TranslationError::invalidEndpoint();
    if (provider != TranslationProvider::custom) {
        const QString expectedHost = QUrl(defaultBaseURL(provider)).host();
        if (url.host().toLower() != expectedHost)
            return TranslationError::invalidEndpoint();
    }

    QString endpoint = url.toString(QUrl::FullyEncoded);
    while (endpoint.endsWith(u'/'))
        endpoint.chop(1);
    if (!endpoint.endsWith(kChatCompletionsPath))
        endpoint += kChatCompletionsPath;
    const QUrl result(endpoint, QUrl::StrictMode);
    if (!result.isValid())
        return TranslationError::invalidEndpoint();
    return result;
}

std::optional<QString> ProviderConfiguration::consentEndpoint() const
{
    auto endpoint = validatedEndpoint();
    if (!endpoint)
        return std::nullopt;
    QUrl url = endpoint.value();
    url.setScheme(url.scheme().toLower());
    url.setHost(url.host().toLower());
    if (!url.isValid())
        return std::nullopt;
    const QString text = url.toString(QUrl::FullyEncoded);
    if (text.isEmpty())
        return std::nullopt;
    return text;
}

QByteArray ProviderConfiguration::toJson() const
{
    return OrderedJson::object({{QStringLiteral("provider"), OrderedJson::value(rawValue(provider))},
                                {QStringLiteral("baseURL"), OrderedJson::value(baseURL)},
                                {QStringLiteral("model"), OrderedJson::value(model)}});
}

std::optional<ProviderConfiguration> ProviderConfiguration::fromJson(const QJsonObject& object)
{
    const QJsonValue providerValue = object.value(QStringLiteral("provider"));
    const QJsonValue baseValue = object.value(QStringLiteral("baseURL"));
    const QJsonValue modelValue = object.value(QStringLiteral("model"));
    if (!providerValue.isString() || !baseValue.isString() || !modelValue.isString())
        return std::nullopt;
    const auto provider = translationProviderFromRawValue(providerValue.toString());
    if (!provider)
        return std::nullopt;
    return ProviderConfiguration{*provider, baseValue.toString(), modelValue.toString()};
}

} // namespace qw
