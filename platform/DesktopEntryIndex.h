#pragma once

#include <QDateTime>
#include <QHash>
#include <QStringList>
#include <mutex>
#include <optional>

namespace qw {

// One installed application as its desktop entry describes it.
struct DesktopEntry {
    QString id; // "org.xfce.mousepad" for .../applications/org.xfce.mousepad.desktop
    QString name;
    QHash<QString, QString> localizedNames; // by locale ("zh_CN", "zh")
    QString exec;
    QString startupWMClass;
    QString icon; // icon theme name or absolute path
    QStringList mimeTypes;
    bool terminal = false;
    bool hidden = false;
    bool noDisplay = false; // installed, but not shown in the desktop's menus

    // Name[lang_COUNTRY], then Name[lang], then Name.
    QString nameFor(const QString& localeName) const;
};

// What X11 tells about a window's program, from which its desktop entry is found.
struct WindowIdentity {
    QString gtkApplicationId;
    QString wmInstance;
    QString wmClass;
    QString executable; // full path of the process's executable
};

// The installed desktop entries (XDG data directories, the user's first), re-read when one of
// the directories changes. Thread-safe; only the file system is touched.
class DesktopEntryIndex {
public:
    explicit DesktopEntryIndex(QStringList applicationDirectories = defaultDirectories());

    static QStringList defaultDirectories();
    static std::optional<DesktopEntry> parse(const QString& id, const QByteArray& content);

    std::optional<DesktopEntry> entry(const QString& id) const;
    // The entry of a window's program: by GTK application id, then WM_CLASS (as id, as
    // StartupWMClass, as the last part of an id), then the executable named by Exec.
    std::optional<DesktopEntry> resolve(const WindowIdentity& window) const;
    // Every entry, the first directory's first.
    QList<DesktopEntry> entries() const;
    // Ids of the entries that declare they open https URLs.
    QStringList httpsHandlers() const;

private:
    void refreshLocked() const;

    QStringList m_directories;
    mutable std::mutex m_mutex;
    mutable QList<QDateTime> m_stamps;
    mutable QDateTime m_scannedAt;
    mutable QList<DesktopEntry> m_entries; // first directory first; ids unique
};

} // namespace qw
