#include "platform/XdgAutostart.h"

#include "core/ApplicationId.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QSaveFile>
#include <QUrl>

namespace qw {

namespace {

// An entry far larger than this is not one we wrote, and is not read whole.
constexpr qint64 maximumEntrySize = 64 * 1024;

bool userSwitchedOff(const QHash<QString, QString>& entry)
{
    return entry.value(QStringLiteral("Hidden")) == u"true" ||
           entry.value(QStringLiteral("X-GNOME-Autostart-enabled")) == u"false";
}

// An Exec argument quoted the way desktop entries quote arguments: inside double quotes, the
// characters `"`, `` ` ``, `$` and `\` take a backslash.
QString quotedArgument(const QString& argument)
{
    static const QString plain =
        QStringLiteral("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789/._-+");
    const bool needsQuotes =
        std::any_of(argument.cbegin(), argument.cend(), [](QChar c) { return !plain.contains(c); });
    if (!needsQuotes && !argument.isEmpty())
        return argument;
    QString quoted = QStringLiteral("\"");
    for (const QChar c : argument) {
        if (c == u'"' || c == u'`' || c == u'$' || c == u'\\')
            quoted += u'\\';
        quoted += c;
    }
    return quoted + u'"';
}

// The program an Exec value starts (its first argument, quotes and escapes removed).
QString programOfExec(const QString& exec)
{
    QString text = exec.trimmed();
    text.replace(QStringLiteral("%%"), QStringLiteral("%"));
    if (!text.startsWith(u'"'))
        return text.section(u' ', 0, 0);
    QString program;
    for (qsizetype i = 1; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == u'"')
            return program;
        if (c == u'\\' && i + 1 < text.size())
            program += text.at(++i);
        else
            program += c;
    }
    return {}; // an unterminated quote starts nothing
}

// The string escapes of a desktop entry value: `\\` stands for one backslash.
QString escapedValue(const QString& value)
{
    QString escaped = value;
    return escaped.replace(u'\\', QStringLiteral("\\\\"));
}

QString unescapedValue(const QString& value)
{
    QString result;
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar c = value.at(i);
        if (c != u'\\' || i + 1 == value.size()) {
            result += c;
            continue;
        }
        const QChar next = value.at(++i);
        result += next == u's'   ? QChar(u' ')
                  : next == u'n' ? QChar(u'\n')
                  : next == u't' ? QChar(u'\t')
                                 : next;
    }
    return result;
}

bool isExecutableFile(const QString& path)
{
    const QFileInfo info(path);
    return info.isFile() && info.isExecutable();
}

// A per-user installation runs `<prefix>/lib/quillweave/versions/<version>/bin/quillweave`,
// reached through the stable link `<prefix>/bin/quillweave` that an update re-points. Given the
// running executable's real path, the stable link when it is there and leads into the same
// installation (to any version: an update may already have moved it on).
QString stableLauncherOf(const QString& canonicalExecutable)
{
    static const QRegularExpression versioned(
        QStringLiteral("^(.+)/lib/quillweave/versions/[^/]+/bin/quillweave$"));
    const QRegularExpressionMatch match = versioned.match(canonicalExecutable);
    if (!match.hasMatch())
        return {};
    const QString prefix = match.captured(1);
    const QString launcher = prefix + QStringLiteral("/bin/quillweave");
    const QString target = QFileInfo(launcher).canonicalFilePath();
    const bool intoThisInstallation =
        target.startsWith(prefix + QStringLiteral("/lib/quillweave/versions/")) && isExecutableFile(target);
    return intoThisInstallation ? launcher : QString();
}

} // namespace

XdgAutostart::Environment XdgAutostart::Environment::current()
{
    Environment environment;
    environment.homePath = QDir::homePath();
    environment.configHome = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (!QDir::isAbsolutePath(environment.configHome))
        environment.configHome = environment.homePath + QStringLiteral("/.config");
    environment.executablePath = QCoreApplication::applicationFilePath();
    environment.currentDesktop = qEnvironmentVariable("XDG_CURRENT_DESKTOP");
    environment.searchPath = qEnvironmentVariable("PATH").split(u':', Qt::SkipEmptyParts);
    return environment;
}

XdgAutostart::XdgAutostart(Environment environment) : m_environment(std::move(environment)) {}

QString XdgAutostart::entryPath() const
{
    return m_environment.configHome + QStringLiteral("/autostart/") + applicationId() +
           QStringLiteral(".desktop");
}

QByteArray XdgAutostart::entryFor(const QString& executable)
{
    // A lone `%` would start a field code: a literal one is written twice.
    const QString exec =
        quotedArgument(executable).replace(u'%', QStringLiteral("%%")) + QStringLiteral(" --autostart");
    const QString text = QStringLiteral("[Desktop Entry]\n"
                                        "Type=Application\n"
                                        "Name=Quillweave\n"
                                        "Name[zh_CN]=织语\n"
                                        "Exec=%1\n"
                                        "Icon=%2\n"
                                        "Terminal=false\n"
                                        "X-GNOME-Autostart-enabled=true\n")
                             .arg(escapedValue(exec), applicationId());
    return text.toUtf8();
}

std::optional<QHash<QString, QString>> XdgAutostart::readEntry() const
{
    QFile file(entryPath());
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    QHash<QString, QString> keys;
    bool inMainGroup = false;
    for (const QByteArray& raw : file.read(maximumEntrySize).split('\n')) {
        const QString line = QString::fromUtf8(raw).trimmed();
        if (line.startsWith(u'[')) {
            inMainGroup = line == u"[Desktop Entry]";
            continue;
        }
        const qsizetype equals = line.indexOf(u'=');
        if (!inMainGroup || line.startsWith(u'#') || equals <= 0)
            continue;
        keys.insert(line.left(equals).trimmed(), unescapedValue(line.mid(equals + 1).trimmed()));
    }
    return keys;
}

QString XdgAutostart::findProgram(const QString& name) const
{
    if (name.contains(u'/'))
        return isExecutableFile(name) ? name : QString();
    for (const QString& folder : m_environment.searchPath) {
        const QString candidate = folder + u'/' + name;
        if (isExecutableFile(candidate))
            return candidate;
    }
    return {};
}

LoginItemStatus XdgAutostart::status() const
{
    if (!QFileInfo::exists(entryPath()))
        return LoginItemStatus::notRegistered;
    const auto entry = readEntry();
    if (!entry)
        return LoginItemStatus::notFound;
    // A program that is gone cannot be started, whatever the switch says.
    const QString program = programOfExec(entry->value(QStringLiteral("Exec")));
    if (program.isEmpty() || findProgram(program).isEmpty())
        return LoginItemStatus::notFound;
    return userSwitchedOff(*entry) ? LoginItemStatus::requiresApproval : LoginItemStatus::enabled;
}

QString XdgAutostart::loginProgramPath() const
{
    const QString executable = QFileInfo(m_environment.executablePath).canonicalFilePath();
    const QString launcher = stableLauncherOf(executable);
    return launcher.isEmpty() ? executable : launcher;
}

bool XdgAutostart::isInstalledCopy() const
{
    const QString executable = QFileInfo(m_environment.executablePath).canonicalFilePath();
    if (executable.isEmpty())
        return false;
    const QString localPrefix =
        QFileInfo(m_environment.homePath + QStringLiteral("/.local")).canonicalFilePath();
    const QStringList prefixes = {QStringLiteral("/usr/"), QStringLiteral("/opt/"), localPrefix + u'/'};
    const bool underPrefix = std::any_of(prefixes.cbegin(), prefixes.cend(), [&](const QString& prefix) {
        return prefix.size() > 1 && executable.startsWith(prefix);
    });
    if (!underPrefix && stableLauncherOf(executable).isEmpty())
        return false;
    // A build tree placed under one of these folders is still a build tree.
    for (QDir folder = QFileInfo(executable).dir();;) {
        if (folder.exists(QStringLiteral("CMakeCache.txt")))
            return false;
        if (!folder.cdUp())
            return true;
    }
}

bool XdgAutostart::registerItem()
{
    // Only an installed program is started at login: a build tree's path would break later.
    if (!isInstalledCopy())
        return false;
    // The user switched the entry off in the desktop's settings: that choice stands.
    if (const auto entry = readEntry(); entry && userSwitchedOff(*entry))
        return true;
    if (!QDir().mkpath(QFileInfo(entryPath()).path()))
        return false;
    QSaveFile file(entryPath());
    if (!file.open(QIODevice::WriteOnly))
        return false;
    const QByteArray content = entryFor(loginProgramPath());
    if (file.write(content) != content.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

bool XdgAutostart::unregisterItem()
{
    QFile entry(entryPath());
    if (!entry.exists())
        return true;
    return entry.remove();
}

QStringList XdgAutostart::settingsCommand() const
{
    const QStringList desktops = m_environment.currentDesktop.split(u':', Qt::SkipEmptyParts);
    if (desktops.contains(QStringLiteral("KDE"), Qt::CaseInsensitive)) {
        // Plasma 6 names its settings program systemsettings, Plasma 5 systemsettings5.
        for (const QString& name : {QStringLiteral("systemsettings"), QStringLiteral("systemsettings5")}) {
            if (const QString program = findProgram(name); !program.isEmpty())
                return {program, QStringLiteral("kcm_autostart")};
        }
    }
    if (desktops.contains(QStringLiteral("GNOME"), Qt::CaseInsensitive)) {
        if (const QString program = findProgram(QStringLiteral("gnome-tweaks")); !program.isEmpty())
            return {program};
    }
    return {};
}

bool XdgAutostart::canOpenSystemSettings() const
{
    return !settingsCommand().isEmpty() || QFileInfo(QFileInfo(entryPath()).path()).isDir();
}

void XdgAutostart::openSystemSettings()
{
    if (const QStringList command = settingsCommand(); !command.isEmpty()) {
        QProcess::startDetached(command.first(), command.mid(1));
        return;
    }
    QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(entryPath()).path()));
}

} // namespace qw
