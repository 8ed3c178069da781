#include "ConnectProxy.h"
#include "LocalHttpsServer.h"
#include "TranslationErrorPrinter.h"
#include "engine/NetworkChatTransport.h"
#include "engine/TranslationService.h"
#include "tests/support/AsyncTestHelpers.h"
#include "tests/support/InterfaceLanguageScope.h"
#include "tests/support/VirtualTime.h"

#include <QTcpServer>
#include <gtest/gtest.h>
#include <tuple>

using namespace Qt::StringLiterals;
using namespace qw;
using namespace std::chrono_literals;
using qw::test::ConnectProxy;
using qw::test::LocalHttpsServer;
using TextResult = TranslationService::TextResult;

namespace {

QCoro::Task<CredentialLoadResult> loadTestKey(TranslationProvider, bool)
{
    co_return CredentialLoadResult::ok(u"sk-secret"_s);
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
    NetworkChatTransport::Options trustingOptions() const
    {
        NetworkChatTransport::Options options;
        options.extraCaCertificates = {LocalHttpsServer::certificate()};
        options.proxy = QNetworkProxy(QNetworkProxy::HttpProxy, u"127.0.0.1"_s, proxy.port());
        return options;
    }

    void makeService(NetworkChatTransport::Options options)
    {
        service = std::make_unique<TranslationService>(
            loadTestKey, time, time, std::make_unique<NetworkChatTransport>(std::move(options)));
    }

    test::Started<TextResult>
    start(ProviderConfiguration config = ProviderConfiguration::defaults(TranslationProvider::openAI),
          CancellationToken token = {})
    {
        return test::start(service->translate(u"你好"_s, config, true, u"English"_s, u"Simplified Chinese"_s,
                                              u"org.example.Editor"_s, false, token));
    }
    TextResult
    translate(ProviderConfiguration config = ProviderConfiguration::defaults(TranslationProvider::openAI))
    {
        auto started = start(std::move(config));
        return started.wait();
    }

    test::InterfaceLanguageScope chinese{InterfaceLanguage::chinese};
    test::VirtualTime time;
    LocalHttpsServer server;
    ConnectProxy proxy{server.port()};
    std::unique_ptr<TranslationService> service;
};

} // namespace

TEST_F(NetworkTransportTest, PostsTheRequestThroughTheProxyOverVerifiedTls)
{
    makeService(trustingOptions());
    server.respondWith(200, chatBody(R"("  Hello \n")"), {{"Set-Cookie", "session=abc; Path=/; Secure"}});
    const TextResult result = translate();
    ASSERT_TRUE(result.isOk()) << result.error().message().toStdString();
    EXPECT_EQ(result.value(), u"Hello"_s);

    EXPECT_EQ(proxy.connectTargets(), QByteArrayList{"api.openai.com:443"});
    ASSERT_EQ(server.requests().size(), 1);
    const auto& request = server.requests()[0];
    // (The end-to-end run checks the key and the text reach the provider as a user sends them.)
    EXPECT_EQ(request.target, "/v1/chat/completions");
    EXPECT_EQ(request.headers.value("host"), "api.openai.com");

    // Cookies are neither kept nor sent; a custom provider reaches its own host.
    ASSERT_TRUE(translate().isOk());
    EXPECT_FALSE(server.requests()[1].headers.contains("cookie"));
    const ProviderConfiguration custom{TranslationProvider::custom, u"https://translate.example.test/api/"_s,
                                       u"local-model"_s};
    ASSERT_TRUE(translate(custom).isOk());
    EXPECT_EQ(proxy.connectTargets().last(), "translate.example.test:443");
    EXPECT_EQ(server.requests()[2].target, "/api/chat/completions");

    // Every connection test sends the key, not only the first.
    for (int attempt = 1; attempt <= 2; ++attempt) {
        auto started = test::start(
            service->testConnection(ProviderConfiguration::defaults(TranslationProvider::deepSeek)));
        EXPECT_EQ(started.wait().value(), u"连接正常 · Hello"_s) << attempt;
        EXPECT_EQ(server.requests().last().headers.value("authorization"), "Bearer sk-secret") << attempt;
    }
    EXPECT_EQ(server.requests().size(), 5);
}

// The status decides, whatever the body; a success without a usable body is a bad response. A
// redirect is the final answer: never followed, so the key stays with the provider's host.
TEST_F(NetworkTransportTest, HttpStatusesDecideWhateverTheBody)
{
    makeService(trustingOptions());
    const QByteArray html = "<html><body><h1>Bad Gateway</h1></body></html>";
    const std::tuple<int, QByteArray, TranslationError> rows[] = {
        // Qt reports these as protocol or proxy errors with its own English text and the URL.
        {400, html, TranslationError::httpError(400)},
        {407, {}, TranslationError::httpError(407)},
        {401, chatBody(R"("ignored")"), TranslationError::httpError(401)},
        {302, {}, TranslationError::httpError(302)},
        {200, html, TranslationError::badResponse()},
    };
    for (const auto& [status, body, expected] : rows) {
        server.respondWith(status, body, {{"Location", "https://translate.example.test/collect"}});
        const qsizetype before = server.requests().size();
        EXPECT_EQ(translate().error(), expected) << status << " " << body.constData();
        EXPECT_EQ(server.requests().size(), before + 1);
    }
    EXPECT_FALSE(proxy.connectTargets().contains("translate.example.test:443"));
}

TEST_F(NetworkTransportTest, ConnectionFailuresSayWhatToCheck)
{
    const ProviderConfiguration local{TranslationProvider::custom, u"https://127.0.0.1/v1"_s, u"m"_s};
    const ProviderConfiguration unknownHost{TranslationProvider::custom,
                                            u"https://quillweave-test.invalid/v1"_s, u"m"_s};
    const ProviderConfiguration openAI = ProviderConfiguration::defaults(TranslationProvider::openAI);
    struct Row {
        const char* name;
        ProviderConfiguration config;
        bool trustTestAuthority;
        bool direct; // no proxy
        bool proxyWantsCredentials;
        TranslationError expected;
    };
    const Row rows[] = {
        {"certificate of an unknown authority", openAI, false, false, false,
         TranslationError::untrustedCertificate()},
        {"host not found", unknownHost, true, true, false, TranslationError::hostNotFound()},
        // Nothing listens on the HTTPS port of the loopback address.
        {"connection refused", local, true, true, false, TranslationError::connectionRefused()},
        {"proxy wants credentials", openAI, true, false, true, TranslationError::httpError(407)},
    };
    for (const Row& row : rows) {
        NetworkChatTransport::Options options = trustingOptions();
        if (!row.trustTestAuthority)
            options.extraCaCertificates.clear();
        if (row.direct)
            options.proxy = QNetworkProxy(QNetworkProxy::NoProxy);
        if (row.proxyWantsCredentials)
            proxy.requireAuthentication();
        makeService(options);
        const TextResult result = translate(row.config);
        ASSERT_FALSE(result.isOk()) << row.name;
        EXPECT_EQ(result.error(), row.expected) << row.name;
    }
    EXPECT_TRUE(server.requests().isEmpty()) << "nothing may be sent over an unverified connection";
}

TEST_F(NetworkTransportTest, WholeRequestEndsAtTheDeadline)
{
    // A proxy that accepts the connection and never opens the tunnel.
    QTcpServer silentProxy;
    ASSERT_TRUE(silentProxy.listen(QHostAddress::LocalHost, 0));
    struct Row {
        const char* name;
        LocalHttpsServer::Delivery delivery;
        bool stuckInConnection;
    };
    const Row rows[] = {
        {"the connection never opens", LocalHttpsServer::Delivery::whole, true},
        {"the server never answers", LocalHttpsServer::Delivery::never, false},
        {"the server sends a byte every 50 ms", LocalHttpsServer::Delivery::trickle, false},
    };
    for (const Row& row : rows) {
        NetworkChatTransport::Options options = trustingOptions();
        if (row.stuckInConnection)
            options.proxy = QNetworkProxy(QNetworkProxy::HttpProxy, u"127.0.0.1"_s, silentProxy.serverPort());
        makeService(options);
        const LocalHttpsServer::Delivery delivery = row.delivery;
        server.setHandler([delivery](const LocalHttpsServer::Request&) {
            return LocalHttpsServer::Response{200, chatBody(R"("Hello")"), {}, delivery};
        });
        const int trickledBefore = server.trickledBytes();
        auto started = start();
        if (row.stuckInConnection)
            ASSERT_TRUE(test::pumpUntil([&] { return silentProxy.hasPendingConnections(); })) << row.name;
        else if (delivery == LocalHttpsServer::Delivery::trickle)
            ASSERT_TRUE(test::pumpUntil([&] { return server.trickledBytes() >= trickledBefore + 3; }))
                << row.name;
        else
            ASSERT_TRUE(test::pumpUntil([&] { return !server.requests().isEmpty(); })) << row.name;

        time.advance(14999ms);
        QCoreApplication::processEvents();
        EXPECT_FALSE(started.finished()) << row.name;
        time.advance(1ms);
        ASSERT_TRUE(test::pumpUntil([&] { return started.finished(); }, 5s)) << row.name;
        EXPECT_EQ(started.result().error(), TranslationError::timedOut()) << row.name;
    }
}

TEST_F(NetworkTransportTest, CancellingAbandonsTheRequestInFlight)
{
    makeService(trustingOptions());
    server.setHandler([](const LocalHttpsServer::Request&) {
        return LocalHttpsServer::Response{200, {}, {}, LocalHttpsServer::Delivery::never};
    });
    CancellationSource cancel;
    auto started = start(ProviderConfiguration::defaults(TranslationProvider::openAI), cancel.token());
    ASSERT_TRUE(test::pumpUntil([&] { return server.requests().size() == 1; }));
    cancel.cancel();
    ASSERT_TRUE(test::pumpUntil([&] { return started.finished(); }, 5s));
    EXPECT_TRUE(started.result().error().isCancellation());
}
