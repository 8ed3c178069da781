#include "app/TrayProgram.h"
#include "app/cli/CommandLine.h"
#include "core/ApplicationId.h"
#include "core/Clock.h"
#include "core/QtTimerSource.h"
#include "core/SerialWorker.h"
#include "engine/KeychainCredentialLoader.h"
#include "engine/KeychainStore.h"
#include "engine/NetworkChatTransport.h"
#include "engine/TranslationService.h"
#include "l10n/L10n.h"
#include "l10n/LocalizationState.h"
#include "model/AppSettings.h"
#include "platform/DBusCheckFailures.h"
#include "platform/DesktopEntryIndex.h"
#include "platform/JsonFileSettingsStore.h"
#include "platform/SecretServiceBackend.h"

#include <QApplication>
#include <QCoreApplication>
#include <QFile>
#include <QLocale>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <memory>
#include <optional>
#include <string_view>

namespace {

QByteArray readAllStandardInput()
{
    QFile input;
    if (!input.open(stdin, QIODevice::ReadOnly))
        return {};
    return input.readAll();
}

} // namespace

int main(int argc, char** argv)
{
    qw::keepDBusCheckFailuresNonFatal();
    // Without a command (or as the login entry starts it) this is the tray program.
    // Its only options are --autostart and the interface language.
    bool trayProgram = true;
    bool launchedAtLogin = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view word(argv[i]);
        if (word == "--autostart")
            launchedAtLogin = true;
        else if (word == "--interface-language" && i + 1 < argc)
            ++i;
        else if (!word.starts_with("--interface-language="))
            trayProgram = false;
    }
    // Only the tray program, the panel preview, the settings and the guide show windows; every
    // other command runs without a display.
    const bool showsWindow = trayProgram || std::any_of(argv + 1, argv + argc, [](const char* argument) {
                                 const std::string_view word(argument);
                                 return word == "bubble-preview" || word == "settings" || word == "guide";
                             });
    const std::unique_ptr<QCoreApplication> app = showsWindow
                                                      ? std::make_unique<QApplication>(argc, argv)
                                                      : std::make_unique<QCoreApplication>(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("quillweave"));
    QCoreApplication::setApplicationVersion(QStringLiteral(QW_VERSION));
    // Ties the windows to the installed desktop entry (its icon and name in docks and switchers).
    if (showsWindow)
        QGuiApplication::setDesktopFileName(qw::applicationId());

    QTextStream out(stdout);
    QTextStream err(stderr);

    qw::SystemClock clock;
    qw::JsonFileSettingsStore settings(qw::JsonFileSettingsStore::defaultPath(), clock);
    qw::LocalizationState::shared().setLanguage(qw::AppSettings::Table::interfaceLanguage.row.read(settings));
    // An invalid choice is refused by the command line itself, in the stored language.
    if (const auto language = qw::CommandLine::interfaceLanguageOption(QCoreApplication::arguments()))
        qw::LocalizationState::shared().setLanguage(*language);

    if (settings.loadOutcome() == qw::JsonFileSettingsStore::LoadOutcome::corruptFileSetAside)
        err << qw::L10n::format(L10N_KEY("设置文件已损坏，已另存为 %@；本次使用默认设置。"),
                                {settings.setAsidePath()})
            << Qt::endl;

    qw::QtTimerSource timers;
    qw::SecretServiceBackend secretBackend;
    auto keychain = std::make_shared<qw::KeychainStore>(secretBackend);
    // Quitting while an unlock prompt waits for the user dismisses it instead of waiting.
    // A cancelled call returns at once; one that does not is not waited for long.
    auto keyringWorker = std::make_shared<qw::SerialWorker>(
        QStringLiteral("keyring"), [&secretBackend] { secretBackend.interrupt(); },
        std::chrono::milliseconds(500));
    // Authorities named in SSL_CERT_FILE are trusted besides the system's, as OpenSSL's own
    // programs do (Qt itself ignores the variable): a private authority without root rights.
    qw::NetworkChatTransport::Options transport;
    transport.extraCaFile = qEnvironmentVariable("SSL_CERT_FILE");
    qw::TranslationService service(qw::KeychainCredentialLoader::make(keychain, keyringWorker), clock, timers,
                                   std::make_unique<qw::NetworkChatTransport>(transport));

    if (trayProgram) {
        qw::TrayProgram program({settings, clock, timers, service, *keychain, *keyringWorker});
        return program.run(launchedAtLogin);
    }

    // Installed applications are known from their desktop entries, read from files: nothing of
    // a running application is touched by the command line.
    qw::DesktopEntryIndex entries;
    qw::CliContext context{settings,
                           service,
                           *keychain,
                           *keyringWorker,
                           out,
                           err,
                           readAllStandardInput,
                           clock,
                           timers,
                           QTimeZone::systemTimeZone(),
                           [&entries] { return entries.httpsHandlers(); },
                           [&entries](const QString& id) -> std::optional<QString> {
                               const auto entry = entries.entry(id);
                               if (!entry)
                                   return std::nullopt;
                               return entry->nameFor(QLocale().name());
                           }};
    qw::CommandLine commandLine(context);

    // Commands that need no waiting finish before the event loop runs; only the others need it.
    std::optional<int> status;
    auto task = commandLine.run(QCoreApplication::arguments()).then([&status](int result) {
        status = result;
        QCoreApplication::exit(result);
    });
    if (!status)
        app->exec();
    return status.value_or(qw::ExitStatus::failure);
}
