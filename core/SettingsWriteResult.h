#pragma once

#include <QString>
#include <optional>

namespace qw {

// What became of one write to the settings store. A failed write changed nothing: the store
// still holds, in memory and on disk, what it held before. The model turns a failure into the
// message the user sees; everything else only passes it on.
class SettingsWriteResult {
public:
    enum class Failure {
        // The value cannot be stored and read back as it was (a NaN or infinite number, a
        // dictionary nested too deeply, a type the store does not keep).
        notStorable,
        // The settings file exists but could not be read; it is never replaced by a store that
        // does not know what it holds.
        unreadableFile,
        // The settings file could not be written.
        writeFailed,
    };

    static SettingsWriteResult ok() { return SettingsWriteResult(); }
    static SettingsWriteResult failed(Failure failure, QString location = {}, QString reason = {})
    {
        SettingsWriteResult result;
        result.m_failure = failure;
        result.m_location = std::move(location);
        result.m_reason = std::move(reason);
        return result;
    }

    bool isOk() const { return !m_failure; }
    explicit operator bool() const { return isOk(); }
    std::optional<Failure> failure() const { return m_failure; }
    // The file the write was meant for; empty for a store without one.
    const QString& location() const { return m_location; }
    // The platform's description of why the file could not be written; may be empty.
    const QString& reason() const { return m_reason; }

    friend bool operator==(const SettingsWriteResult&, const SettingsWriteResult&) = default;

private:
    SettingsWriteResult() = default;

    std::optional<Failure> m_failure;
    QString m_location;
    QString m_reason;
};

} // namespace qw
