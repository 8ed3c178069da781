#pragma once

#include "app/cli/CliContext.h"

#include <QCoroTask>
#include <QStringList>

namespace qw {

// Parses the command line and runs the command it names. Every message is localized; errors
// go to standard error with a non-zero status.
class CommandLine {
public:
    explicit CommandLine(CliContext& context) : m_context(context) {}

    // `arguments` includes the program name first, as QCoreApplication::arguments() gives it.
    QCoro::Task<int> run(QStringList arguments);

    // The interface language named by --interface-language, if any, without running anything:
    // main() applies it before the first message is looked up.
    static QString interfaceLanguageOption(const QStringList& arguments);

    static QString helpText();

private:
    CliContext& m_context;
};

} // namespace qw
