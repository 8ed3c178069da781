#include "app/cli/StoredTranslationSettings.h"

#include "core/SettingsStore.h"
#include "engine/ProviderConfigurationStore.h"

namespace qw {

namespace {

std::optional<TranslationLanguage> storedLanguage(const SettingsStore& settings, const QString& key)
{
    const auto raw = settings.string(key);
    return raw ? translationLanguageFromRawValue(*raw) : std::nullopt;
}

} // namespace

TranslationProvider StoredTranslationSettings::selectedProvider(const SettingsStore& settings)
{
    const auto raw = settings.string(QStringLiteral("selectedTranslationProvider"));
    return raw ? translationProviderFromRawValue(*raw).value_or(TranslationProvider::openAI)
               : TranslationProvider::openAI;
}

StoredTranslationSettings StoredTranslationSettings::load(const SettingsStore& settings)
{
    StoredTranslationSettings stored;
    stored.provider = selectedProvider(settings);
    stored.configuration = ProviderConfigurationStore::load(settings).at(stored.provider);

    const TranslationLanguage legacySource =
        storedLanguage(settings, QStringLiteral("sourceLanguage")).value_or(TranslationLanguage::chinese);
    const TranslationLanguage legacyTarget =
        storedLanguage(settings, QStringLiteral("targetLanguage")).value_or(TranslationLanguage::english);
    stored.sourceLanguage =
        storedLanguage(settings, QStringLiteral("inputSourceLanguage")).value_or(legacySource);
    stored.targetLanguage =
        storedLanguage(settings, QStringLiteral("inputTargetLanguage"))
            .value_or(legacyTarget == TranslationLanguage::automatic ? TranslationLanguage::english
                                                                     : legacyTarget);
    return stored;
}

} // namespace qw
