#pragma once

#include "core/SettingsStore.h"

#include <QHash>
#include <QString>
#include <optional>

namespace qw {

class Clock;

// Settings persisted as one JSON file (by default $XDG_CONFIG_HOME/quillweave/settings.json).
// Every change rewrites the file atomically, so a crash never leaves half a file behind, and a
// change the file did not take is dropped from memory as well (a writer killed mid-write leaves a
// partial file beside it, removed at the next load once that writer is gone). A file that cannot be read as
// settings is moved aside, next to any earlier copy, and the program starts from defaults.
//
// Another program (an editor, a second copy of this one) may replace the file while this one
// runs. A write never clobbers that: it first reads the file again and, when it changed, takes
// its content and applies only its own changes on top. A replacement that cannot be read as
// settings is never overwritten: the write fails with `unreadableFile` until it is fixed.
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
    // Takes in what another program wrote since this store last read or wrote the file.
    // Fails when the file now holds something that is not settings.
    SettingsWriteResult catchUpWithFile();
    SettingsWriteResult write(const QHash<QString, QVariant>& values);

    QString m_path;
    QHash<QString, QVariant> m_values;
    // The file's bytes as this store last read or wrote them; none while there is no file.
    std::optional<QByteArray> m_lastKnownBytes;
    LoadOutcome m_loadOutcome = LoadOutcome::noFile;
    QString m_setAsidePath;
};

} // namespace qw
