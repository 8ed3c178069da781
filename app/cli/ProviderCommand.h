#pragma once

#include "app/cli/CliContext.h"

#include <QCoroTask>
#include <QStringList>

namespace qw {

class CliModelHost;

// `quillweave provider`, `consent on|off` and `test-connection`: the selected provider, its
// address and model, the cloud consent bound to its endpoint and the connection test, each
// through the application model's own operations and validation.
class ProviderCommand {
public:
    struct Settings {
        QString address; // empty: unchanged
        QString model;   // empty: unchanged
    };

    explicit ProviderCommand(CliContext& context) : m_context(context) {}

    // No arguments shows the provider; `set <name>` selects one; address or model changes them.
    QCoro::Task<int> provider(QStringList arguments, Settings settings);
    QCoro::Task<int> consent(QStringList arguments);
    QCoro::Task<int> testConnection();

private:
    void show(CliModelHost& host);
    int update(CliModelHost& host, const Settings& settings);

    CliContext& m_context;
};

} // namespace qw
