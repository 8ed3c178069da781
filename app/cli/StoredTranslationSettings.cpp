#include "app/cli/StoredTranslationSettings.h"

#include "core/SettingsStore.h"
#include "model/PersistedSettings.h"

#include <QDateTime>

namespace qw {

namespace {

PersistedSettings read(const SettingsStore& settings)
{
    // The allow list and the pauses play no part here.
    return PersistedSettings::load(settings, {}, QDateTime::currentDateTimeUtc());
}

} // namespace

TranslationProvider StoredTranslationSettings::selectedProvider(const SettingsStore& settings)
{
    return read(settings).selectedProvider;
}

StoredTranslationSettings StoredTranslationSettings::load(const SettingsStore& settings)
{
    const PersistedSettings persisted = read(settings);
    StoredTranslationSettings stored;
    stored.provider = persisted.selectedProvider;
    stored.configuration = PersistedSettings::configuration(persisted.providerConfigs, stored.provider);
    stored.sourceLanguage = persisted.inputSourceLanguage;
    stored.targetLanguage = persisted.inputTargetLanguage;
    stored.cloudConsent = persisted.cloudConsent;
    return stored;
}

} // namespace qw
