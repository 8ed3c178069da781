#include "settings/OnboardingState.h"

#include "core/SettingsStore.h"
#include "model/AppSettings.h"

namespace qw {

namespace {

using Table = AppSettings::Table;

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
    m_step = stepFromStored(Table::onboardingStep.stored(m_defaults));

    // A marker that cannot be saved is tried again at the next start: as long as the store
    // takes no write, no earlier settings appear either.
    if (!AppSettings::hasEarlierSettings(m_defaults)) {
        m_isNewInstallation = true;
        static_cast<void>(m_defaults.apply({Table::onboardingExplicitAllowlist.change(true)}));
    } else {
        // Read, not written again: the marker is already stored, and rewriting the file at every
        // start would cost a synced write before the tray icon appears.
        m_isNewInstallation = Table::onboardingExplicitAllowlist.read(m_defaults);
    }

    // An installation that predates the guide has been set up already: it is not shown the
    // guide it never needed.
    m_completed = Table::onboardingCompleted.stored(m_defaults).value_or(!m_isNewInstallation);
    m_deferred = Table::onboardingDeferred.read(m_defaults);
    m_hasPresented = Table::onboardingPresented.stored(m_defaults)
                         .value_or(m_defaults.contains(Table::onboardingStep.key) ||
                                   m_defaults.contains(Table::onboardingCompleted.key) ||
                                   m_defaults.contains(Table::onboardingDeferred.key));
}

SettingsWriteResult OnboardingState::setStep(Step step)
{
    const SettingsWriteResult saved =
        m_defaults.apply({Table::onboardingStep.change(static_cast<qint64>(step))});
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
    QList<SettingsStore::Change> changes{Table::onboardingPresented.change(true),
                                         Table::onboardingDeferred.change(deferred)};
    if (completed)
        changes.append(Table::onboardingCompleted.change(*completed));
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
