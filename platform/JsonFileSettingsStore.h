#pragma once

#include "core/SettingsStore.h"

#include <QHash>
#include <QString>

namespace qw {

// Settings persisted as one JSON file (by default $XDG_CONFIG_HOME/quillweave/settings.json).
// Every change rewrites the file atomically, so a crash never leaves half a file behind. A file
// that cannot be read as settings is moved aside and the program starts from defaults.
class JsonFileSettingsStore final : public SettingsStore {
public:
    enum class LoadOutcome { noFile, loaded, corruptFileSetAside, unreadable };

    explicit JsonFileSettingsStore(QString path);

    static QString defaultPath();

    LoadOutcome loadOutcome() const { return m_loadOutcome; }
    // Where a corrupt file was moved; empty unless loadOutcome() is corruptFileSetAside.
    QString setAsidePath() const { return m_setAsidePath; }
    // False when the last write could not reach the disk; the values stay in memory.
    bool lastWriteSucceeded() const { return m_lastWriteSucceeded; }
    QString path() const { return m_path; }

    std::optional<QVariant> object(const QString& key) const override;
    void setObject(const QString& key, const QVariant& value) override;
    void remove(const QString& key) override;
    QStringList keys() const override;

private:
    void load();
    void write();

    QString m_path;
    QHash<QString, QVariant> m_values;
    LoadOutcome m_loadOutcome = LoadOutcome::noFile;
    QString m_setAsidePath;
    bool m_lastWriteSucceeded = true;
};

} // namespace qw
