#include "app/cli/CommandLine.h"

#include "core/InMemorySettingsStore.h"
#include "core/SerialWorker.h"
#include "engine/CredentialState.h"
#include "engine/KeychainCredentialLoader.h"
#include "engine/KeychainStore.h"
#include "engine/TranslationService.h"
#include "l10n/LocalizationState.h"
#include "model/AppSettings.h"
#include "platform/JsonFileSettingsStore.h"
#include "tests/engine/FakeChatTransport.h"
#include "tests/support/AsyncTestHelpers.h"
#include "tests/support/FakeSecretBackend.h"
#include "tests/support/VirtualTime.h"

#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QTemporaryDir>
#include <QTimeZone>
#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace {

// The command line wired to substitutes: settings in memory, a keyring in memory, the provider
// answered by a fake transport on virtual time.
class CommandLineTest : public ::testing::Test {
protected:
    void SetUp() override { qw::LocalizationState::shared().setLanguage(qw::InterfaceLanguage::english); }
    void TearDown() override { qw::LocalizationState::shared().setLanguage(qw::InterfaceLanguage::system); }

    struct Run {
        int status = -1;
        QString out;
        QString err;
    };

    // The command line as one string split on blanks, for arguments that hold no blank.
    Run run(const char* commandLine, QByteArray standardInput = {})
    {
        return run(QString::fromUtf8(commandLine).split(QLatin1Char(' '), Qt::SkipEmptyParts),
                   std::move(standardInput));
    }

    Run run(QStringList arguments, QByteArray standardInput = {})
    {
        QString outText;
        QString errText;
        QTextStream out(&outText);
        QTextStream err(&errText);
        // Like the program, each run reads the settings file anew when there is one.
        std::optional<qw::JsonFileSettingsStore> file;
        if (!settingsFile.isEmpty())
            file.emplace(settingsFile, time);
        qw::SettingsStore& store = file ? static_cast<qw::SettingsStore&>(*file) : settings;
        qw::CliContext context{store,
                               service,
                               *keychain,
                               *worker,
                               out,
                               err,
                               [standardInput] { return standardInput; },
                               time,
                               time,
                               QTimeZone::utc(),
                               [this] { return httpsHandlers; },
                               [](const QString& id) -> std::optional<QString> {
                                   if (id == u"org.gnome.TextEditor")
                                       return QStringLiteral("Text Editor");
                                   return std::nullopt;
                               }};
        qw::CommandLine commandLine(context);
        arguments.prepend(QStringLiteral("quillweave"));
        auto started = qw::test::start(commandLine.run(arguments));
        // The demo delay and the provider's latency pass on virtual time; keyring calls run on
        // the worker thread and are waited for through events.
        for (int step = 0; step < 50 && !started.finished(); ++step) {
            time.advance(100ms);
            qw::test::pumpUntil([&] { return started.finished(); }, 50ms);
        }
        EXPECT_TRUE(started.finished());
        out.flush();
        err.flush();
        printed += outText + errText;
        return {started.finished() ? started.result() : -1, outText.trimmed(), errText.trimmed()};
    }

    // One command and what the user reads of it: its exit status and a text that its output or
    // its error holds.
    struct Step {
        QString command;
        int status;
        QString shows = {};
        QByteArray standardInput = {};
    };

    void play(std::initializer_list<Step> steps)
    {
        for (const Step& step : steps) {
            const Run result = run(step.command.split(u' ', Qt::SkipEmptyParts), step.standardInput);
            const QString shown = result.out + u'\n' + result.err;
            EXPECT_EQ(result.status, step.status)
                << step.command.toStdString() << ": " << shown.toStdString();
            EXPECT_TRUE(shown.contains(step.shows))
                << step.command.toStdString() << ": " << shown.toStdString();
        }
    }

    void storeKey(const QString& provider, const QByteArray& key)
    {
        secrets.setItem(QStringLiteral("translation-api-key.") + provider, key);
    }

    qw::test::VirtualTime time;
    qw::InMemorySettingsStore settings;
    // When set, the runs use this settings file instead of `settings`.
    QString settingsFile;
    qw::test::FakeSecretBackend secrets;
    std::shared_ptr<qw::KeychainStore> keychain = std::make_shared<qw::KeychainStore>(secrets);
    std::shared_ptr<qw::SerialWorker> worker = std::make_shared<qw::SerialWorker>(QStringLiteral("keyring"));
    qw::test::FakeChatTransport* transport = new qw::test::FakeChatTransport(time);
    qw::TranslationService service{qw::KeychainCredentialLoader::make(keychain, worker), time, time,
                                   std::unique_ptr<qw::ChatTransport>(transport)};
    QStringList httpsHandlers;
    // Everything the runs printed, for what must never appear (a key).
    QString printed;
};

TEST_F(CommandLineTest, TranslateUsesTheDemoOrSendsExactlyOneRequestToTheSelectedProvider)
{
    play({{"translate 你好", 0, "Hello."}});
    EXPECT_TRUE(secrets.calls().isEmpty()) << "the demo must not touch the keyring";
    // No key stored for the selected provider (OpenAI by default).
    play({{"consent on", 0}});
    const Run noKey = run("translate --cloud 你好");
    EXPECT_EQ(noKey.status, 1);
    EXPECT_TRUE(noKey.out.isEmpty());
    EXPECT_EQ(noKey.err, QStringLiteral("No API key is configured for the current provider"));
    EXPECT_TRUE(transport->sent.isEmpty());

    ASSERT_TRUE(
        settings.setString(QStringLiteral("selectedTranslationProvider"), QStringLiteral("deepseek")));
    storeKey(QStringLiteral("deepseek"), "sk-test-deepseek-key");
    transport->answer = [](const qw::test::FakeChatTransport::Sent&) {
        return qw::TransportReply::response(200, qw::test::FakeChatTransport::okBody(QStringLiteral(
                                                     "  Let's finish the product design first.  ")));
    };
    play({{"consent on", 0}});
    const Run result = run("translate --cloud --to English 这周我们先完成产品设计");
    EXPECT_EQ(result.status, 0) << result.err.toStdString();
    EXPECT_EQ(result.out, QStringLiteral("Let's finish the product design first."));
    ASSERT_EQ(transport->sent.size(), 1);
    const auto& sent = transport->sent.first();
    EXPECT_EQ(sent.request.url().host(), QStringLiteral("api.deepseek.com"));
    EXPECT_EQ(sent.request.rawHeader("Authorization"), QByteArray("Bearer sk-test-deepseek-key"));
    EXPECT_EQ(sent.userText(), QStringLiteral("这周我们先完成产品设计"));
    EXPECT_FALSE(printed.contains(QStringLiteral("sk-test")));

    // The demo knows only its sample sentences.
    play({{"translate 今天天气不错", 1, "Demo mode only translates the sample sentences"}});
}

TEST_F(CommandLineTest, ProviderOptionOverridesTheStoredSelectionAndItsConfigurationApplies)
{
    qw::ProviderConfigurations configurations = qw::AppSettings::Table::providerConfigs.row.read(settings);
    configurations[qw::TranslationProvider::kimi].model = QStringLiteral("moonshot-v1-8k");
    ASSERT_TRUE(settings.apply({qw::AppSettings::Table::providerConfigs.row.change(configurations)}));
    storeKey(QStringLiteral("kimi"), "kimi-key");
    play(
        {{"consent on --provider kimi", 0}, {"translate --cloud --provider Kimi --from zh --to ja 你好", 0}});
    EXPECT_FALSE(settings.contains(QStringLiteral("selectedTranslationProvider")));
    ASSERT_EQ(transport->sent.size(), 1);
    EXPECT_EQ(transport->sent.first().request.url().host(), QStringLiteral("api.moonshot.cn"));
    EXPECT_TRUE(transport->sent.first().body.contains("moonshot-v1-8k"));
    EXPECT_TRUE(transport->sent.first().body.contains("into clear, natural 日本語."));
}

TEST_F(CommandLineTest, RefusedTextsAreNeverSent)
{
    storeKey(QStringLiteral("openai"), "key");
    ASSERT_EQ(run("consent on").status, 0);
    // Which texts are refused is the text policy's decision (and its tests').
    // Refused only for its length: the user can cut it down, so say by how much.
    const Run tooLong =
        run({QStringLiteral("translate"), QStringLiteral("--cloud"), QString(1801, QLatin1Char('a'))});
    EXPECT_EQ(tooLong.status, 1);
    EXPECT_EQ(tooLong.err, QStringLiteral("Text too long: at most 1,800 characters, this one has 1,801"));
    EXPECT_TRUE(transport->sent.isEmpty());
}

TEST_F(CommandLineTest, InputThatCannotBeTakenAsGivenIsRefusedWithoutEchoingSecrets)
{
    const QString secret = QStringLiteral("sk-proj-Abc123Def456Ghi789");
    const char* notUtf8 = "Standard input is not valid UTF-8 text";
    const char* controls = "The API key contains control characters; it was not saved";
    play({{"--interface-language xx translate 你好", 2,
           "Unknown interface language: xx (choose system, zh-Hans or en)"},
          {"translate --provider bing 你好", 2},
          {"translate --from en --to English hello", 2, "Source and target language must differ"},
          {"apps allow", 2},
          // A built-in provider keeps its own address, selected or named.
          {"provider --address https://evil.example", 2},
          {"translate --clud 你好", 2, "Unknown option: --clud"},
          {"translate --" + secret + " 你好", 2, "Unknown option: \u2026"},
          {"translate --to " + secret + " 你好", 2, "Unknown language: \u2026"},
          {secret, 2, "Unknown command: \u2026"},
          {"translate --address https://x.example 你好", 2,
           "Option --address cannot be used with the translate command"},
          {"provider set openai --provider deepseek", 2,
           "Usage: quillweave provider [set <provider>] [--address <address>] [--model <model>]"},
          {"key set", 1, notUtf8,
           "sk-\xc3\x28"
           "abcdefghijkl"},
          {"key set", 1, controls, "sk-abc\x1b[0mdefghijklmn\n"},
          {"provider", 0, "https://api.openai.com"}});
    EXPECT_FALSE(printed.contains(secret));
    EXPECT_TRUE(transport->sent.isEmpty());
    EXPECT_FALSE(secrets.item(QStringLiteral("translation-api-key.openai")).has_value());
    EXPECT_FALSE(settings.contains(QStringLiteral("selectedTranslationProvider")));
}

TEST_F(CommandLineTest, KeysComeFromStandardInputAndAreNeverPrinted)
{
    const QByteArray secret = "sk-abcdefghijklmnopqrstuvwxyz";
    const QString deepseek = QStringLiteral("translation-api-key.deepseek");
    ASSERT_TRUE(settings.setBool(QStringLiteral("cloudConsent.deepseek"), true));
    ASSERT_TRUE(settings.setString(QStringLiteral("cloudConsentEndpoint.deepseek"),
                                   QStringLiteral("https://api.deepseek.com")));
    play({{"key set --provider deepseek", 0, "", "  " + secret + "\n"},
          {"key status --provider deepseek", 0, "DeepSeek"}});
    EXPECT_EQ(secrets.item(deepseek), secret);

    play({{"key delete --provider deepseek", 0},
          {"key status --provider deepseek", 0,
           QStringLiteral("DeepSeek：") + qw::label(qw::CredentialState::missing)}});
    EXPECT_FALSE(secrets.item(deepseek).has_value());
    EXPECT_FALSE(settings.contains(QStringLiteral("selectedTranslationProvider")));
    // The consent went with the key, as the model withdraws it.
    EXPECT_EQ(settings.boolValue(QStringLiteral("cloudConsent.deepseek")), false);

    secrets.setServiceAvailable(false);
    play({{"key status", 1, "OpenAI：Could not read the key · Keyring unavailable"}});
}

TEST_F(CommandLineTest, KeyAuthorizeIsTheOnlyCommandThatMayPrompt)
{
    storeKey(QStringLiteral("openai"), "sk-locked-key");
    secrets.setLocked(true);
    play({{"key status", 1, "OpenAI"}});
    EXPECT_EQ(secrets.promptsShown(), 0);
    play({{"key authorize", 0, QStringLiteral("OpenAI：") + qw::label(qw::CredentialState::accessible)},
          {"key authorize --provider deepseek", 1, "Save an API key first"}});
    EXPECT_GE(secrets.promptsShown(), 1);
    EXPECT_FALSE(printed.contains(QStringLiteral("sk-locked")));
}

// The consent holds for the address it was given for; a named provider's settings leave the
// selection alone.
TEST_F(CommandLineTest, ProviderConsentAndConnectionTestAsTheUserSeesThem)
{
    storeKey(QStringLiteral("kimi"), "kimi-key");
    const char* notAllowed = "Using the current cloud translation service is not allowed yet";
    play({{"provider set kimi", 0, "https://api.moonshot.cn"},
          {"provider set custom", 0},
          {"consent on", 1}, // nothing configured yet: nothing to consent to
          {"provider --address https://a.example/v1 --model m", 0, "https://a.example/v1"},
          {"provider --provider deepseek --model deepseek-reasoner", 0},
          {"provider --provider deepseek", 0, "deepseek-reasoner"},
          {"test-connection", 1, "Save an API key first"}});
    EXPECT_EQ(settings.string(QStringLiteral("selectedTranslationProvider")), QStringLiteral("custom"));

    storeKey(QStringLiteral("custom"), "sk-custom-key");
    play({{"test-connection", 0, "Connection OK"},
          {"translate --cloud 你好", 1, notAllowed},
          {"consent on", 0},
          {"translate --cloud 你好", 0},
          {"provider --address https://b.example/v1", 0}, // another address withdraws it
          {"provider", 0, "Cloud consent：Not given"},
          {"translate --cloud 你好", 1, notAllowed}});
    ASSERT_EQ(transport->sent.size(), 2) << "the connection test and the one allowed translation";
    EXPECT_EQ(transport->sent.last().request.url().host(), QStringLiteral("a.example"));

    transport->answer = [](const qw::test::FakeChatTransport::Sent&) {
        return qw::TransportReply::response(401, QByteArray("{}"));
    };
    play({{"test-connection", 1}});
    EXPECT_FALSE(printed.contains(QStringLiteral("-key")));
}

TEST_F(CommandLineTest, ANewInstallationStartsWithNoAllowedApplicationWhateverTheCommandsWrite)
{
    // Settings written by a command must not turn the installation into an "existing" one that
    // gets the default editor allowed behind the user's back.
    play({{"apps", 0, "No application is allowed yet"},
          {"provider set deepseek", 0},
          {"apps", 0, "No application is allowed yet"}});
}

TEST_F(CommandLineTest, AppsAreAllowedPausedAndRevoked)
{
    // An installation from before the guide existed keeps the default editor.
    ASSERT_TRUE(settings.setBool(QStringLiteral("inputTranslationEnabled"), true));
    const QString midnight =
        QLocale::c().toString(QDateTime(time.now().toUTC().date().addDays(1), QTime(0, 0), QTimeZone::utc()),
                              QStringLiteral("yyyy-MM-dd HH:mm"));
    play({{"apps", 0, "org.gnome.TextEditor (Text Editor)"},
          // A browser needs the explicit confirmation.
          {"apps allow org.mozilla.firefox", 1}});
    EXPECT_FALSE(run("apps").out.contains(QStringLiteral("firefox")));
    play({
        {"apps allow org.mozilla.firefox --confirm-browser", 0},
        {"apps allow org.gnome.Calculator", 0},
        // Paused until the next midnight (virtual time starts on its fixed day).
        {"apps pause org.gnome.TextEditor", 0},
        {"apps", 0, QStringLiteral("org.gnome.TextEditor (Text Editor) · Paused until ") + midnight},
        {"apps resume org.gnome.TextEditor", 0},
        {"apps revoke org.mozilla.firefox", 0},
    });
    const Run apps = run("apps");
    EXPECT_FALSE(apps.out.contains(QStringLiteral("Paused")));
    EXPECT_FALSE(apps.out.contains(QStringLiteral("firefox")));
    EXPECT_TRUE(apps.out.contains(QStringLiteral("org.gnome.Calculator")));
}

TEST_F(CommandLineTest, ASettingThatCannotBeSavedFailsAndTheNextRunShowsTheOldValue)
{
    QTemporaryDir home;
    const QString folder = home.filePath(QStringLiteral("quillweave"));
    settingsFile = folder + QStringLiteral("/settings.json");
    // The settings folder is a plain file: nothing can be saved beneath it.
    QFile blocker(folder);
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    const QString notSaved = QStringLiteral("Settings not saved: cannot write ") + settingsFile;

    const struct {
        const char* change;
        const char* read;
        const char* before;
    } rows[] = {
        {"provider set deepseek", "provider", "Provider：OpenAI"},
        {"consent off", "provider", "Cloud consent：Not given"},
        // The key goes, but the consent that goes with it cannot be withdrawn in the file.
        {"key delete", "provider", "Cloud consent：Not given"},
    };
    for (const auto& row : rows) {
        const Run changed = run(row.change);
        EXPECT_EQ(changed.status, 1) << row.change;
        EXPECT_TRUE(changed.err.startsWith(notSaved)) << row.change << ": " << changed.err.toStdString();
        EXPECT_TRUE(changed.out.isEmpty()) << row.change << ": " << changed.out.toStdString();
        const Run read = run(row.read);
        EXPECT_EQ(read.status, 0) << row.read;
        EXPECT_TRUE(read.out.contains(QString::fromUtf8(row.before)))
            << row.change << ": " << read.out.toStdString();
    }
    EXPECT_TRUE(QFileInfo(folder).isFile());
}

} // namespace
