#pragma once

#include "core/Delay.h"
#include "engine/ChatTransport.h"
#include "tests/support/VirtualTime.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <chrono>
#include <functional>

namespace qw::test {

// Answers chat-completion requests after a latency on virtual time, translating by a rule the
// test sets. Records what was sent.
class FakeChatTransport final : public ChatTransport {
public:
    struct Sent {
        QNetworkRequest request;
        QByteArray body;
        QString userText() const
        {
            return QJsonDocument::fromJson(body)
                .object()[QStringLiteral("messages")][1][QStringLiteral("content")]
                .toString();
        }
    };

    explicit FakeChatTransport(VirtualTime& time) : m_time(time) {}

    std::chrono::milliseconds latency{200};
    // Builds the answer for a request; by default an OK answer echoing "EN:" + the user text.
    std::function<TransportReply(const Sent&)> answer = [](const Sent& sent) {
        return TransportReply::response(200, okBody(QStringLiteral("EN:") + sent.userText()));
    };
    QList<Sent> sent;

    static QByteArray okBody(const QString& content)
    {
        const QJsonObject message{{QStringLiteral("role"), QStringLiteral("assistant")},
                                  {QStringLiteral("content"), content}};
        const QJsonObject choice{{QStringLiteral("message"), message}};
        return QJsonDocument(QJsonObject{{QStringLiteral("choices"), QJsonArray{choice}}}).toJson();
    }

    QCoro::Task<TransportReply> post(QNetworkRequest request, QByteArray body,
                                     CancellationToken token) override
    {
        sent.append({request, body});
        const Sent copy = sent.last();
        const bool elapsed = co_await delay(m_time, latency, token);
        if (!elapsed)
            co_return TransportReply::cancelledReply();
        co_return answer(copy);
    }

private:
    VirtualTime& m_time;
};

} // namespace qw::test
