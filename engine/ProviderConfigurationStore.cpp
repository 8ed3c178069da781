#include "engine/ProviderConfigurationStore.h"

#include "engine/OrderedJson.h"

#include <QJsonArray>
#include <QJsonDocument>

namespace qw {

const QString ProviderConfigurationStore::key = QStringLiteral("providerConfigurations.v04");

ProviderConfigurations ProviderConfigurationStore::load(const SettingsStore& defaults)
{
    ProviderConfigurations configurations;
    for (TranslationProvider provider : allTranslationProviders())
        configurations[provider] = ProviderConfiguration::defaults(provider);

    const auto stored = defaults.data(key);
    if (!stored)
        return configurations;
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(*stored, &parseError);
    if (parseError.error != QJsonParseError::NoError || !document.isArray())
        return configurations;

    // Decoded completely before anything is applied: one bad entry discards them all.
    QList<ProviderConfiguration> decoded;
    for (const QJsonValue& element : document.array()) {
        if (!element.isObject())
            return configurations;
        auto configuration = ProviderConfiguration::fromJson(element.toObject());
        if (!configuration)
            return configurations;
        decoded.append(*configuration);
    }
    for (const ProviderConfiguration& configuration : decoded)
        configurations[configuration.provider] = configuration;
    return configurations;
}

SettingsStore::Change ProviderConfigurationStore::change(const ProviderConfigurations& configurations)
{
    QList<QByteArray> elements;
    for (TranslationProvider provider : allTranslationProviders()) {
        auto found = configurations.find(provider);
        if (found != configurations.end())
            elements.append(found->second.toJson());
    }
    return {key, QVariant(OrderedJson::array(elements))};
}

SettingsWriteResult ProviderConfigurationStore::save(const ProviderConfigurations& configurations,
                                                     SettingsStore& defaults)
{
    return defaults.apply({change(configurations)});
}

} // namespace qw
