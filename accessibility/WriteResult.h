#pragma once

#include <QString>

namespace qw {

// The outcome of a write into another application: success names the channel that was used
// (localized), failure carries the localized message. A failure after the write step means
// the outcome is unconfirmed; it is reported and never retried.
class WriteResult {
public:
    static WriteResult success(QString method) { return WriteResult(true, std::move(method)); }
    static WriteResult failure(QString message) { return WriteResult(false, std::move(message)); }
    // Nothing was written: the field was no longer focused or no longer held the expected text.
    static WriteResult fieldChanged(QString message)
    {
        WriteResult result(false, std::move(message));
        result.m_fieldChanged = true;
        return result;
    }

    bool isSuccess() const { return m_success; }
    bool isFieldChanged() const { return m_fieldChanged; }
    // The channel's name for a success, empty for a failure.
    QString method() const { return m_success ? m_text : QString(); }
    // The message of a failure, empty for a success.
    QString message() const { return m_success ? QString() : m_text; }

    friend bool operator==(const WriteResult&, const WriteResult&) = default;

private:
    WriteResult(bool success, QString text) : m_success(success), m_text(std::move(text)) {}
    bool m_success;
    bool m_fieldChanged = false;
    QString m_text;
};

} // namespace qw
