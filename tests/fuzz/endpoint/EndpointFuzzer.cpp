// A provider configuration as the user or a settings file gives it, and what is sent with it:
// only a plain https host and path ever validate, a validated endpoint validates again as
// itself, consent can be bound to every endpoint that validates, and a stored configuration and
// a request body are always strict JSON that reads back as written.
// Input: provider raw value, base URL, model (one line each), then the source text as raw UTF-16.
#include "FuzzInput.h"
#include "engine/ChatCompletion.h"
#include "engine/ProviderConfiguration.h"
#include "engine/StrictJson.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

using namespace qw;

namespace {

bool hasUnpairedSurrogate(const QString& text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate())
            ++i;
        else if (c.isSurrogate())
            return true;
    }
    return false;
}

void checkEndpoint(const ProviderConfiguration& configuration)
{
    const auto endpoint = configuration.validatedEndpoint();
    fuzz::require(configuration.consentEndpoint().has_value() == endpoint.isOk(),
                  "consent can be given for exactly the endpoints that validate");
    if (!endpoint)
        return;
    const QUrl& url = endpoint.value();
    fuzz::require(url.scheme() == u"https" && !url.host().isEmpty(), "only https with a host");
    fuzz::require(url.userInfo().isEmpty() && url.port() == -1 && !url.hasQuery() && !url.hasFragment(),
                  "nothing beyond host and path");
    fuzz::require(url.path(QUrl::FullyEncoded).endsWith(u"/chat/completions"),
                  "the path is the chat endpoint");
    if (configuration.provider != TranslationProvider::custom) {
        fuzz::require(url.host() == QUrl(defaultBaseURL(configuration.provider)).host(),
                      "a built-in provider is reached only at its own host");
    }
    const ProviderConfiguration again{configuration.provider, url.toString(QUrl::FullyEncoded),
                                      configuration.model};
    const auto revalidated = again.validatedEndpoint();
    fuzz::require(revalidated && revalidated.value() == url, "a validated endpoint validates as itself");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QList<QByteArray> input = fuzz::fields(data, size, 4);
    const auto provider = translationProviderFromRawValue(QString::fromUtf8(input.at(0)));
    const ProviderConfiguration configuration{provider.value_or(TranslationProvider::custom),
                                              QString::fromUtf8(input.at(1)), QString::fromUtf8(input.at(2))};
    checkEndpoint(configuration);

    // An unpaired surrogate is written as U+FFFD: what is written then reads back as such.
    const QByteArray stored = configuration.toJson();
    fuzz::require(StrictJson::isWellFormed(stored), "a stored configuration is strict JSON");
    const bool whole =
        !hasUnpairedSurrogate(configuration.baseURL) && !hasUnpairedSurrogate(configuration.model);
    fuzz::require(!whole || ProviderConfiguration::fromJson(QJsonDocument::fromJson(stored).object()) ==
                                configuration,
                  "a stored configuration reads back as written");

    const QString source = fuzz::utf16(input.at(3));
    const QByteArray body = ChatCompletion::requestBody(
        configuration, source,
        ChatCompletion::systemPrompt(QStringLiteral("Chinese"), QStringLiteral("English")));
    fuzz::require(StrictJson::isWellFormed(body), "a request body is strict JSON");
    const QJsonObject sent = QJsonDocument::fromJson(body).object();
    fuzz::require(!whole || sent.value(u"model").toString() == configuration.model,
                  "the model is sent as configured");
    if (!hasUnpairedSurrogate(source)) {
        fuzz::require(sent.value(u"messages").toArray().at(1).toObject().value(u"content").toString() ==
                          source,
                      "the source text is sent untouched");
    }
    return 0;
}
