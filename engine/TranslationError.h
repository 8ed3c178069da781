#pragma once

#include <QString>
#include <QtGlobal>

namespace qw {

// Every failure the translation engine reports, with the message the user sees. The first
// eight kinds are the engine's own; transport and decoding failures carry the platform's own
// description unchanged; `cancelled` is both a cancelled caller and a result that a wipe made
// stale, and callers handle it apart from real failures.
class TranslationError {
public:
    enum class Kind {
        credentialFailure,
        httpError,
        demoOnly,
        keychainAccessRequired,
        missingKey,
        missingModel,
        invalidEndpoint,
        badResponse,
        transportFailure,
        decodingFailure,
        cancelled,
    };

    static TranslationError credentialFailure(qint32 status) { return {Kind::credentialFailure, status, {}}; }
    static TranslationError httpError(int statusCode) { return {Kind::httpError, statusCode, {}}; }
    static TranslationError demoOnly() { return {Kind::demoOnly, 0, {}}; }
    static TranslationError keychainAccessRequired() { return {Kind::keychainAccessRequired, 0, {}}; }
    static TranslationError missingKey() { return {Kind::missingKey, 0, {}}; }
    static TranslationError missingModel() { return {Kind::missingModel, 0, {}}; }
    static TranslationError invalidEndpoint() { return {Kind::invalidEndpoint, 0, {}}; }
    static TranslationError badResponse() { return {Kind::badResponse, 0, {}}; }
    static TranslationError transportFailure(QString description)
    {
        return {Kind::transportFailure, 0, std::move(description)};
    }
    static TranslationError decodingFailure(QString description)
    {
        return {Kind::decodingFailure, 0, std::move(description)};
    }
    static TranslationError cancelled() { return {Kind::cancelled, 0, {}}; }

    Kind kind() const { return m_kind; }
    // The keyring status of a credential failure, or the HTTP status of an HTTP error; 0 otherwise.
    qint32 code() const { return m_code; }
    // The platform's description of a transport or decoding failure; empty otherwise.
    const QString& description() const { return m_description; }
    bool isCancellation() const { return m_kind == Kind::cancelled; }

    // The user-facing text, looked up in the interface language at the time of the call.
    QString message() const;

    friend bool operator==(const TranslationError&, const TranslationError&) = default;

private:
    TranslationError(Kind kind, qint32 code, QString description)
        : m_kind(kind), m_code(code), m_description(std::move(description))
    {
    }

    Kind m_kind;
    qint32 m_code;
    QString m_description;
};

} // namespace qw
