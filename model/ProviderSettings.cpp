#include "model/ProviderSettings.h"

#include "model/AppSettings.h"

namespace qw {

TranslationProvider ProviderSettings::selected() const
{
    return m_settings.values().selectedProvider;
}

ProviderConfiguration ProviderSettings::current() const
{
    return m_settings.configuration(selected());
}

bool ProviderSettings::consent() const
{
    return m_settings.values().cloudConsent;
}

ProviderSettings::Change ProviderSettings::select(TranslationProvider provider)
{
    const bool consent = m_settings.restoredCloudConsent(provider);
    QList<SettingsStore::Change> changes{m_settings.change(AppSettings::Table::selectedProvider, provider)};
    changes.append(m_settings.cloudConsentChanges(provider, consent));
    Change change;
    change.saved = m_settings.apply(changes);
    if (!change.saved)
        return change;
    m_settings.assign(AppSettings::Table::selectedProvider, provider);
    m_settings.takeCloudConsent(consent);
    change.consentTaken = true;
    return change;
}

ProviderSettings::Change ProviderSettings::setConsent(bool consent)
{
    Change change;
    if (consent) {
        const auto endpoint = current().validatedEndpoint();
        if (!endpoint) {
            change.refusal = endpoint.error().message();
            m_settings.takeCloudConsent(false);
            change.consentTaken = true;
            return change;
        }
    }
    change.saved = m_settings.apply(m_settings.cloudConsentChanges(selected(), consent));
    // A consent counts only once it is saved; a withdrawal counts at once, saved or not: no
    // text may go out on a consent the user took back.
    if (change.saved || !consent) {
        m_settings.takeCloudConsent(consent);
        change.consentTaken = true;
    }
    return change;
}

ProviderSettings::Change ProviderSettings::configure(const QString& baseURL, const QString& model)
{
    const ProviderConfiguration previous = current();
    const TranslationProvider provider = selected();
    ProviderConfiguration candidate;
    candidate.provider = provider;
    // A built-in provider is only ever asked at its own public address.
    candidate.baseURL = provider == TranslationProvider::custom
                            ? baseURL.trimmed()
                            : ProviderConfiguration::defaults(provider).baseURL;
    candidate.model = model.trimmed();
    Change change;
    const auto endpoint = candidate.validatedEndpoint();
    if (!endpoint) {
        change.refusal = endpoint.error().message();
        return change;
    }
    ProviderConfigurations configs = m_settings.values().providerConfigs;
    configs[provider] = candidate;
    // Consent was given for one endpoint; it never carries over to another. The withdrawal is
    // saved with the new endpoint, so the file never holds the one without the other.
    const bool endpointChanged = previous.consentEndpoint() != candidate.consentEndpoint();
    QList<SettingsStore::Change> changes{m_settings.change(AppSettings::Table::providerConfigs, configs)};
    if (endpointChanged)
        changes.append(m_settings.cloudConsentChanges(provider, false));
    change.saved = m_settings.apply(changes);
    if (!change.saved)
        return change;
    m_settings.assign(AppSettings::Table::providerConfigs, std::move(configs));
    if (endpointChanged) {
        m_settings.takeCloudConsent(false);
        change.consentTaken = true;
    }
    return change;
}

} // namespace qw
