#pragma once

#include "app/cli/CliContext.h"
#include "engine/TranslationProvider.h"

#include <QCoroTask>
#include <QStringList>
#include <optional>

namespace qw {

class ProviderSettings;

// `quillweave provider`, `consent on|off` and `test-connection`: the selected provider, its
// address and model, the cloud consent bound to its endpoint and the connection test, each
// through the application model's own operations and validation.
class ProviderCommand {
public:
    struct Settings {
        QString address; // empty: unchanged
        QString model;   // empty: unchanged
    };

    // With `provider`, every operation works on that provider as if it were selected, without
    // the selection being stored.
    explicit ProviderCommand(CliContext& context, std::optional<TranslationProvider> provider = std::nullopt)
        : m_context(context), m_provider(provider)
    {
    }

    // No arguments shows the provider; `set <name>` selects one; address or model changes them.
    QCoro::Task<int> provider(QStringList arguments, Settings settings);
    QCoro::Task<int> consent(QStringList arguments);
    QCoro::Task<int> testConnection();

private:
    QCoro::Task<void> show(const ProviderSettings& providers);
    int update(ProviderSettings& providers, const Settings& settings);

    CliContext& m_context;
    std::optional<TranslationProvider> m_provider;
};

} // namespace qw
