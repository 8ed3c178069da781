#pragma once

#include "core/SettingsStore.h"

#include <QHash>
#include <QString>

namespace qw {

class Clock;

// Settings persisted as one JSON file (by default $XDG_CONFIG_HOME/quillweave/settings.json).
// Every change rewrites the file atomically, so a crash never leaves half a file behind, and a
// change the file did not take is dropped from memory as well. A file that cannot be read as
// settings is moved aside, next to any earlier copy, and the program starts from defaults.
class JsonFileSettingsStore final : public SettingsStore {
public:
    enum class LoadOutcome { noFile, loaded, corruptFileSetAside, unreadable };

    // `clock` names the copy of a corrupt file; it is not kept.
    JsonFileSettingsStore(QString path, const Clock& clock);

    static QString defaultPath();

    LoadOutcome loadOutcome() const { return m_loadOutcome; }
    // Where a corrupt file was moved; empty unless loadOutcome() is corruptFileSetAside.
    QString setAsidePath() const { return m_setAsidePath; }
    QString path() const { return m_path; }

    std::optional<QVariant> object(const QString& key) const override;
    SettingsWriteResult apply(const QList<Change>& changes) override;
    QStringList keys() const override;

private:
    void load(const Clock& clock);
    // Moves the unreadable file out of the way under a name no earlier copy has.
    bool setAside(const Clock& clock);
    SettingsWriteResult write(const QHash<QString, QVariant>& values) const;

    QString m_path;
    QHash<QString, QVariant> m_values;
    LoadOutcome m_loadOutcome = LoadOutcome::noFile;
    QString m_setAsidePath;
};

} // namespace qw
