#pragma once

#include "app/cli/CliContext.h"
#include "l10n/InterfaceLanguage.h"

#include <QCoroTask>
#include <QStringList>
#include <optional>

class QCommandLineParser;

namespace qw {

// Parses the command line and runs the command it names. Every message is localized; errors
// go to standard error with a non-zero status.
class CommandLine {
public:
    explicit CommandLine(CliContext& context) : m_context(context) {}

    // `arguments` includes the program name first, as QCoreApplication::arguments() gives it.
    QCoro::Task<int> run(QStringList arguments);

    // The interface language named by --interface-language, if any and valid, without running
    // anything: main() applies it before the first message is looked up. run() refuses an
    // invalid one.
    static std::optional<InterfaceLanguage> interfaceLanguageOption(const QStringList& arguments);

    static QString helpText();

    struct Options;

private:
    QCoro::Task<int> runCommand(const QString& command, QStringList positional,
                                const QCommandLineParser& parser, const Options& options);
    QCoro::Task<int> runProviderCommand(const QString& command, QStringList positional,
                                        const QCommandLineParser& parser, const Options& options);
    // Writes the message and the pointer to the help; returns the usage status.
    int usageError(const QString& message);

    CliContext& m_context;
};

} // namespace qw
