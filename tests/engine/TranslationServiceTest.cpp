#include "engine/TranslationService.h"

#include "FakeChatTransport.h"
#include "TranslationErrorPrinter.h"
#include "l10n/LocalizationState.h"
#include "tests/support/AsyncTestHelpers.h"
#include "tests/support/VirtualTime.h"

#include <gtest/gtest.h>

using namespace qw;
using namespace std::chrono_literals;
using qw::test::FakeChatTransport;
using qw::test::VirtualTime;
using TextResult = TranslationService::TextResult;

namespace {

struct LoaderState {
    int calls = 0;
    QList<bool> allowFlags;
    CredentialLoadResult result = CredentialLoadResult::ok(QStringLiteral("sk-test"));
    std::chrono::milliseconds latency{0};
};

QCoro::Task<CredentialLoadResult> fakeLoad(std::shared_ptr<LoaderState> state, VirtualTime* time, bool allow)
{
    ++state->calls;
    state->allowFlags.append(allow);
    const CredentialLoadResult result = state->result;
    if (state->latency.count() > 0)
        co_await delay(*time, state->latency);
    co_return result;
}

CredentialLoadResult loadFailure(CredentialLoadFailure::Kind kind, qint32 status = 0)
{
    return CredentialLoadResult::failure(CredentialLoadFailure{kind, status});
}

const QString kEditor = QStringLiteral("org.example.Editor");
const QString kChat = QStringLiteral("org.example.Chat");
const QString kZh = QStringLiteral("Simplified Chinese");
const QString kEn = QStringLiteral("English");
const QString kAuto = QStringLiteral("auto-detect");

class TranslationServiceTest : public ::testing::Test {
protected:
    TranslationServiceTest()
    {
        auto fake = std::make_unique<FakeChatTransport>(time);
        transport = fake.get();
        service = std::make_unique<TranslationService>(
            [state = loader, clock = &time](TranslationProvider, bool allow) {
                return fakeLoad(state, clock, allow);
            },
            time, time, std::move(fake));
        LocalizationState::shared().setLanguage(InterfaceLanguage::chinese);
    }
    ~TranslationServiceTest() override { LocalizationState::shared().setLanguage(InterfaceLanguage::system); }

    struct Call {
        QString source = QStringLiteral("你好世界");
        ProviderConfiguration config = ProviderConfiguration::defaults(TranslationProvider::openAI);
        bool cloud = true;
        QString target = kEn;
        QString sourceLanguage = kZh;
        QString application = kEditor;
        bool useCache = true;
        CancellationToken token;
    };

    test::Started<TextResult> start(Call call)
    {
        return test::start(service->translate(call.source, call.config, call.cloud, call.target,
                                              call.sourceLanguage, call.application, call.useCache,
                                              call.token));
    }
    // Runs a call to its end on virtual time.
    TextResult run(Call call)
    {
        auto started = start(std::move(call));
        time.advance(1s);
        EXPECT_TRUE(started.finished());
        return started.result();
    }

    VirtualTime time;
    std::shared_ptr<LoaderState> loader = std::make_shared<LoaderState>();
    FakeChatTransport* transport = nullptr;
    std::unique_ptr<TranslationService> service;
};

} // namespace

TEST_F(TranslationServiceTest, CloudTranslationPostsOneRequestWithTheLoadedKey)
{
    const TextResult result = run({});
    ASSERT_TRUE(result.isOk());
    EXPECT_EQ(result.value(), QStringLiteral("EN:你好世界"));
    ASSERT_EQ(transport->sent.size(), 1);
    EXPECT_EQ(transport->sent[0].request.url().toString(),
              QStringLiteral("https://api.openai.com/v1/chat/completions"));
    EXPECT_EQ(transport->sent[0].request.rawHeader("Authorization"), QByteArray("Bearer sk-test"));
    EXPECT_EQ(loader->allowFlags, QList<bool>{false}); // background translations never prompt
}

TEST_F(TranslationServiceTest, ConfigurationErrorsComeBeforeAnyKeyRead)
{
    Call call;
    call.config.model = QStringLiteral("  ");
    EXPECT_EQ(run(call).error(), TranslationError::missingModel());
    call.config = {TranslationProvider::openAI, QStringLiteral("https://evil.example/v1"),
                   QStringLiteral("m")};
    EXPECT_EQ(run(call).error(), TranslationError::invalidEndpoint());
    EXPECT_EQ(loader->calls, 0);
    EXPECT_TRUE(transport->sent.isEmpty());
}

TEST_F(TranslationServiceTest, CacheAnswersRepeatsWithoutKeyOrRequest)
{
    ASSERT_TRUE(run({}).isOk());
    loader->result = CredentialLoadResult::ok(std::nullopt); // the key was deleted from the keyring meanwhile
    // Every hit carries the text: returning the entry must not use it up.
    for (int hit = 1; hit <= 3; ++hit)
        EXPECT_EQ(run({}).value(), QStringLiteral("EN:你好世界")) << "hit " << hit;
    EXPECT_EQ(transport->sent.size(), 1);
    EXPECT_EQ(loader->calls, 1);

    // Without the cache flag the request is made again (with the key held in memory).
    Call uncached;
    uncached.useCache = false;
    ASSERT_TRUE(run(uncached).isOk());
    EXPECT_EQ(transport->sent.size(), 2);
    EXPECT_EQ(loader->calls, 1);
}

TEST_F(TranslationServiceTest, CacheKeySeparatesApplicationsModelsUrlsAndDemo)
{
    ASSERT_TRUE(run({}).isOk());
    Call otherApp;
    otherApp.application = kChat;
    Call otherModel;
    otherModel.config.model = QStringLiteral("gpt-4.1");
    Call otherUrl;
    otherUrl.config.baseURL = QStringLiteral("https://api.openai.com/v1/");
    for (const Call& call : {otherApp, otherModel, otherUrl})
        ASSERT_TRUE(run(call).isOk());
    EXPECT_EQ(transport->sent.size(), 4);

    // A demo result never answers a cloud request of the same text.
    Call demo;
    demo.source = QStringLiteral("你好");
    demo.cloud = false;
    EXPECT_EQ(run(demo).value(), QStringLiteral("Hello."));
    Call cloud = demo;
    cloud.cloud = true;
    EXPECT_EQ(run(cloud).value(), QStringLiteral("EN:你好"));
    EXPECT_EQ(transport->sent.size(), 5);
}

TEST_F(TranslationServiceTest, CacheIsEmptiedWhenItHoldsEightyEntries)
{
    for (int i = 0; i < 80; ++i) {
        Call call;
        call.source = QStringLiteral("text %1").arg(i);
        ASSERT_TRUE(run(call).isOk());
    }
    Call newest;
    newest.source = QStringLiteral("text 80");
    ASSERT_TRUE(run(newest).isOk());
    ASSERT_EQ(transport->sent.size(), 81);

    run(newest); // still cached: the only entry left
    EXPECT_EQ(transport->sent.size(), 81);
    Call oldest;
    oldest.source = QStringLiteral("text 0");
    run(oldest);
    Call last;
    last.source = QStringLiteral("text 79");
    run(last);
    EXPECT_EQ(transport->sent.size(), 83);
}

TEST_F(TranslationServiceTest, EntriesExpireAfterFiveMinutesEvenWithoutFurtherCalls)
{
    auto first = start({});
    time.advance(200ms); // the answer arrives; the entry expires 300 s from now
    ASSERT_TRUE(first.finished());
    EXPECT_EQ(time.pendingTimers(), 1u);

    time.advance(299s);
    auto cached = start({});
    ASSERT_TRUE(cached.finished()) << "a cache hit answers at once";
    EXPECT_EQ(transport->sent.size(), 1);
    time.advance(1s);
    EXPECT_EQ(time.pendingTimers(), 0u) << "the expiry timer removed the entry";
    run({});
    EXPECT_EQ(transport->sent.size(), 2);
}

TEST_F(TranslationServiceTest, WipeOfOneApplicationCancelsOnlyItsTranslationsInFlight)
{
    Call editorCall;
    Call chatCall;
    chatCall.application = kChat;
    auto editor = start(editorCall);
    auto chat = start(chatCall);
    time.advance(100ms);
    service->clearContent(kEditor);
    time.advance(100ms);

    ASSERT_TRUE(editor.finished() && chat.finished());
    EXPECT_TRUE(editor.result().error().isCancellation());
    EXPECT_EQ(chat.result().value(), QStringLiteral("EN:你好世界"));

    run(editorCall); // the cancelled result was not cached
    run(chatCall);   // the other one was
    EXPECT_EQ(transport->sent.size(), 3);
}

TEST_F(TranslationServiceTest, WipesRemoveCachedContent)
{
    Call chatCall;
    chatCall.application = kChat;
    run({});
    run(chatCall);
    service->clearContent(kEditor);
    run({});
    run(chatCall);
    EXPECT_EQ(transport->sent.size(), 3);

    service->clearContent(std::nullopt);
    run({});
    run(chatCall);
    EXPECT_EQ(transport->sent.size(), 5);
}

TEST_F(TranslationServiceTest, FullWipesCancelEveryTranslationInFlight)
{
    const std::function<void()> wipes[] = {
        [this] { service->clearContent(std::nullopt); },
        // Forgetting any provider's key wipes all content as well.
        [this] { service->clearCredentials(TranslationProvider::deepSeek); },
    };
    Call chatCall;
    chatCall.application = kChat;
    for (const auto& wipe : wipes) {
        auto editor = start({});
        auto chat = start(chatCall);
        time.advance(50ms);
        wipe();
        time.advance(1s);
        EXPECT_TRUE(editor.result().error().isCancellation());
        EXPECT_TRUE(chat.result().error().isCancellation());
    }
    run({});
    EXPECT_EQ(transport->sent.size(), 5) << "no cancelled result was cached";
}

TEST_F(TranslationServiceTest, KeyLoadedAfterClearCredentialsIsNeitherUsedNorKept)
{
    loader->latency = 50ms;
    auto translation = start({});
    time.advance(10ms); // the load is under way
    service->clearCredentials(TranslationProvider::openAI);
    time.advance(1s);
    ASSERT_TRUE(translation.finished());
    EXPECT_TRUE(translation.result().error().isCancellation());
    EXPECT_TRUE(transport->sent.isEmpty()) << "the key from before the clear must not be sent";

    ASSERT_TRUE(run({}).isOk());
    EXPECT_EQ(loader->calls, 2) << "the stale key was not remembered";
}

TEST_F(TranslationServiceTest, CancelledCallerGetsCancellation)
{
    CancellationSource before;
    before.cancel();
    Call call;
    call.token = before.token();
    EXPECT_TRUE(run(call).error().isCancellation());
    EXPECT_EQ(loader->calls, 0);

    CancellationSource during;
    call.token = during.token();
    auto started = start(call);
    time.advance(10ms);
    during.cancel();
    ASSERT_TRUE(started.finished());
    EXPECT_TRUE(started.result().error().isCancellation());
    call.token = {};
    run(call);
    EXPECT_EQ(transport->sent.size(), 2) << "a cancelled translation is not cached";
}

TEST_F(TranslationServiceTest, FailedLoadBlocksBackgroundReadsUntilAnExplicitOne)
{
    loader->result = loadFailure(CredentialLoadFailure::Kind::accessError, -128);
    EXPECT_EQ(run({}).error(), TranslationError::credentialFailure(-128));
    EXPECT_EQ(run({}).error(), TranslationError::credentialFailure(-128));
    Call other;
    other.source = QStringLiteral("另一段");
    EXPECT_EQ(run(other).error(), TranslationError::credentialFailure(-128));
    EXPECT_EQ(loader->calls, 1) << "a blocked provider must not touch the keyring again";

    loader->result = CredentialLoadResult::ok(QStringLiteral("sk-new"));
    auto interactive = test::start(service->credential(TranslationProvider::openAI, true));
    ASSERT_TRUE(interactive.finished());
    EXPECT_EQ(interactive.result().value(), QStringLiteral("sk-new"));
    EXPECT_EQ(loader->allowFlags.last(), true);

    ASSERT_TRUE(run({}).isOk());
    EXPECT_EQ(transport->sent.last().request.rawHeader("Authorization"), QByteArray("Bearer sk-new"));
    EXPECT_EQ(loader->calls, 2);
}

TEST_F(TranslationServiceTest, LoadOutcomesMapToCredentialErrors)
{
    struct Row {
        CredentialLoadResult result;
        TranslationError expected;
    };
    const Row rows[] = {
        {CredentialLoadResult::ok(std::nullopt), TranslationError::missingKey()},
        {loadFailure(CredentialLoadFailure::Kind::missingKey), TranslationError::missingKey()},
        {loadFailure(CredentialLoadFailure::Kind::accessError, -25308),
         TranslationError::credentialFailure(-25308)},
        {loadFailure(CredentialLoadFailure::Kind::other), TranslationError::keychainAccessRequired()},
    };
    for (const Row& row : rows) {
        service->clearCredentials(TranslationProvider::openAI);
        loader->result = row.result;
        EXPECT_EQ(run({}).error(), row.expected);
        // The failure is remembered: even an interactive read that fails again replaces it.
        const int calls = loader->calls;
        EXPECT_EQ(run({}).error(), row.expected);
        EXPECT_EQ(loader->calls, calls);
    }
    // clearCredentials lifts the block.
    service->clearCredentials(TranslationProvider::openAI);
    loader->result = CredentialLoadResult::ok(QStringLiteral("sk-test"));
    EXPECT_TRUE(run({}).isOk());
}

TEST_F(TranslationServiceTest, DemoAnswersSamplesAfterItsDelay)
{
    Call call;
    call.cloud = false;
    call.source = QStringLiteral("  你好\n");
    call.sourceLanguage = kAuto;
    auto hello = start(call);
    time.advance(129ms);
    EXPECT_FALSE(hello.finished());
    time.advance(1ms);
    ASSERT_TRUE(hello.finished());
    EXPECT_EQ(hello.result().value(), QStringLiteral("Hello."));

    call.sourceLanguage = kZh;
    call.source = QStringLiteral("这周我们先完成产品设计");
    EXPECT_EQ(run(call).value(), QStringLiteral("Let's finish the product design first this week."));
    EXPECT_EQ(loader->calls, 0);
    EXPECT_TRUE(transport->sent.isEmpty());
}

TEST_F(TranslationServiceTest, DemoRefusesOtherPairsAtOnceAndOtherTextsAfterTheDelay)
{
    Call call;
    call.cloud = false;
    call.source = QStringLiteral("你好");
    call.target = QStringLiteral("日本語");
    auto japanese = start(call);
    ASSERT_TRUE(japanese.finished()) << "no delay for a pair the demo cannot do";
    EXPECT_EQ(japanese.result().error(), TranslationError::demoOnly());

    call.target = kEn;
    call.source = QStringLiteral("今天天气不错");
    auto other = start(call);
    time.advance(129ms);
    EXPECT_FALSE(other.finished());
    time.advance(1ms);
    EXPECT_EQ(other.result().error(), TranslationError::demoOnly());

    CancellationSource cancel;
    call.source = QStringLiteral("你好");
    call.token = cancel.token();
    auto cancelled = start(call);
    cancel.cancel();
    ASSERT_TRUE(cancelled.finished());
    EXPECT_TRUE(cancelled.result().error().isCancellation());
}

TEST_F(TranslationServiceTest, DestroyedServiceAbandonsItsWork)
{
    Call call;
    call.cloud = false;
    call.source = QStringLiteral("你好");
    run({}); // leaves an expiry timer behind
    auto demo = start(call);
    service.reset();
    time.advance(1s);
    ASSERT_TRUE(demo.finished());
    EXPECT_TRUE(demo.result().error().isCancellation());
    time.advance(600s); // the expiry timer must not fire into the destroyed service
    EXPECT_EQ(time.pendingTimers(), 0u);
}

TEST_F(TranslationServiceTest, ConnectionTestSendsTheSampleAndBypassesTheCache)
{
    auto ok =
        test::start(service->testConnection(ProviderConfiguration::defaults(TranslationProvider::openAI)));
    time.advance(1s);
    ASSERT_TRUE(ok.finished());
    EXPECT_EQ(ok.result().value(), QStringLiteral("连接正常 · EN:你好"));
    ASSERT_EQ(transport->sent.size(), 1);
    EXPECT_EQ(transport->sent[0].userText(), QStringLiteral("你好"));
    EXPECT_TRUE(transport->sent[0].body.contains("from Simplified Chinese into clear, natural English."));

    auto again =
        test::start(service->testConnection(ProviderConfiguration::defaults(TranslationProvider::openAI)));
    time.advance(1s);
    EXPECT_EQ(transport->sent.size(), 2);

    transport->answer = [](const FakeChatTransport::Sent&) {
        return TransportReply::response(404, {});
    };
    auto missingModel = test::start(service->testConnection(
        {TranslationProvider::openAI, QStringLiteral("https://api.openai.com/v1"), QStringLiteral("gpt-9")}));
    time.advance(1s);
    EXPECT_EQ(missingModel.result().error(), TranslationError::httpError(404));
}

TEST_F(TranslationServiceTest, ConnectionTestReportsAMissingKeyBeforeTheConfiguration)
{
    loader->result = CredentialLoadResult::ok(std::nullopt);
    auto result =
        test::start(service->testConnection(ProviderConfiguration::defaults(TranslationProvider::kimi)));
    ASSERT_TRUE(result.finished());
    EXPECT_EQ(result.result().error(), TranslationError::missingKey());
    EXPECT_TRUE(transport->sent.isEmpty());
}
