#include "app/cli/CommandLine.h"

#include "app/l10n/LocalizationState.h"
#include "core/InMemorySettingsStore.h"
#include "core/SerialWorker.h"
#include "engine/KeychainCredentialLoader.h"
#include "engine/KeychainStore.h"
#include "engine/ProviderConfigurationStore.h"
#include "engine/TranslationService.h"
#include "tests/engine/FakeChatTransport.h"
#include "tests/support/AsyncTestHelpers.h"
#include "tests/support/FakeSecretBackend.h"
#include "tests/support/VirtualTime.h"

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

    Run run(QStringList arguments, QString standardInput = {})
    {
        QString outText;
        QString errText;
        QTextStream out(&outText);
        QTextStream err(&errText);
        qw::CliContext context{settings, service, *keychain, *worker, out, err, [standardInput] {
                                   return standardInput;
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
    qw::test::FakeSecretBackend secrets;
    std::shared_ptr<qw::KeychainStore> keychain = std::make_shared<qw::KeychainStore>(secrets);
    std::shared_ptr<qw::SerialWorker> worker = std::make_shared<qw::SerialWorker>(QStringLiteral("keyring"));
    qw::test::FakeChatTransport* transport = new qw::test::FakeChatTransport(time);
    qw::TranslationService service{qw::KeychainCredentialLoader::make(keychain, worker), time, time,
                                   std::unique_ptr<qw::ChatTransport>(transport)};
};

TEST_F(CommandLineTest, DemoTranslationNeedsNoProviderAndSendsNothing)
{
    const Run result = run({QStringLiteral("translate"), QStringLiteral("你好")});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out, QStringLiteral("Hello."));
    EXPECT_TRUE(transport->sent.isEmpty());
    EXPECT_TRUE(secrets.calls().isEmpty()) << "the demo must not touch the keyring";
}

TEST_F(CommandLineTest, CloudTranslationSendsExactlyOneRequestToTheSelectedProvider)
{
    settings.setString(QStringLiteral("selectedTranslationProvider"), QStringLiteral("deepseek"));
    storeKey(QStringLiteral("deepseek"), "sk-test-deepseek-key");
    transport->answer = [](const qw::test::FakeChatTransport::Sent&) {
        return qw::TransportReply::response(200, qw::test::FakeChatTransport::okBody(QStringLiteral(
                                                     "  Let's finish the product design first.  ")));
    };

    const Run result = run({QStringLiteral("translate"), QStringLiteral("--cloud"), QStringLiteral("--to"),
                            QStringLiteral("English"), QStringLiteral("这周我们先完成产品设计")});

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
    qw::ProviderConfigurations configurations = qw::ProviderConfigurationStore::load(settings);
    configurations[qw::TranslationProvider::kimi].model = QStringLiteral("moonshot-v1-8k");
    qw::ProviderConfigurationStore::save(configurations, settings);
    storeKey(QStringLiteral("kimi"), "kimi-key");

    const Run result =
        run({QStringLiteral("translate"), QStringLiteral("--cloud"), QStringLiteral("--provider"),
             QStringLiteral("Kimi"), QStringLiteral("--from"), QStringLiteral("zh"), QStringLiteral("--to"),
             QStringLiteral("ja"), QStringLiteral("你好")});
    EXPECT_EQ(result.status, 0) << result.err.toStdString();
    ASSERT_EQ(transport->sent.size(), 1);
    EXPECT_EQ(transport->sent.first().request.url().host(), QStringLiteral("api.moonshot.cn"));
    EXPECT_TRUE(transport->sent.first().body.contains("moonshot-v1-8k"));
    EXPECT_TRUE(transport->sent.first().body.contains("into clear, natural 日本語."));
}

TEST_F(CommandLineTest, RefusedTextsAreNeverSent)
{
    storeKey(QStringLiteral("openai"), "key");
    for (const QString& text : {QStringLiteral("my password = hunter2hunter2hunter2"), QStringLiteral("   "),
                                QString(1801, QLatin1Char('a'))}) {
        const Run result = run({QStringLiteral("translate"), QStringLiteral("--cloud"), text});
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(result.err, QStringLiteral("Nothing to translate here, or the content is protected"));
    }
    EXPECT_TRUE(transport->sent.isEmpty());
}

TEST_F(CommandLineTest, EngineErrorsAreLocalizedOnStandardErrorWithAFailureStatus)
{
    // No key stored for the selected provider (OpenAI by default).
    Run result = run({QStringLiteral("translate"), QStringLiteral("--cloud"), QStringLiteral("你好")});
    EXPECT_EQ(result.status, 1);
    EXPECT_TRUE(result.out.isEmpty());
    EXPECT_FALSE(result.err.isEmpty());
    EXPECT_TRUE(transport->sent.isEmpty());

    qw::LocalizationState::shared().setLanguage(qw::InterfaceLanguage::chinese);
    result = run({QStringLiteral("translate"), QStringLiteral("今天天气不错")});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err,
              QStringLiteral("演示模式仅支持示例句；配置模型 API Key 并同意云翻译后可按所选语言翻译文字"));
}

TEST_F(CommandLineTest, UsageErrorsExitWithStatusTwo)
{
    EXPECT_EQ(run({QStringLiteral("translate"), QStringLiteral("--provider"), QStringLiteral("bing"),
                   QStringLiteral("你好")})
                  .status,
              2);
    EXPECT_EQ(run({QStringLiteral("translate"), QStringLiteral("--to"), QStringLiteral("Klingon"),
                   QStringLiteral("你好")})
                  .status,
              2);
    const Run samePair = run({QStringLiteral("translate"), QStringLiteral("--from"), QStringLiteral("en"),
                              QStringLiteral("--to"), QStringLiteral("English"), QStringLiteral("hello")});
    EXPECT_EQ(samePair.status, 2);
    EXPECT_EQ(samePair.err, QStringLiteral("Source and target language must differ"));
    EXPECT_EQ(run({QStringLiteral("frobnicate")}).status, 2);
    EXPECT_EQ(run({QStringLiteral("key"), QStringLiteral("show")}).status, 2);
    EXPECT_TRUE(transport->sent.isEmpty());
}

TEST_F(CommandLineTest, KeyLifecycleReadsTheKeyFromStandardInputAndNeverPrintsIt)
{
    const QString secret = QStringLiteral("sk-abcdefghijklmnopqrstuvwxyz");
    Run result = run({QStringLiteral("key"), QStringLiteral("set"), QStringLiteral("--provider"),
                      QStringLiteral("deepseek")},
                     QStringLiteral("  ") + secret + QStringLiteral("\n"));
    EXPECT_EQ(result.status, 0) << result.err.toStdString();
    EXPECT_EQ(secrets.item(QStringLiteral("translation-api-key.deepseek")), secret.toUtf8());

    result = run({QStringLiteral("key"), QStringLiteral("status"), QStringLiteral("--provider"),
                  QStringLiteral("deepseek")});
    EXPECT_EQ(result.status, 0);
    EXPECT_TRUE(result.out.startsWith(QStringLiteral("DeepSeek")));
    EXPECT_FALSE(result.out.contains(secret));
    EXPECT_EQ(secrets.promptsShown(), 0);

    // An empty key never overwrites the stored one.
    result = run({QStringLiteral("key"), QStringLiteral("set"), QStringLiteral("--provider"),
                  QStringLiteral("deepseek")},
                 QStringLiteral(" \n"));
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(secrets.item(QStringLiteral("translation-api-key.deepseek")), secret.toUtf8());

    result = run({QStringLiteral("key"), QStringLiteral("delete"), QStringLiteral("--provider"),
                  QStringLiteral("deepseek")});
    EXPECT_EQ(result.status, 0);
    EXPECT_FALSE(secrets.item(QStringLiteral("translation-api-key.deepseek")).has_value());
}

TEST_F(CommandLineTest, KeyStatusOfALockedKeyringNeverPrompts)
{
    storeKey(QStringLiteral("openai"), "sk-locked");
    secrets.setLocked(true);
    const Run result = run({QStringLiteral("key"), QStringLiteral("status")});
    EXPECT_EQ(result.status, 1);
    EXPECT_TRUE(result.out.contains(QStringLiteral("OpenAI")));
    EXPECT_EQ(secrets.promptsShown(), 0);
}

TEST_F(CommandLineTest, HelpExplainsTheCommands)
{
    const Run result = run({QStringLiteral("--help")});
    EXPECT_EQ(result.status, 0);
    for (const char* word : {"translate", "key set", "--cloud", "--provider", "--to"})
        EXPECT_TRUE(result.out.contains(QLatin1String(word))) << word;
}

} // namespace
