// The provider's reply: the strict JSON check, Qt's decoding behind it and the chat-completion
// reader. Input: the HTTP status on the first line ("none" for an answer that was not HTTP),
// then the body.
#include "FuzzInput.h"
#include "engine/ChatCompletion.h"
#include "engine/StrictJson.h"

#include <QJsonDocument>

using namespace qw;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QList<QByteArray> input = fuzz::fields(data, size, 2);
    const QByteArray& body = input.at(1);

    // Whatever the strict check accepts, Qt must decode: the reader trusts Qt only after the
    // check. Qt takes only objects and arrays at the top, and refuses a number beyond a double's
    // range (1E+400), which the reader then refuses as well.
    if (StrictJson::isWellFormed(body)) {
        const QByteArray trimmed = body.trimmed();
        if (trimmed.startsWith('{') || trimmed.startsWith('[')) {
            QJsonParseError error;
            QJsonDocument::fromJson(body, &error);
            fuzz::require(error.error == QJsonParseError::NoError ||
                              error.error == QJsonParseError::IllegalNumber,
                          "strict JSON is JSON to Qt as well");
        }
    }

    bool numeric = false;
    const int status = input.at(0).trimmed().toInt(&numeric);
    TransportReply reply =
        numeric ? TransportReply::response(status, body) : TransportReply::response(200, body);
    if (!numeric)
        reply.statusCode.reset();
    const auto result = ChatCompletion::readResponse(reply);
    if (result) {
        fuzz::require(numeric && status >= 200 && status <= 299, "a translation comes with a success status");
        fuzz::require(!result.value().isEmpty(), "a translation is never empty");
        fuzz::require(result.value() == result.value().trimmed(), "a translation is trimmed");
    } else if (numeric && (status < 200 || status > 299)) {
        fuzz::require(result.error().kind() == TranslationError::Kind::httpError &&
                          result.error().code() == status,
                      "a failed status is reported as such, whatever the body");
    }
    return 0;
}
