#include "settings/OnboardingState.h"

#include "core/SettingsStore.h"

namespace qw {

namespace {

const QString kStep = QStringLiteral("onboardingStep");
const QString kCompleted = QStringLiteral("onboardingCompleted");
const QString kDeferred = QStringLiteral("onboardingDeferred");
const QString kPresented = QStringLiteral("onboardingPresented");
const QString kExplicitAllowlist = QStringLiteral("onboardingExplicitAllowlist");

// Any of these means the program has run here before and the user has configured something.
bool hasEarlierSettings(const SettingsStore& defaults)
{
    static const QStringList earlierKeys = {
        QStringLiteral("selectedTranslationProvider"),
        QStringLiteral("allowedBundleIDs"),
        QStringLiteral("cloudConsent"),
        QStringLiteral("providerConfigurations.v04"),
        QStringLiteral("inputTranslationEnabled"),
        QStringLiteral("helperEnabled"),
    };
    for (const QString& key : earlierKeys) {
        if (defaults.contains(key))
            return true;
    }
    // Consent is stored per provider ("cloudConsent.openai"); a user who gave it is not new,
    // even when nothing else was changed from its default.
    const QStringList keys = defaults.keys();
    for (const QString& key : keys) {
        if (key.startsWith(u"cloudConsent."))
            return true;
    }
    return false;
}

OnboardingState::Step stepFromStored(std::optional<qint64> stored)
{
    const qint64 value = stored.value_or(0);
    if (value < 0 || value > 3)
        return OnboardingState::Step::privacy;
    return static_cast<OnboardingState::Step>(value);
}

} // namespace

OnboardingState::OnboardingState(SettingsStore& defaults, QObject* parent)
    : QObject(parent), m_defaults(defaults)
{
    m_step = stepFromStored(m_defaults.integer(kStep));

    // A marker that cannot be saved is tried again at the next start: as long as the store
    // takes no write, no earlier settings appear either.
    if (!hasEarlierSettings(m_defaults)) {
        m_isNewInstallation = true;
        static_cast<void>(m_defaults.setBool(kExplicitAllowlist, true));
    } else {
        m_isNewInstallation = m_defaults.boolValue(kExplicitAllowlist).value_or(false);
        if (m_isNewInstallation)
            static_cast<void>(m_defaults.setBool(kExplicitAllowlist, true));
    }

    // An installation that predates the guide has been set up already: it is not shown the
    // guide it never needed.
    m_completed = m_defaults.boolValue(kCompleted).value_or(!m_isNewInstallation);
    m_deferred = m_defaults.boolValue(kDeferred).value_or(false);
    m_hasPresented = m_defaults.boolValue(kPresented)
                         .value_or(m_defaults.contains(kStep) || m_defaults.contains(kCompleted) ||
                                   m_defaults.contains(kDeferred));
}

SettingsWriteResult OnboardingState::setStep(Step step)
{
    const SettingsWriteResult saved = m_defaults.setInteger(kStep, static_cast<qint64>(step));
    if (!saved)
        return saved;
    m_step = step;
    Q_EMIT stepChanged(step);
    return saved;
}

bool OnboardingState::shouldPresent() const
{
    // Completion is checked first: an installation set up before the guide existed counts as
    // completed without ever having been shown it, and must not be greeted by it now.
    if (m_completed)
        return false;
    if (!m_hasPresented)
        return true;
    return !m_deferred;
}

SettingsWriteResult OnboardingState::resume()
{
    return recordPresentation(std::nullopt, false);
}

SettingsWriteResult OnboardingState::postpone()
{
    return recordPresentation(std::nullopt, true);
}

SettingsWriteResult OnboardingState::finish()
{
    return recordPresentation(true, false);
}

SettingsWriteResult OnboardingState::recordPresentation(std::optional<bool> completed, bool deferred)
{
    QList<SettingsStore::Change> changes{{kPresented, true}, {kDeferred, deferred}};
    if (completed)
        changes.append({kCompleted, *completed});
    const SettingsWriteResult saved = m_defaults.apply(changes);
    if (!saved)
        return saved;
    markPresented();
    if (completed)
        setCompleted(*completed);
    setDeferred(deferred);
    return saved;
}

void OnboardingState::markPresented()
{
    m_hasPresented = true;
    Q_EMIT hasPresentedChanged(true);
    Q_EMIT shouldPresentChanged(shouldPresent());
}

void OnboardingState::setCompleted(bool completed)
{
    m_completed = completed;
    Q_EMIT completedChanged(completed);
    Q_EMIT shouldPresentChanged(shouldPresent());
}

void OnboardingState::setDeferred(bool deferred)
{
    m_deferred = deferred;
    Q_EMIT deferredChanged(deferred);
    Q_EMIT shouldPresentChanged(shouldPresent());
}

} // namespace qw
