#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

namespace qw {

// What came back for one request, before the chat-completion protocol reads it.
struct TransportReply {
    enum class Outcome {
        // The server answered; `statusCode` is empty when the answer was not HTTP.
        response,
        // No answer: refused connection, TLS failure, time-out. `errorDescription` says which.
        transportFailure,
        // The caller's token was cancelled while the request was in flight.
        cancelled,
    };

    Outcome outcome = Outcome::transportFailure;
    std::optional<int> statusCode;
    QByteArray body;
    QString errorDescription;

    static TransportReply response(int statusCode, QByteArray body)
    {
        return {Outcome::response, statusCode, std::move(body), {}};
    }
    static TransportReply failure(QString description)
    {
        return {Outcome::transportFailure, std::nullopt, {}, std::move(description)};
    }
    static TransportReply cancelledReply() { return {Outcome::cancelled, std::nullopt, {}, {}}; }
};

} // namespace qw
