#pragma once

#include "core/Result.h"
#include "engine/TranslationError.h"
#include "engine/TranslationProvider.h"

#include <QByteArray>
#include <QJsonObject>
#include <QString>
#include <QUrl>
#include <optional>

namespace qw {

// Where and with which model one provider is asked. The base URL and model are kept as the
// settings flow stored them; validatedEndpoint() decides whether they may be used.
struct ProviderConfiguration {
    TranslationProvider provider = TranslationProvider::openAI;
    QString baseURL;
    QString model;

    // The provider's built-in base URL and model.
    static ProviderConfiguration defaults(TranslationProvider provider);

    // The URL to post chat completions to, or why this configuration cannot be used: a missing
    // model is reported before any fault of the URL. Built-in providers accept only their own
    // host, so a stored configuration can never send a key to another server.
    Result<QUrl, TranslationError> validatedEndpoint() const;

    // The validated endpoint with scheme and host in lower case: a cloud consent is bound to
    // this string so it stays valid only for the endpoint it was given for. None when the
    // configuration does not validate.
    std::optional<QString> consentEndpoint() const;

    // Compact JSON {"provider", "baseURL", "model"} in that order; reading needs all three and a
    // known provider, and ignores other keys.
    QByteArray toJson() const;
    static std::optional<ProviderConfiguration> fromJson(const QJsonObject& object);

    friend bool operator==(const ProviderConfiguration&, const ProviderConfiguration&) = default;
};

} // namespace qw
