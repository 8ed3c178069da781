#include "model/StoredTranslationSettings.h"

#include "core/SettingsStore.h"
#include "model/AppSettings.h"

#include <QDateTime>

namespace qw {

namespace {

AppSettings read(SettingsStore& settings)
{
    // The allow list and the pauses play no part here.
    return AppSettings(settings, {}, QDateTime::currentDateTimeUtc());
}

} // namespace

TranslationProvider StoredTranslationSettings::selectedProvider(SettingsStore& settings)
{
    return read(settings).values().selectedProvider;
}

StoredTranslationSettings StoredTranslationSettings::load(SettingsStore& settings)
{
    const AppSettings persisted = read(settings);
    StoredTranslationSettings stored;
    stored.provider = persisted.values().selectedProvider;
    stored.configuration = persisted.configuration(stored.provider);
    stored.sourceLanguage = persisted.values().inputSourceLanguage;
    stored.targetLanguage = persisted.values().inputTargetLanguage;
    stored.cloudConsent = persisted.values().cloudConsent;
    return stored;
}

} // namespace qw
