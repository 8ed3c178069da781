#pragma once

#include "engine/ProviderConfiguration.h"
#include "engine/TranslationLanguage.h"
#include "engine/TranslationProvider.h"

namespace qw {

class SettingsStore;

// The translation settings the program keeps, read the way the program reads them at start:
// the selected provider ("selectedTranslationProvider", OpenAI when missing or unknown), its
// stored configuration, and the input language pair with its fallback to the older
// "sourceLanguage"/"targetLanguage" keys.
struct StoredTranslationSettings {
    TranslationProvider provider = TranslationProvider::openAI;
    ProviderConfiguration configuration = ProviderConfiguration::defaults(TranslationProvider::openAI);
    TranslationLanguage sourceLanguage = TranslationLanguage::chinese;
    TranslationLanguage targetLanguage = TranslationLanguage::english;

    static StoredTranslationSettings load(const SettingsStore& settings);
    static TranslationProvider selectedProvider(const SettingsStore& settings);
};

} // namespace qw
