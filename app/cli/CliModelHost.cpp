#include "app/cli/CliModelHost.h"

#include "core/Delay.h"
#include "model/KeyringOperations.h"
#include "settings/OnboardingState.h"

#include <chrono>

namespace qw {

CliModelHost::CliModelHost(CliContext& context, std::optional<TranslationProvider> provider)
    : m_timers(context.timers), m_desktop(context.httpsHandlers)
{
    m_ax = std::make_unique<AXWorker>(
        AXPlatform{m_desktop, m_desktop, m_desktop, m_desktop, m_desktop, m_desktop, m_workerClock});
    SettingsStore* settings = &context.settings;
    if (provider) {
        m_override = std::make_unique<ProviderOverrideSettings>(context.settings, *provider);
        settings = m_override.get();
    }
    AppModel::Collaborators collaborators{
        *settings,
        context.clock,
        context.timers,
        context.timeZone,
        context.service,
        *m_ax,
        m_generation,
        m_desktop,
        [] { return false; },
        [](const QString&) { return false; },
        KeyringOperations::presence(context.keychain, context.keyringWorker),
        0,
        KeyringOperations::save(context.keychain, context.keyringWorker),
        KeyringOperations::remove(context.keychain, context.keyringWorker),
        [] { return false; },
        [] {},
        context.installedApplicationName,
        QStringLiteral("quillweave")};
    // The same rule as at the program's start: an installation whose allow list began empty
    // (a new one, remembered by the onboarding state) gets no default application, however many
    // settings a command line wrote since.
    const OnboardingState onboarding(context.settings);
    const QStringList defaultAllowed =
        onboarding.isNewInstallation() ? QStringList{} : QStringList{AppModel::defaultAllowedApplication};
    m_model = std::make_unique<AppModel>(std::move(collaborators), defaultAllowed);
}

CliModelHost::~CliModelHost()
{
    // The model goes first: its jobs stop at the alive flag, and nothing may reach the worker
    // after it is gone.
    m_model.reset();
    m_ax.reset();
}

QCoro::Task<void> CliModelHost::until(std::function<bool()> done)
{
    // A short poll on the injected timers: keyring answers arrive through the event loop, and
    // tests pass the time virtually.
    using namespace std::chrono_literals;
    const CancellationToken never;
    while (!done())
        co_await qw::delay(m_timers, 10ms, never);
}

QCoro::Task<void> CliModelHost::credentialSettled()
{
    AppModel* model = m_model.get();
    const std::function<bool()> settled = [model] {
        const auto found = model->credentialStates().find(model->selectedProvider());
        return found != model->credentialStates().end() && found->second != CredentialState::unread;
    };
    co_await until(settled);
}

} // namespace qw
