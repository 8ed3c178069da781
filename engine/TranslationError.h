#pragma once

#include <QString>
#include <QtGlobal>

namespace qw {

// Every failure the translation engine reports, with the message the user sees. None of them
// carries text from the platform or the provider: the user sees only the engine's own localized
// messages, never an English library message, a URL or what a server chose to say. `cancelled`
// is both a cancelled caller and a result that a wipe made stale, and callers handle it apart
// from real failures.
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
        // The provider stopped early (at its length limit) or its content filter withheld the
        // text: what came back is not a whole translation.
        truncatedReply,
        filteredReply,
        // A successful status whose body is an error object instead of a translation.
        providerError,
        // No answer: the deadline passed, or the connection could not be made.
        timedOut,
        untrustedCertificate,
        hostNotFound,
        connectionRefused,
        networkFailure,
        cancelled,
    };

    static TranslationError credentialFailure(qint32 status) { return {Kind::credentialFailure, status}; }
    static TranslationError httpError(int statusCode) { return {Kind::httpError, statusCode}; }
    static TranslationError demoOnly() { return {Kind::demoOnly, 0}; }
    static TranslationError keychainAccessRequired() { return {Kind::keychainAccessRequired, 0}; }
    static TranslationError missingKey() { return {Kind::missingKey, 0}; }
    static TranslationError missingModel() { return {Kind::missingModel, 0}; }
    static TranslationError invalidEndpoint() { return {Kind::invalidEndpoint, 0}; }
    static TranslationError badResponse() { return {Kind::badResponse, 0}; }
    static TranslationError truncatedReply() { return {Kind::truncatedReply, 0}; }
    static TranslationError filteredReply() { return {Kind::filteredReply, 0}; }
    static TranslationError providerError() { return {Kind::providerError, 0}; }
    static TranslationError timedOut() { return {Kind::timedOut, 0}; }
    static TranslationError untrustedCertificate() { return {Kind::untrustedCertificate, 0}; }
    static TranslationError hostNotFound() { return {Kind::hostNotFound, 0}; }
    static TranslationError connectionRefused() { return {Kind::connectionRefused, 0}; }
    static TranslationError networkFailure() { return {Kind::networkFailure, 0}; }
    static TranslationError cancelled() { return {Kind::cancelled, 0}; }

    Kind kind() const { return m_kind; }
    // The keyring status of a credential failure, or the HTTP status of an HTTP error; 0 otherwise.
    qint32 code() const { return m_code; }
    bool isCancellation() const { return m_kind == Kind::cancelled; }

    // The user-facing text, looked up in the interface language at the time of the call.
    QString message() const;

    friend bool operator==(const TranslationError&, const TranslationError&) = default;

private:
    TranslationError(Kind kind, qint32 code) : m_kind(kind), m_code(code) {}

    Kind m_kind;
    qint32 m_code;
};

} // namespace qw
