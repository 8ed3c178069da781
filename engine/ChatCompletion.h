#pragma once

#include "core/Result.h"
#include "engine/ProviderConfiguration.h"
#include "engine/TranslationError.h"
#include "engine/TransportReply.h"

#include <QByteArray>
#include <QNetworkRequest>
#include <QString>
#include <QUrl>

namespace qw::ChatCompletion {

// The system message for a language pair, given as the languages' raw values (they are the
// names the model reads).
QString systemPrompt(const QString& sourceLanguage, const QString& targetLanguage);

// The JSON body: "model", "messages" (system, then the untouched source text), "temperature"
// and, for DeepSeek only, "thinking" switched off.
QByteArray requestBody(const ProviderConfiguration& configuration, const QString& source,
                       const QString& systemPrompt);

// The POST request for a validated endpoint; the key travels only in its Authorization header.
QNetworkRequest request(const QUrl& endpoint, const QString& credential);

// The translation in a transport reply: HTTP errors before the body is looked at; a body that
// is not strict JSON or not a chat completion, a reply not from the assistant or without text
// as a bad response; a reply cut off, filtered or carrying an error object as its own failure.
Result<QString, TranslationError> readResponse(const TransportReply& reply);

} // namespace qw::ChatCompletion
