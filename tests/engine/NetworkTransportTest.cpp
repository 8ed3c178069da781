#include "ConnectProxy.h"
#include "LocalHttpsServer.h"
#include "TranslationErrorPrinter.h"
#include "app/l10n/LocalizationState.h"
#include "engine/ChatCompletion.h"
#include "engine/NetworkChatTransport.h"
#include "engine/TranslationService.h"
#include "tests/support/AsyncTestHelpers.h"
#include "tests/support/VirtualTime.h"

#include <gtest/gtest.h>

using namespace qw;
using namespace std::chrono_literals;
using qw::test::ConnectProxy;
using qw::test::LocalHttpsServer;
using TextResult = TranslationService::TextResult;

namespace {

QCoro::Task<CredentialLoadResult> loadTestKey(TranslationProvider, bool)
{
    co_return CredentialLoadResult::ok(QStringLiteral("sk-secret"));
}

QByteArray chatBody(const char* content)
{
    return QByteArray(
               R"({"id":"c1","object":"chat.completion","choices":[{"index":0,"message":{"role":"assistant","content":)") +
           content + "}}]}";
}

// The real HTTPS transport against a local server. Requests go to the providers' real hosts
// through a CONNECT proxy that the test runs, so the endpoint rules stay as they are and TLS is
// verified against the host the request names.
class NetworkTransportTest : public ::testing::Test {
protected:
    NetworkTransportTest() { LocalizationState::shared().setLanguage(InterfaceLanguage::chinese); }
    ~NetworkTransportTest() override { LocalizationState::shared().setLanguage(InterfaceLanguage::system); }

    NetworkChatTransport::Options trustingOptions() const
    {
        NetworkChatTransport::Options options;
        options.extraCaCertificates = {LocalHttpsServer::certificate()};
        options.proxy = QNetworkProxy(QNetworkProxy::HttpProxy, QStringLiteral("127.0.0.1"), proxy.port());
        return options;
    }

    void makeService(NetworkChatTransport::Options options)
    {
        service = std::make_unique<TranslationService>(
            loadTestKey, time, time, std::make_unique<NetworkChatTransport>(std::move(options)));
    }

    TextResult
    translate(ProviderConfiguration config = ProviderConfiguration::defaults(TranslationProvider::openAI),
              CancellationToken token = {})
    {
        auto started = test::start(service->translate(
            QStringLiteral("你好"), config, true, QStringLiteral("English"),
            QStringLiteral("Simplified Chinese"), QStringLiteral("org.example.Editor"), false, token));
        return started.wait();
    }

    test::VirtualTime time;
    LocalHttpsServer server;
    ConnectProxy proxy{server.port()};
    std::unique_ptr<TranslationService> service;
};

} // namespace

TEST_F(NetworkTransportTest, PostsTheRequestThroughTheProxyOverVerifiedTls)
{
    makeService(trustingOptions());
    server.respondWith(200, chatBody(R"("  Hello \n")"));
    const TextResult result = translate();
    ASSERT_TRUE(result.isOk()) << result.error().message().toStdString();
    EXPECT_EQ(result.value(), QStringLiteral("Hello"));

    EXPECT_EQ(proxy.connectTargets(), QByteArrayList{"api.openai.com:443"});
    ASSERT_EQ(server.requests().size(), 1);
    const auto& request = server.requests()[0];
    EXPECT_EQ(request.method, "POST");
    EXPECT_EQ(request.target, "/v1/chat/completions");
    EXPECT_EQ(request.headers.value("host"), "api.openai.com");
    EXPECT_EQ(request.headers.value("authorization"), "Bearer sk-secret");
    EXPECT_EQ(request.headers.value("content-type"), "application/json");
    const ProviderConfiguration config = ProviderConfiguration::defaults(TranslationProvider::openAI);
    EXPECT_EQ(request.body,
              ChatCompletion::requestBody(config, QStringLiteral("你好"),
                                          ChatCompletion::systemPrompt(QStringLiteral("Simplified Chinese"),
                                                                       QStringLiteral("English"))));
}

TEST_F(NetworkTransportTest, EveryConnectionTestSendsTheKey)
{
    makeService(trustingOptions());
    server.respondWith(200, chatBody(R"("Hello")"));
    for (int attempt = 1; attempt <= 3; ++attempt) {
        auto started = test::start(
            service->testConnection(ProviderConfiguration::defaults(TranslationProvider::deepSeek)));
        const TextResult result = started.wait();
        ASSERT_TRUE(result.isOk()) << "attempt " << attempt << ": " << result.error().message().toStdString();
        EXPECT_EQ(result.value(), QStringLiteral("连接正常 · Hello"));
        ASSERT_EQ(server.requests().size(), attempt);
        EXPECT_EQ(server.requests().last().headers.value("authorization"), "Bearer sk-secret")
            << "attempt " << attempt;
    }
}

TEST_F(NetworkTransportTest, RedirectIsTheFinalAnswerAndTheKeyStaysHome)
{
    makeService(trustingOptions());
    for (int status : {302, 307}) {
        server.respondWith(status, {}, {{"Location", "https://translate.example.test/collect"}});
        const int before = server.requests().size();
        const TextResult result = translate();
        ASSERT_FALSE(result.isOk());
        EXPECT_EQ(result.error(), TranslationError::httpError(status));
        EXPECT_EQ(server.requests().size(), before + 1) << "the redirect must not be followed";
    }
    EXPECT_EQ(TranslationError::httpError(302).message(), QStringLiteral("翻译请求失败（HTTP 302）"));
    EXPECT_FALSE(proxy.connectTargets().contains("translate.example.test:443"));
}

TEST_F(NetworkTransportTest, HttpErrorsBecomeTheirMessages)
{
    makeService(trustingOptions());
    const std::pair<int, const char*> rows[] = {
        {401, "API 授权失败（HTTP 401），请检查 Key 和模型权限"},
        {403, "API 授权失败（HTTP 403），请检查 Key 和模型权限"},
        {404, "API 地址或模型不存在（HTTP 404）"},
        {429, "请求过于频繁或余额不足（HTTP 429）"},
        {500, "翻译请求失败（HTTP 500）"},
    };
    for (const auto& [status, message] : rows) {
        // A body that would decode must not matter for an error status.
        server.respondWith(status, chatBody(R"("ignored")"));
        const TextResult result = translate();
        ASSERT_FALSE(result.isOk()) << status;
        EXPECT_EQ(result.error(), TranslationError::httpError(status));
        EXPECT_EQ(result.error().message(), QString::fromUtf8(message));
    }
}

TEST_F(NetworkTransportTest, UnusableBodiesAreReportedByKind)
{
    makeService(trustingOptions());
    server.respondWith(200, R"({"choices":[]})");
    EXPECT_EQ(translate().error(), TranslationError::badResponse());
    server.respondWith(200, chatBody(R"(" \n  \t")"));
    EXPECT_EQ(translate().error(), TranslationError::badResponse());
    server.respondWith(200, "<html>Bad gateway</html>");
    const TextResult notJson = translate();
    ASSERT_FALSE(notJson.isOk());
    EXPECT_EQ(notJson.error().kind(), TranslationError::Kind::decodingFailure);
    EXPECT_FALSE(notJson.error().message().isEmpty());
}

TEST_F(NetworkTransportTest, CookiesAreNeitherKeptNorSent)
{
    makeService(trustingOptions());
    server.respondWith(200, chatBody(R"("Hello")"), {{"Set-Cookie", "session=abc; Path=/; Secure"}});
    ASSERT_TRUE(translate().isOk());
    ASSERT_TRUE(translate().isOk());
    ASSERT_EQ(server.requests().size(), 2);
    EXPECT_FALSE(server.requests()[1].headers.contains("cookie"));
}

TEST_F(NetworkTransportTest, CustomProviderReachesItsOwnHost)
{
    makeService(trustingOptions());
    server.respondWith(200, chatBody(R"("Hello")"));
    const ProviderConfiguration custom{TranslationProvider::custom,
                                       QStringLiteral("https://translate.example.test/api/"),
                                       QStringLiteral("local-model")};
    ASSERT_TRUE(translate(custom).isOk());
    EXPECT_EQ(proxy.connectTargets(), QByteArrayList{"translate.example.test:443"});
    EXPECT_EQ(server.requests()[0].target, "/api/chat/completions");
}

TEST_F(NetworkTransportTest, UntrustedCertificateFailsBeforeAnythingIsSent)
{
    NetworkChatTransport::Options options = trustingOptions();
    options.extraCaCertificates.clear();
    makeService(options);
    const TextResult result = translate();
    ASSERT_FALSE(result.isOk());
    EXPECT_EQ(result.error().kind(), TranslationError::Kind::transportFailure);
    EXPECT_FALSE(result.error().message().isEmpty());
    EXPECT_TRUE(server.requests().isEmpty());
}

TEST_F(NetworkTransportTest, SilentServerTimesOutAsTransportFailure)
{
    NetworkChatTransport::Options options = trustingOptions();
    options.transferTimeout = 300ms;
    makeService(options);
    server.setHandler([](const LocalHttpsServer::Request&) {
        return LocalHttpsServer::Response{200, {}, {}, true};
    });
    const TextResult result = translate();
    ASSERT_FALSE(result.isOk());
    EXPECT_EQ(result.error().kind(), TranslationError::Kind::transportFailure);
    // Qt reports its own time-out as a cancelled operation, which would tell the user the
    // opposite of what happened.
    EXPECT_EQ(result.error().message(), QStringLiteral("翻译请求超时"));
}

TEST_F(NetworkTransportTest, CancellingAbandonsTheRequestInFlight)
{
    makeService(trustingOptions());
    server.setHandler([](const LocalHttpsServer::Request&) {
        return LocalHttpsServer::Response{200, {}, {}, true};
    });
    CancellationSource cancel;
    auto started = test::start(service->translate(
        QStringLiteral("你好"), ProviderConfiguration::defaults(TranslationProvider::openAI), true,
        QStringLiteral("English"), QStringLiteral("Simplified Chinese"), {}, true, cancel.token()));
    ASSERT_TRUE(test::pumpUntil([&] { return server.requests().size() == 1; }));
    cancel.cancel();
    ASSERT_TRUE(test::pumpUntil([&] { return started.finished(); }, 5s));
    EXPECT_TRUE(started.result().error().isCancellation());
}

TEST_F(NetworkTransportTest, DesktopProxyConfigurationIsHonoured)
{
    // The desktop's proxy settings reach Qt through the environment on a headless session.
    const QByteArray before = qgetenv("https_proxy");
    qputenv("https_proxy", QByteArray("http://127.0.0.1:") + QByteArray::number(proxy.port()));
    NetworkChatTransport::Options options = trustingOptions();
    options.proxy.reset();
    makeService(options);
    server.respondWith(200, chatBody(R"("Hello")"));
    const TextResult result = translate();
    if (before.isNull())
        qunsetenv("https_proxy");
    else
        qputenv("https_proxy", before);
    ASSERT_TRUE(result.isOk()) << result.error().message().toStdString();
    EXPECT_EQ(proxy.connectTargets(), QByteArrayList{"api.openai.com:443"});
}
