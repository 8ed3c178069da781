#include "engine/TranslationService.h"

#include "FakeChatTransport.h"
#include "TranslationErrorPrinter.h"
#include "tests/support/AsyncTestHelpers.h"
#include "tests/support/InterfaceLanguageScope.h"
#include "tests/support/VirtualTime.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using namespace qw;
using namespace std::chrono_literals;
using qw::test::FakeChatTransport;
using qw::test::VirtualTime;
using TextResult = TranslationService::TextResult;

namespace {

struct LoaderState {
    int calls = 0;
    QList<bool> allowFlags;
    CredentialLoadResult result = CredentialLoadResult::ok(u"sk-test"_s);
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

const QString kEditor = u"org.example.Editor"_s;
const QString kChat = u"org.example.Chat"_s;
const QString kZh = u"Simplified Chinese"_s;
const QString kEn = u"English"_s;
const QString kAuto = u"auto-detect"_s;

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
    }

    struct Call {
        QString source = u"你好世界"_s;
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
    // How many requests running these calls sends.
    qsizetype requestsFor(std::initializer_list<Call> calls)
    {
        const qsizetype before = transport->sent.size();
        for (const Call& call : calls)
            run(call);
        return transport->sent.size() - before;
    }

    test::InterfaceLanguageScope chinese{InterfaceLanguage::chinese};
    VirtualTime time;
    std::shared_ptr<LoaderState> loader = std::make_shared<LoaderState>();
    FakeChatTransport* transport = nullptr;
    std::unique_ptr<TranslationService> service;
};

} // namespace

TEST_F(TranslationServiceTest, CloudTranslationPostsOneRequestWithTheLoadedKeyAfterCheckingTheConfiguration)
{
    const TextResult result = run({});
    ASSERT_TRUE(result.isOk());
    EXPECT_EQ(result.value(), u"EN:你好世界"_s);
    ASSERT_EQ(transport->sent.size(), 1);
    EXPECT_EQ(transport->sent[0].request.rawHeader("Authorization"), QByteArray("Bearer sk-test"));
    EXPECT_EQ(loader->allowFlags, QList<bool>{false}); // background translations never prompt

    // Configuration errors come before any key read.
    Call call;
    call.config.model = u"  "_s;
    EXPECT_EQ(run(call).error(), TranslationError::missingModel());
    EXPECT_EQ(loader->calls, 1);
    EXPECT_EQ(transport->sent.size(), 1);
}

// A repeat is answered from the cache, without key or request; each of the cache key's parts
// (application, model, address, demo or cloud) separates entries.
TEST_F(TranslationServiceTest, CacheAnswersRepeatsOfTheSameRequestOnly)
{
    ASSERT_TRUE(run({}).isOk());
    loader->result = CredentialLoadResult::ok(std::nullopt); // the key was deleted from the keyring meanwhile
    // Every hit carries the text: returning the entry must not use it up.
    for (int hit = 1; hit <= 3; ++hit)
        EXPECT_EQ(run({}).value(), u"EN:你好世界"_s) << "hit " << hit;
    EXPECT_EQ(transport->sent.size(), 1);
    // Without the cache flag the request is made again (with the key held in memory).
    EXPECT_EQ(requestsFor({{.useCache = false}}), 1);
    EXPECT_EQ(loader->calls, 1);

    Call otherModel;
    otherModel.config.model = u"gpt-4.1"_s;
    Call otherUrl;
    otherUrl.config.baseURL = u"https://api.openai.com/v1/"_s;
    EXPECT_EQ(requestsFor({{.application = kChat}, otherModel, otherUrl}), 3);
    // A demo result never answers a cloud request of the same text.
    EXPECT_EQ(run({.source = u"你好"_s, .cloud = false}).value(), u"Hello."_s);
    EXPECT_EQ(run({.source = u"你好"_s}).value(), u"EN:你好"_s);
    EXPECT_EQ(transport->sent.size(), 6);
}

// Entries expire after five minutes even without further calls; a cache of eighty entries is
// emptied.
TEST_F(TranslationServiceTest, CacheForgetsAfterFiveMinutesOrEightyEntries)
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
    EXPECT_EQ(requestsFor({{}}), 1);

    service->clearContent(std::nullopt);
    transport->sent.clear();
    const auto text = [](int i) {
        return Call{.source = u"text %1"_s.arg(i)};
    };
    for (int i = 0; i <= 80; ++i)
        ASSERT_TRUE(run(text(i)).isOk());
    ASSERT_EQ(transport->sent.size(), 81);
    EXPECT_EQ(requestsFor({text(80)}), 0) << "still cached: the only entry left";
    EXPECT_EQ(requestsFor({text(0), text(79)}), 2);
}

// Each wipe cancels the translations in flight it covers and drops the cached results it
// covers; a cancelled result is never cached, the others stay.
TEST_F(TranslationServiceTest, WipesCancelAndDropWhatTheyCover)
{
    const struct {
        const char* name;
        std::function<void()> wipe;
        bool coversChat;
    } rows[] = {
        {"one application", [this] { service->clearContent(kEditor); }, false},
        {"all content", [this] { service->clearContent(std::nullopt); }, true},
        // Forgetting any provider's key wipes all content as well.
        {"a provider's key", [this] { service->clearCredentials(TranslationProvider::deepSeek); }, true},
    };
    const Call editorCached;
    const Call chatCached{.application = kChat};
    const Call editorFlying{.source = u"另一段"_s};
    const Call chatFlying{.source = u"另一段"_s, .application = kChat};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        service->clearContent(std::nullopt);
        run(editorCached);
        run(chatCached);
        auto editor = start(editorFlying);
        auto chat = start(chatFlying);
        time.advance(100ms);
        row.wipe();
        time.advance(1s);
        ASSERT_TRUE(editor.finished() && chat.finished());
        EXPECT_TRUE(editor.result().error().isCancellation());
        if (row.coversChat)
            EXPECT_TRUE(chat.result().error().isCancellation());
        else
            EXPECT_EQ(chat.result().value(), u"EN:另一段"_s);
        EXPECT_EQ(requestsFor({editorCached, editorFlying}), 2);
        EXPECT_EQ(requestsFor({chatCached, chatFlying}), row.coversChat ? 2 : 0);
    }
}

// Every way a translation is abandoned ends it with a cancellation, and nothing of it is kept.
TEST_F(TranslationServiceTest, AbandonedTranslationsEndCancelledAndKeepNothing)
{
    CancellationSource before;
    before.cancel();
    EXPECT_TRUE(run({.token = before.token()}).error().isCancellation());
    EXPECT_EQ(loader->calls, 0);

    CancellationSource during;
    auto started = start({.token = during.token()});
    time.advance(10ms);
    during.cancel();
    ASSERT_TRUE(started.finished());
    EXPECT_TRUE(started.result().error().isCancellation());
    EXPECT_EQ(requestsFor({{}}), 1) << "a cancelled translation is not cached";

    // A key loaded after clearCredentials is neither used nor kept.
    service->clearCredentials(TranslationProvider::openAI);
    loader->latency = 50ms;
    const int loads = loader->calls;
    const qsizetype sent = transport->sent.size();
    auto cleared = start({.source = u"第三段"_s});
    time.advance(10ms); // the load is under way
    service->clearCredentials(TranslationProvider::openAI);
    time.advance(1s);
    ASSERT_TRUE(cleared.finished());
    EXPECT_TRUE(cleared.result().error().isCancellation());
    EXPECT_EQ(transport->sent.size(), sent) << "the key from before the clear must not be sent";
    ASSERT_TRUE(run({.source = u"第三段"_s}).isOk());
    EXPECT_EQ(loader->calls, loads + 2) << "the stale key was not remembered";

    // A destroyed service abandons its work, and its expiry timers never fire into it.
    auto orphan = start({.source = u"你好"_s, .cloud = false});
    service.reset();
    time.advance(1s);
    ASSERT_TRUE(orphan.finished());
    EXPECT_TRUE(orphan.result().error().isCancellation());
    time.advance(600s); // the expiry timer must not fire into the destroyed service
    EXPECT_EQ(time.pendingTimers(), 0u);
}

// A failed load blocks the provider: background reads, of any text, repeat the failure without
// touching the keyring. clearCredentials lifts the block, and so does an explicit read that
// succeeds.
TEST_F(TranslationServiceTest, FailedLoadsMapToCredentialErrorsAndBlockBackgroundReads)
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
        const int calls = loader->calls;
        EXPECT_EQ(run({}).error(), row.expected);
        EXPECT_EQ(run({.source = u"另一段"_s}).error(), row.expected);
        EXPECT_EQ(loader->calls, calls) << "a blocked provider must not touch the keyring again";
    }

    loader->result = CredentialLoadResult::ok(u"sk-new"_s);
    auto interactive = test::start(service->credential(TranslationProvider::openAI, true));
    ASSERT_TRUE(interactive.finished());
    EXPECT_EQ(interactive.result().value(), u"sk-new"_s);
    EXPECT_EQ(loader->allowFlags.last(), true);
    const int calls = loader->calls;
    ASSERT_TRUE(run({}).isOk());
    EXPECT_EQ(transport->sent.last().request.rawHeader("Authorization"), QByteArray("Bearer sk-new"));
    EXPECT_EQ(loader->calls, calls);
}

// The demo answers its samples from Chinese (or auto-detect) into English after its delay,
// refuses other texts after the same delay and other pairs at once; it never reads a key or
// sends anything.
TEST_F(TranslationServiceTest, DemoAnswersItsSamplesAfterItsDelay)
{
    const struct {
        const char16_t* source;
        QString target;
        QString sourceLanguage;
        bool waits;
        std::optional<QString> answer; // none: refused as demo only
    } rows[] = {
        {u"  你好\n", kEn, kAuto, true, u"Hello."_s},
        {u"今天天气不错", kEn, kZh, true, std::nullopt},
        {u"你好", u"日本語"_s, kZh, false, std::nullopt},
    };
    for (const auto& row : rows) {
        const QString source = QString::fromUtf16(row.source);
        auto demo = start(
            {.source = source, .cloud = false, .target = row.target, .sourceLanguage = row.sourceLanguage});
        if (row.waits) {
            time.advance(129ms);
            EXPECT_FALSE(demo.finished()) << source.toStdString();
            time.advance(1ms);
        }
        ASSERT_TRUE(demo.finished()) << source.toStdString();
        if (row.answer)
            EXPECT_EQ(demo.result().value(), *row.answer);
        else
            EXPECT_EQ(demo.result().error(), TranslationError::demoOnly());
    }
    EXPECT_EQ(loader->calls, 0);
    EXPECT_TRUE(transport->sent.isEmpty());
}

TEST_F(TranslationServiceTest, ConnectionTestSendsTheSampleAndBypassesTheCache)
{
    const auto test = [this](ProviderConfiguration config) {
        auto started = test::start(service->testConnection(config));
        time.advance(1s);
        EXPECT_TRUE(started.finished());
        return started.result();
    };
    const ProviderConfiguration openAI = ProviderConfiguration::defaults(TranslationProvider::openAI);
    EXPECT_EQ(test(openAI).value(), u"连接正常 · EN:你好"_s);
    ASSERT_EQ(transport->sent.size(), 1);
    EXPECT_EQ(transport->sent[0].userText(), u"你好"_s);
    EXPECT_TRUE(transport->sent[0].body.contains("from Simplified Chinese into clear, natural English."));
    test(openAI);
    EXPECT_EQ(transport->sent.size(), 2);

    // A missing key is reported at once, before the configuration (Kimi has no default model).
    loader->result = CredentialLoadResult::ok(std::nullopt);
    auto missingKey =
        test::start(service->testConnection(ProviderConfiguration::defaults(TranslationProvider::kimi)));
    ASSERT_TRUE(missingKey.finished());
    EXPECT_EQ(missingKey.result().error(), TranslationError::missingKey());
    EXPECT_EQ(transport->sent.size(), 2);
}
