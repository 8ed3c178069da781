#pragma once

#include "app/cli/CliContext.h"
#include "engine/TranslationProvider.h"

#include <QCoroTask>

namespace qw {

// `quillweave key set|delete|status`: a provider's API key in the desktop keyring. The key is
// read from standard input, never from the command line (where other users could see it), and
// is never printed.
class KeyCommand {
public:
    enum class Action { set, remove, status };

    explicit KeyCommand(CliContext& context) : m_context(context) {}

    QCoro::Task<int> run(Action action, QString providerName);

private:
    QCoro::Task<int> set(TranslationProvider provider);
    QCoro::Task<int> remove(TranslationProvider provider);
    QCoro::Task<int> status(TranslationProvider provider);

    CliContext& m_context;
};

} // namespace qw
