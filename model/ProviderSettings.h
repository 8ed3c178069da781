#pragma once

#include "core/SettingsWriteResult.h"
#include "engine/ProviderConfiguration.h"
#include "engine/TranslationProvider.h"

#include <QString>
#include <optional>

namespace qw {

class AppSettings;

// The provider part of the settings: which provider is selected, its address and model, and
// the consent to send it text, which holds only for the endpoint it was given for. The model
// and the command line both change them here, so the binding of a consent to its endpoint is
// kept in one place.
class ProviderSettings {
public:
    // What a change did: refused before anything was written (`refusal` says why), or written
    // with the outcome in `saved`.
    struct Change {
        std::optional<QString> refusal;
        SettingsWriteResult saved = SettingsWriteResult::ok();
        // The consent this run holds changed or was taken again (its observers run).
        bool consentTaken = false;
    };

    explicit ProviderSettings(AppSettings& settings) : m_settings(settings) {}

    TranslationProvider selected() const;
    ProviderConfiguration current() const;
    bool consent() const;

    // Selects `provider` with the consent stored for it, saved again in the same write.
    Change select(TranslationProvider provider);
    // Consent to send text to the selected provider, saved with the endpoint it is given for.
    // Without a valid endpoint there is nothing to consent to: refused, and the consent is off.
    // A withdrawal holds for this run even when it cannot be saved.
    Change setConsent(bool consent);
    // The selected provider's address (a custom provider's only) and model. A new endpoint
    // withdraws the consent in the same write.
    Change configure(const QString& baseURL, const QString& model);

private:
    AppSettings& m_settings;
};

} // namespace qw
