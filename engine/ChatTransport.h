#pragma once

#include "core/CancellationToken.h"
#include "engine/TransportReply.h"

#include <QByteArray>
#include <QCoroTask>
#include <QNetworkRequest>

namespace qw {

// Sends one chat-completion request. The service is given its transport when it is created,
// which is how another transport can stand in for the network.
class ChatTransport {
public:
    virtual ~ChatTransport() = default;

    // Posts `body` as described by `request`. Never follows a redirect: a 3xx is the final
    // answer. Cancelling the token abandons the request and yields a cancelled reply.
    virtual QCoro::Task<TransportReply> post(QNetworkRequest request, QByteArray body,
                                             CancellationToken token) = 0;

    // Readies what the first request needs while the user is still typing, so that the request
    // does not wait for it. Costs nothing once done.
    virtual void prepare() {}
};

} // namespace qw
