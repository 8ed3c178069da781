#pragma once

#include "settings/LoginItemService.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <optional>

namespace qw {

// Login start on a freedesktop desktop: the entry `$XDG_CONFIG_HOME/autostart/<program id>.desktop`,
// which every XDG-compliant session starts at login. Its command runs the installed program
// with `--autostart`, so that no window opens at login.
//
// The user may switch the entry off in the desktop's own settings (`Hidden=true`, or
// `X-GNOME-Autostart-enabled=false`): that choice is reported and never overwritten.
class XdgAutostart final : public LoginItemService {
public:
    // What the backend needs to know about the session; `current()` reads it from the process.
    struct Environment {
        QString configHome;     // $XDG_CONFIG_HOME, else ~/.config
        QString homePath;       // for ~/.local
        QString executablePath; // the running program
        QString currentDesktop; // $XDG_CURRENT_DESKTOP ("KDE", "ubuntu:GNOME")
        QStringList searchPath; // $PATH

        static Environment current();
    };

    explicit XdgAutostart(Environment environment = Environment::current());

    QString entryPath() const;
    // The entry that starts `executable` at login.
    static QByteArray entryFor(const QString& executable);

    LoginItemStatus status() const override;
    // The program the entry starts: for a per-user installation its stable link
    // `<prefix>/bin/quillweave`, never the version folder an update replaces; otherwise the
    // executable's real path (/usr/bin/quillweave for the package).
    QString loginProgramPath() const;
    // Installed means: the executable's real path lies where packages and `cmake --install`
    // put programs (/usr, /usr/local, /opt, ~/.local) or in a version folder of a per-user
    // installation whose stable link leads into it, and no folder above it is a CMake build
    // tree (holds a CMakeCache.txt).
    bool isInstalledCopy() const override;
    bool registerItem() override;
    bool unregisterItem() override;
    bool canOpenSystemSettings() const override;
    void openSystemSettings() override;

private:
    // The keys of the entry's [Desktop Entry] group; none when there is no readable entry.
    std::optional<QHash<QString, QString>> readEntry() const;
    QString findProgram(const QString& name) const;
    // The desktop's own autostart settings, when it has a known tool for them.
    QStringList settingsCommand() const;

    Environment m_environment;
};

} // namespace qw
