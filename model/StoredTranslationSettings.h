#pragma once

#include "engine/ProviderConfiguration.h"
#include "engine/TranslationLanguage.h"
#include "engine/TranslationProvider.h"

namespace qw {

class SettingsStore;

// The translation settings the command line uses, taken from the program's own reading of the
// stored settings (model/AppSettings), so that the command line and the program never
// disagree: the selected provider, its stored configuration (or its default one), its cloud
// consent as the program would restore it, and the input language pair with the program's
// fallbacks to the older keys.
struct StoredTranslationSettings {
    TranslationProvider provider = TranslationProvider::openAI;
    ProviderConfiguration configuration = ProviderConfiguration::defaults(TranslationProvider::openAI);
    TranslationLanguage sourceLanguage = TranslationLanguage::chinese;
    TranslationLanguage targetLanguage = TranslationLanguage::english;
    // The consent the program holds for `provider`, bound to its current address. The command
    // line sends only when asked with --cloud and this consent is given.
    bool cloudConsent = false;

    static StoredTranslationSettings load(SettingsStore& settings);
    static TranslationProvider selectedProvider(SettingsStore& settings);
};

} // namespace qw
