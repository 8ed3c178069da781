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

#include <QDir>
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
        return {started.finished() ? started.result() : -1, outText.trimmed(), errText.trimmed()};
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
};

TEST_F(CommandLineTest, DemoTranslationNeedsNoProviderAndSendsNothing)
{
    const Run result = run("translate 你好");
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out, QStringLiteral("Hello."));
    EXPECT_TRUE(transport->sent.isEmpty());
    EXPECT_TRUE(secrets.calls().isEmpty()) << "the demo must not touch the keyring";
}

TEST_F(CommandLineTest, CloudTranslationSendsExactlyOneRequestToTheSelectedProvider)
{
    ASSERT_TRUE(
        settings.setString(QStringLiteral("selectedTranslationProvider"), QStringLiteral("deepseek")));
    storeKey(QStringLiteral("deepseek"), "sk-test-deepseek-key");
    ASSERT_EQ(run("consent on").status, 0);
    transport->answer = [](const qw::test::FakeChatTransport::Sent&) {
        return qw::TransportReply::response(200, qw::test::FakeChatTransport::okBody(QStringLiteral(
                                                     "  Let's finish the product design first.  ")));
    };

    const Run result = run("translate --cloud --to English 这周我们先完成产品设计");

    EXPECT_EQ(result.status, 0) << result.err.toStdString();
    EXPECT_EQ(result.out, QStringLiteral("Let's finish the product design first."));
    ASSERT_EQ(transport->sent.size(), 1);
    const auto& sent = transport->sent.first();
    EXPECT_EQ(sent.request.url().host(), QStringLiteral("api.deepseek.com"));
    EXPECT_EQ(sent.request.rawHeader("Authorization"), QByteArray("Bearer sk-test-deepseek-key"));
    EXPECT_EQ(sent.userText(), QStringLiteral("这周我们先完成产品设计"));
    EXPECT_FALSE(result.out.contains(QStringLiteral("sk-test")));
}

TEST_F(CommandLineTest, ProviderOptionOverridesTheStoredSelectionAndItsConfigurationApplies)
{
    qw::ProviderConfigurations configurations = qw::AppSettings::Table::providerConfigs.row.read(settings);
    configurations[qw::TranslationProvider::kimi].model = QStringLiteral("moonshot-v1-8k");
    ASSERT_TRUE(settings.apply({qw::AppSettings::Table::providerConfigs.row.change(configurations)}));
    storeKey(QStringLiteral("kimi"), "kimi-key");
    ASSERT_EQ(run("consent on --provider kimi").status, 0);
    EXPECT_FALSE(settings.contains(QStringLiteral("selectedTranslationProvider")));

    const Run result = run("translate --cloud --provider Kimi --from zh --to ja 你好");
    EXPECT_EQ(result.status, 0) << result.err.toStdString();
    ASSERT_EQ(transport->sent.size(), 1);
    EXPECT_EQ(transport->sent.first().request.url().host(), QStringLiteral("api.moonshot.cn"));
    EXPECT_TRUE(transport->sent.first().body.contains("moonshot-v1-8k"));
    EXPECT_TRUE(transport->sent.first().body.contains("into clear, natural 日本語."));
}

TEST_F(CommandLineTest, RefusedTextsAreNeverSent)
{
    storeKey(QStringLiteral("openai"), "key");
    ASSERT_EQ(run("consent on").status, 0);
    for (const QString& text :
         {QStringLiteral("my password = hunter2hunter2hunter2"), QStringLiteral("   "),
          QStringLiteral("token=abcdefghijklmnop ") + QString(1801, QLatin1Char('a'))}) {
        const Run result = run({QStringLiteral("translate"), QStringLiteral("--cloud"), text});
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(result.err, QStringLiteral("Nothing to translate here, or the content is protected"));
    }
    // Refused only for its length: the user can cut it down, so say by how much.
    const Run tooLong =
        run({QStringLiteral("translate"), QStringLiteral("--cloud"), QString(1801, QLatin1Char('a'))});
    EXPECT_EQ(tooLong.status, 1);
    EXPECT_EQ(tooLong.err, QStringLiteral("Text too long: at most 1,800 characters, this one has 1,801"));
    EXPECT_TRUE(transport->sent.isEmpty());
}

TEST_F(CommandLineTest, EngineErrorsAreLocalizedOnStandardErrorWithAFailureStatus)
{
    // No key stored for the selected provider (OpenAI by default).
    ASSERT_EQ(run("consent on").status, 0);
    Run result = run("translate --cloud 你好");
    EXPECT_EQ(result.status, 1);
    EXPECT_TRUE(result.out.isEmpty());
    EXPECT_FALSE(result.err.isEmpty());
    EXPECT_TRUE(transport->sent.isEmpty());

    qw::LocalizationState::shared().setLanguage(qw::InterfaceLanguage::chinese);
    result = run("translate 今天天气不错");
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err,
              QStringLiteral("演示模式仅支持示例句；配置模型 API Key 并同意云翻译后可按所选语言翻译文字"));
}

TEST_F(CommandLineTest, UsageErrorsExitWithStatusTwo)
{
    EXPECT_EQ(run("translate --provider bing 你好").status, 2);
    EXPECT_EQ(run("translate --to Klingon 你好").status, 2);
    const Run samePair = run("translate --from en --to English hello");
    EXPECT_EQ(samePair.status, 2);
    EXPECT_EQ(samePair.err, QStringLiteral("Source and target language must differ"));
    EXPECT_EQ(run("frobnicate").status, 2);
    EXPECT_EQ(run("key show").status, 2);
    EXPECT_TRUE(transport->sent.isEmpty());
}

TEST_F(CommandLineTest, KeyLifecycleReadsTheKeyFromStandardInputAndNeverPrintsIt)
{
    const QString secret = QStringLiteral("sk-abcdefghijklmnopqrstuvwxyz");
    Run result = run("key set --provider deepseek", "  " + secret.toUtf8() + "\n");
    EXPECT_EQ(result.status, 0) << result.err.toStdString();
    EXPECT_EQ(secrets.item(QStringLiteral("translation-api-key.deepseek")), secret.toUtf8());

    result = run("key status --provider deepseek");
    EXPECT_EQ(result.status, 0);
    EXPECT_TRUE(result.out.startsWith(QStringLiteral("DeepSeek")));
    EXPECT_FALSE(result.out.contains(secret));
    EXPECT_EQ(secrets.promptsShown(), 0);

    // An empty key never overwrites the stored one.
    result = run("key set --provider deepseek", " \n");
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(secrets.item(QStringLiteral("translation-api-key.deepseek")), secret.toUtf8());

    result = run("key delete --provider deepseek");
    EXPECT_EQ(result.status, 0);
    EXPECT_FALSE(secrets.item(QStringLiteral("translation-api-key.deepseek")).has_value());
}

TEST_F(CommandLineTest, KeyStatusOfALockedKeyringNeverPrompts)
{
    storeKey(QStringLiteral("openai"), "sk-locked");
    secrets.setLocked(true);
    const Run result = run("key status");
    EXPECT_EQ(result.status, 1);
    EXPECT_TRUE(result.out.contains(QStringLiteral("OpenAI")));
    EXPECT_EQ(secrets.promptsShown(), 0);
}

TEST_F(CommandLineTest, HelpExplainsTheCommands)
{
    const Run result = run("--help");
    EXPECT_EQ(result.status, 0);
    for (const char* word :
         {"translate", "key set", "key authorize", "--cloud", "--provider", "--to", "provider [set",
          "--address", "consent", "test-connection", "apps", "--confirm-browser"})
        EXPECT_TRUE(result.out.contains(QLatin1String(word))) << word;
}

TEST_F(CommandLineTest, KeyForAnotherProviderLeavesTheStoredSelectionAlone)
{
    ASSERT_TRUE(settings.setBool(QStringLiteral("cloudConsent.deepseek"), true));
    ASSERT_TRUE(settings.setString(QStringLiteral("cloudConsentEndpoint.deepseek"),
                                   QStringLiteral("https://api.deepseek.com")));
    storeKey(QStringLiteral("deepseek"), "sk-old");
    Run result = run("key delete --provider deepseek");
    EXPECT_EQ(result.status, 0) << result.err.toStdString();
    EXPECT_FALSE(settings.contains(QStringLiteral("selectedTranslationProvider")));
    // The consent went with the key, as the model withdraws it.
    EXPECT_EQ(settings.boolValue(QStringLiteral("cloudConsent.deepseek")), false);

    result = run("key status --provider deepseek");
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out, QStringLiteral("DeepSeek：") + qw::label(qw::CredentialState::missing));
}

TEST_F(CommandLineTest, KeyStatusWithoutAKeyringServiceNamesTheRemedy)
{
    secrets.setServiceAvailable(false);
    const Run result = run("key status");
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.out,
              QStringLiteral("OpenAI：Could not read the key · Keyring unavailable: no Secret Service is "
                             "running in this session. Start gnome-keyring or KWallet; run quillweave "
                             "doctor for details."));
}

TEST_F(CommandLineTest, KeyAuthorizeIsTheOnlyCommandThatMayPrompt)
{
    storeKey(QStringLiteral("openai"), "sk-locked-key");
    secrets.setLocked(true);
    Run result = run("key status");
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(secrets.promptsShown(), 0);

    result = run("key authorize");
    EXPECT_EQ(result.status, 0) << result.err.toStdString();
    EXPECT_EQ(result.out, QStringLiteral("OpenAI：") + qw::label(qw::CredentialState::accessible));
    EXPECT_GE(secrets.promptsShown(), 1);
    EXPECT_FALSE(result.out.contains(QStringLiteral("sk-locked")));

    result = run("key authorize --provider deepseek");
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, QStringLiteral("Save an API key first"));
}

TEST_F(CommandLineTest, ProviderShowsSelectsAndValidatesThroughTheModel)
{
    storeKey(QStringLiteral("kimi"), "kimi-key");
    Run result = run("provider set kimi");
    EXPECT_EQ(result.status, 0) << result.err.toStdString();
    EXPECT_EQ(settings.string(QStringLiteral("selectedTranslationProvider")), QStringLiteral("kimi"));
    EXPECT_TRUE(result.out.contains(QStringLiteral("Kimi")));
    EXPECT_TRUE(result.out.contains(QStringLiteral("https://api.moonshot.cn")));
    EXPECT_FALSE(result.out.contains(QStringLiteral("kimi-key")));

    // A built-in provider keeps its own address.
    result = run(
        {QStringLiteral("provider"), QStringLiteral("--address"), QStringLiteral("https://evil.example")});
    EXPECT_EQ(result.status, 2);

    EXPECT_EQ(run("provider set custom").status, 0);
    result = run("provider --address http://insecure.example --model m");
    EXPECT_EQ(result.status, 1);
    EXPECT_FALSE(result.err.isEmpty());

    result = run("provider --address https://llm.example/v1 --model small");
    EXPECT_EQ(result.status, 0) << result.err.toStdString();
    EXPECT_TRUE(result.out.contains(QStringLiteral("https://llm.example/v1")));
    EXPECT_EQ(run("provider set bing").status, 2);
}

TEST_F(CommandLineTest, ConsentIsBoundToTheEndpointItWasGivenFor)
{
    EXPECT_EQ(run("provider set custom").status, 0);
    // No address yet: there is nothing to consent to.
    Run result = run("consent on");
    EXPECT_EQ(result.status, 1);
    EXPECT_FALSE(result.err.isEmpty());
    EXPECT_NE(settings.boolValue(QStringLiteral("cloudConsent.custom")), true);

    ASSERT_EQ(run("provider --address https://a.example/v1 --model m").status, 0);
    result = run("consent on");
    EXPECT_EQ(result.status, 0) << result.err.toStdString();
    EXPECT_TRUE(run("provider").out.contains(QStringLiteral("Cloud consent：Given")));

    // Another address withdraws it.
    ASSERT_EQ(run("provider --address https://b.example/v1").status, 0);
    EXPECT_TRUE(run("provider").out.contains(QStringLiteral("Cloud consent：Not given")));
    EXPECT_EQ(run("consent maybe").status, 2);
}

TEST_F(CommandLineTest, CloudTranslationNeedsTheConsentGivenForTheCurrentAddress)
{
    storeKey(QStringLiteral("custom"), "sk-custom-key");
    ASSERT_EQ(run("provider set custom").status, 0);
    ASSERT_EQ(run("provider --address https://a.example/v1 --model m").status, 0);
    const struct {
        const char* situation;
        const char* before; // a command run first, if any
        bool sent;
    } rows[] = {
        {"consent never given", nullptr, false},
        {"consent given", "consent on", true},
        {"consent withdrawn", "consent off", false},
        {"consent given again", "consent on", true},
        {"the address changed since", "provider --address https://b.example/v1", false},
    };
    for (const auto& row : rows) {
        if (row.before) {
            ASSERT_EQ(run(row.before).status, 0) << row.situation;
        }
        const qsizetype sentBefore = transport->sent.size();
        const Run result = run("translate --cloud 你好");
        EXPECT_EQ(transport->sent.size(), sentBefore + (row.sent ? 1 : 0)) << row.situation;
        if (row.sent)
            continue;
        EXPECT_EQ(result.status, 1) << row.situation;
        EXPECT_EQ(result.err,
                  QStringLiteral("Using the current cloud translation service is not allowed yet"))
            << row.situation;
    }
    EXPECT_EQ(transport->sent.last().request.url().host(), QStringLiteral("a.example"));
}

TEST_F(CommandLineTest, InputThatCannotBeTakenAsGivenIsRefusedWithoutEchoingSecrets)
{
    const QByteArray secret = "sk-proj-Abc123Def456Ghi789";
    const struct {
        const char* situation;
        QStringList arguments;
        QByteArray standardInput;
        int status;
        QString error; // the first line of standard error
    } rows[] = {
        {"an unknown interface language",
         {"--interface-language", "xx", "translate", "你好"},
         {},
         2,
         "Unknown interface language: xx (choose system, zh-Hans or en)"},
        {"a mistyped option", {"translate", "--clud", "你好"}, {}, 2, "Unknown option: --clud"},
        {"a key pasted as an option",
         {"translate", "--" + QString::fromUtf8(secret), "你好"},
         {},
         2,
         "Unknown option: \u2026"},
        {"a key given as the language",
         {"translate", "--to", QString::fromUtf8(secret), "你好"},
         {},
         2,
         "Unknown language: \u2026"},
        {"a key given as the command", {QString::fromUtf8(secret)}, {}, 2, "Unknown command: \u2026"},
        {"an option the command would ignore",
         {"translate", "--address", "https://x.example", "你好"},
         {},
         2,
         "Option --address cannot be used with the translate command"},
        {"selecting one provider while naming another",
         {"provider", "set", "openai", "--provider", "deepseek"},
         {},
         2,
         "Usage: quillweave provider [set <provider>] [--address <address>] [--model <model>]"},
        {"text that is not UTF-8",
         {"translate", "-"},
         "\xe4\xbd\xa0\xff",
         1,
         "Standard input is not valid UTF-8 text"},
        {"a key that is not UTF-8",
         {"key", "set"},
         "sk-\xc3\x28"
         "abcdefghijkl",
         1,
         "Standard input is not valid UTF-8 text"},
        {"a key with a NUL inside",
         {"key", "set"},
         QByteArray("sk-abc") + '\0' + "defghijklmn",
         1,
         "The API key contains control characters; it was not saved"},
        {"a key with an escape inside",
         {"key", "set"},
         "sk-abc\x1b[0mdefghijklmn\n",
         1,
         "The API key contains control characters; it was not saved"},
    };
    for (const auto& row : rows) {
        const Run result = run(row.arguments, row.standardInput);
        EXPECT_EQ(result.status, row.status) << row.situation;
        EXPECT_EQ(result.err.split(QLatin1Char('\n')).first(), row.error) << row.situation;
        EXPECT_FALSE(result.err.contains(QString::fromUtf8(secret))) << row.situation;
    }
    EXPECT_TRUE(transport->sent.isEmpty());
    EXPECT_FALSE(secrets.item(QStringLiteral("translation-api-key.openai")).has_value());
    EXPECT_FALSE(settings.contains(QStringLiteral("selectedTranslationProvider")));
}

TEST_F(CommandLineTest, ProviderSettingsForANamedProviderLeaveTheSelectionAlone)
{
    Run result = run("provider --provider custom --address https://llm.example/v1 --model small");
    EXPECT_EQ(result.status, 0) << result.err.toStdString();
    EXPECT_FALSE(settings.contains(QStringLiteral("selectedTranslationProvider")));
    EXPECT_TRUE(run("provider --provider custom").out.contains(QStringLiteral("https://llm.example/v1")));
    EXPECT_FALSE(run("provider").out.contains(QStringLiteral("https://llm.example/v1")))
        << "the selected provider (OpenAI) is unchanged";

    // A built-in provider keeps its own address, named or selected.
    result = run("provider --provider openai --address https://evil.example/v1");
    EXPECT_EQ(result.status, 2);
    EXPECT_TRUE(run("provider").out.contains(QStringLiteral("https://api.openai.com")));
}

TEST_F(CommandLineTest, TestConnectionReportsTheModelsOutcome)
{
    Run result = run("test-connection");
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, QStringLiteral("Save an API key first"));

    storeKey(QStringLiteral("openai"), "sk-test");
    transport->answer = [](const qw::test::FakeChatTransport::Sent&) {
        return qw::TransportReply::response(200, qw::test::FakeChatTransport::okBody(QStringLiteral("OK")));
    };
    result = run("test-connection");
    EXPECT_EQ(result.status, 0) << result.err.toStdString();
    EXPECT_FALSE(result.out.isEmpty());

    transport->answer = [](const qw::test::FakeChatTransport::Sent&) {
        return qw::TransportReply::response(401, QByteArray("{}"));
    };
    result = run("test-connection");
    EXPECT_EQ(result.status, 1);
    EXPECT_FALSE(result.err.contains(QStringLiteral("sk-test")));
}

TEST_F(CommandLineTest, ANewInstallationStartsWithNoAllowedApplicationWhateverTheCommandsWrite)
{
    Run result = run("apps");
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out, QStringLiteral("No application is allowed yet"));
    // Settings written by a command must not turn the installation into an "existing" one that
    // gets the default editor allowed behind the user's back.
    EXPECT_EQ(run("provider set deepseek").status, 0);
    EXPECT_EQ(run("apps").out, QStringLiteral("No application is allowed yet"));
}

TEST_F(CommandLineTest, AppsAreAllowedPausedAndRevokedThroughTheModel)
{
    // An installation from before the guide existed keeps the default editor.
    ASSERT_TRUE(settings.setBool(QStringLiteral("inputTranslationEnabled"), true));
    Run result = run("apps");
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out, QStringLiteral("org.gnome.TextEditor (Text Editor)"));

    // A browser needs the explicit confirmation.
    result = run("apps allow org.mozilla.firefox");
    EXPECT_EQ(result.status, 1);
    EXPECT_FALSE(run("apps").out.contains(QStringLiteral("firefox")));
    httpsHandlers = {QStringLiteral("org.example.Surf")};
    EXPECT_EQ(run("apps allow org.example.Surf").status, 1);
    result = run("apps allow org.mozilla.firefox --confirm-browser");
    EXPECT_EQ(result.status, 0) << result.err.toStdString();
    EXPECT_EQ(run("apps allow org.gnome.Calculator").status, 0);

    // Paused until the next midnight (virtual time starts on its fixed day).
    result = run("apps pause org.gnome.TextEditor");
    EXPECT_EQ(result.status, 0);
    const QString midnight =
        QLocale::c().toString(QDateTime(time.now().toUTC().date().addDays(1), QTime(0, 0), QTimeZone::utc()),
                              QStringLiteral("yyyy-MM-dd HH:mm"));
    result = run("apps");
    EXPECT_TRUE(
        result.out.contains(QStringLiteral("org.gnome.TextEditor (Text Editor) · Paused until ") + midnight))
        << result.out.toStdString();
    EXPECT_TRUE(result.out.contains(QStringLiteral("org.mozilla.firefox")));

    EXPECT_EQ(run("apps resume org.gnome.TextEditor").status, 0);
    EXPECT_FALSE(run("apps").out.contains(QStringLiteral("Paused")));

    EXPECT_EQ(run("apps revoke org.mozilla.firefox").status, 0);
    EXPECT_FALSE(run("apps").out.contains(QStringLiteral("firefox")));
    EXPECT_EQ(run("apps pause org.unknown.App").status, 1);
    EXPECT_EQ(run("apps allow").status, 2);
    EXPECT_EQ(run("apps allow quillweave").status, 1);
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
        {"consent on", "provider", "Cloud consent：Not given"},
        {"consent off", "provider", "Cloud consent：Not given"},
        {"provider --model another-model", "provider", "Model：gpt-4.1-mini"},
        {"apps allow org.xfce.mousepad", "apps", "No application is allowed yet"},
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
