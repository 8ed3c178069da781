#pragma once

#include "accessibility/AXAccessGeneration.h"
#include "accessibility/AXWorker.h"
#include "app/cli/CliContext.h"
#include "app/cli/InertDesktop.h"
#include "app/cli/ProviderOverrideSettings.h"
#include "core/Clock.h"
#include "model/AppModel.h"

#include <QCoroTask>
#include <memory>
#include <optional>

namespace qw {

// The application model built for one settings command, over the command line's settings and
// keyring and a desktop on which nothing can be seen. Every command goes through the model's
// own operations, so the command line keeps the rules the tray program keeps.
class CliModelHost {
public:
    // With `provider`, the model works on that provider as if it were selected, without the
    // selection being stored.
    CliModelHost(CliContext& context, std::optional<TranslationProvider> provider);
    ~CliModelHost();
    CliModelHost(const CliModelHost&) = delete;
    CliModelHost& operator=(const CliModelHost&) = delete;

    AppModel& model() { return *m_model; }

    // Until the silent read of the selected provider's key state has settled.
    QCoro::Task<void> credentialSettled();
    // Until `done` holds, checked after every change of the model.
    QCoro::Task<void> until(std::function<bool()> done);

private:
    TimerSource& m_timers;
    SystemClock m_workerClock;
    InertDesktop m_desktop;
    std::shared_ptr<AXAccessGeneration> m_generation = std::make_shared<AXAccessGeneration>();
    std::unique_ptr<AXWorker> m_ax;
    std::unique_ptr<ProviderOverrideSettings> m_override;
    std::unique_ptr<AppModel> m_model;
};

} // namespace qw
