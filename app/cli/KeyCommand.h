#pragma once

#include "app/cli/CliContext.h"
#include "engine/CredentialState.h"
#include "model/Credentials.h"

#include <QCoroTask>
#include <optional>

namespace qw {

class ProviderSettings;

// `quillweave key set|delete|status|authorize`: a provider's API key in the desktop keyring,
// through the same credential and provider services the model uses. The key is read from standard input,
// never from the command line (where other users could see it), and is never printed. Only `authorize` may
// make the keyring prompt.
class KeyCommand {
public:
    enum class Action { set, remove, status, authorize };

    explicit KeyCommand(CliContext& context) : m_context(context) {}

    QCoro::Task<int> run(Action action, QString providerName);

    // A failed read (cancelled, locked or refused) is a failure; no key stored is not.
    static bool isFailure(CredentialState state);

private:
    QCoro::Task<int> set(Credentials& credentials, TranslationProvider provider);
    QCoro::Task<int> remove(Credentials& credentials, ProviderSettings& providers);
    QCoro::Task<int> status(Credentials& credentials, TranslationProvider provider);
    QCoro::Task<int> authorize(Credentials& credentials, TranslationProvider provider);
    void printState(TranslationProvider provider, const Credentials::Report& report);

    CliContext& m_context;
};

} // namespace qw
