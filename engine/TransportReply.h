#pragma once

#include "engine/TranslationError.h"

#include <QByteArray>
#include <optional>

namespace qw {

// What came back for one request, before the chat-completion protocol reads it.
struct TransportReply {
    enum class Outcome {
        // The server answered; `statusCode` is empty when the answer was not HTTP.
        response,
        // No answer: refused connection, untrusted certificate, unknown host. `failure` says which.
        transportFailure,
        // The caller's token was cancelled while the request was in flight.
        cancelled,
    };

    Outcome outcome = Outcome::transportFailure;
    std::optional<int> statusCode;
    QByteArray body;
    TranslationError failure = TranslationError::networkFailure();

    static TransportReply response(int statusCode, QByteArray body)
    {
        return {Outcome::response, statusCode, std::move(body), TranslationError::networkFailure()};
    }
    static TransportReply failed(TranslationError failure)
    {
        return {Outcome::transportFailure, std::nullopt, {}, failure};
    }
    static TransportReply cancelledReply()
    {
        return {Outcome::cancelled, std::nullopt, {}, TranslationError::networkFailure()};
    }
};

} // namespace qw
