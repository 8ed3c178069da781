#include "engine/ProviderConfigurationStore.h"

#include "engine/OrderedJson.h"

#include <QJsonArray>
#include <QJsonDocument>

namespace qw {

ProviderConfigurations ProviderConfigurationStore::defaults()
{
    ProviderConfigurations configurations;
    for (TranslationProvider provider : allTranslationProviders())
        configurations[provider] = ProviderConfiguration::defaults(provider);
    return configurations;
}

std::optional<ProviderConfigurations> ProviderConfigurationStore::decode(const QByteArray& stored)
{
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(stored, &parseError);
    if (parseError.error != QJsonParseError::NoError || !document.isArray())
        return std::nullopt;

    // Decoded completely before anything is applied: one bad entry discards them all.
    QList<ProviderConfiguration> decoded;
    for (const QJsonValue& element : document.array()) {
        if (!element.isObject())
            return std::nullopt;
        auto configuration = ProviderConfiguration::fromJson(element.toObject());
        if (!configuration)
            return std::nullopt;
        decoded.append(*configuration);
    }
    ProviderConfigurations configurations = defaults();
    for (const ProviderConfiguration& configuration : decoded)
        configurations[configuration.provider] = configuration;
    return configurations;
}

QByteArray ProviderConfigurationStore::encode(const ProviderConfigurations& configurations)
{
    QList<QByteArray> elements;
    for (TranslationProvider provider : allTranslationProviders()) {
        auto found = configurations.find(provider);
        if (found != configurations.end())
            elements.append(found->second.toJson());
    }
    return OrderedJson::array(elements);
}

} // namespace qw
