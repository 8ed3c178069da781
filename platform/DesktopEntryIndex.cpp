#include "platform/DesktopEntryIndex.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSet>
#include <QStandardPaths>
#include <algorithm>

namespace qw {

namespace {

QString unescape(const QString& value)
{
    QString result;
    result.reserve(value.size());
    for (qsizetype i = 0; i < value.size(); ++i) {
        if (value.at(i) != u'\\' || i + 1 == value.size()) {
            result.append(value.at(i));
            continue;
        }
        const QChar next = value.at(++i);
        switch (next.unicode()) {
        case 's':
            result.append(u' ');
            break;
        case 'n':
            result.append(u'\n');
            break;
        case 't':
            result.append(u'\t');
            break;
        case 'r':
            result.append(u'\r');
            break;
        default:
            result.append(next);
            break;
        }
    }
    return result;
}

QStringList splitList(const QString& value)
{
    QStringList items = value.split(u';', Qt::SkipEmptyParts);
    for (QString& item : items)
        item = item.trimmed();
    return items;
}

// The program an Exec line starts, without arguments or an env prefix.
QString programOf(const QString& exec)
{
    QStringList words = QProcess::splitCommand(exec);
    while (!words.isEmpty() && (words.first() == u"env" || words.first().contains(u'=')))
        words.removeFirst();
    return words.isEmpty() ? QString() : QFileInfo(words.first()).fileName();
}

} // namespace

QString DesktopEntry::nameFor(const QString& localeName) const
{
    if (const auto it = localizedNames.constFind(localeName); it != localizedNames.constEnd())
        return *it;
    const QString language = localeName.section(u'_', 0, 0);
    if (const auto it = localizedNames.constFind(language); it != localizedNames.constEnd())
        return *it;
    return name;
}

DesktopEntryIndex::DesktopEntryIndex(QStringList applicationDirectories)
    : m_directories(std::move(applicationDirectories))
{
}

QStringList DesktopEntryIndex::defaultDirectories()
{
    QStringList directories;
    QString home = qEnvironmentVariable("XDG_DATA_HOME");
    if (home.isEmpty())
        home = QDir::homePath() + QStringLiteral("/.local/share");
    directories.append(home + QStringLiteral("/applications"));
    QString dataDirs = qEnvironmentVariable("XDG_DATA_DIRS");
    if (dataDirs.isEmpty())
        dataDirs = QStringLiteral("/usr/local/share:/usr/share");
    for (const QString& dir : dataDirs.split(u':', Qt::SkipEmptyParts))
        directories.append(dir + QStringLiteral("/applications"));
    directories.removeDuplicates();
    return directories;
}

std::optional<DesktopEntry> DesktopEntryIndex::parse(const QString& id, const QByteArray& content)
{
    DesktopEntry entry;
    entry.id = id;
    bool inMainGroup = false;
    bool sawMainGroup = false;
    QString type;
    for (const QByteArray& rawLine : content.split('\n')) {
        const QString line = QString::fromUtf8(rawLine).trimmed();
        if (line.isEmpty() || line.startsWith(u'#'))
            continue;
        if (line.startsWith(u'[')) {
            inMainGroup = line == u"[Desktop Entry]";
            sawMainGroup = sawMainGroup || inMainGroup;
            continue;
        }
        if (!inMainGroup)
            continue;
        const qsizetype equals = line.indexOf(u'=');
        if (equals <= 0)
            continue;
        const QString key = line.left(equals).trimmed();
        const QString value = unescape(line.mid(equals + 1).trimmed());
        if (key == u"Name")
            entry.name = value;
        else if (key.startsWith(u"Name[") && key.endsWith(u']') && !value.trimmed().isEmpty())
            // A blank translation would show the application without a name: Name stands in.
            entry.localizedNames.insert(key.mid(5, key.size() - 6).section(u'@', 0, 0), value);
        else if (key == u"Exec")
            entry.exec = value;
        else if (key == u"StartupWMClass")
            entry.startupWMClass = value;
        else if (key == u"MimeType")
            entry.mimeTypes = splitList(value);
        else if (key == u"Terminal")
            entry.terminal = value == u"true";
        else if (key == u"Hidden")
            entry.hidden = value == u"true";
        else if (key == u"NoDisplay")
            entry.noDisplay = value == u"true";
        else if (key == u"Icon")
            entry.icon = value;
        else if (key == u"Type")
            type = value;
    }
    if (!sawMainGroup || entry.name.trimmed().isEmpty() || (!type.isEmpty() && type != u"Application"))
        return std::nullopt;
    return entry;
}

void DesktopEntryIndex::refreshLocked() const
{
    QList<QDateTime> stamps;
    for (const QString& directory : m_directories)
        stamps.append(QFileInfo(directory).lastModified());
    // File times are coarse: a directory changed in the same tick as the last scan keeps its
    // time, so a directory changed shortly before that scan is read again.
    const bool recentlyChanged = std::any_of(stamps.cbegin(), stamps.cend(), [this](const QDateTime& stamp) {
        return stamp.isValid() && stamp.msecsTo(m_scannedAt) < 2000;
    });
    if (stamps == m_stamps && !m_stamps.isEmpty() && !recentlyChanged)
        return;
    m_stamps = stamps;
    m_scannedAt = QDateTime::currentDateTimeUtc();
    m_entries.clear();
    QSet<QString> seen;
    for (const QString& directory : m_directories) {
        const QDir root(directory);
        QDirIterator files(directory, {QStringLiteral("*.desktop")}, QDir::Files,
                           QDirIterator::Subdirectories);
        while (files.hasNext()) {
            const QString path = files.next();
            QString id = root.relativeFilePath(path);
            id.chop(int(QStringLiteral(".desktop").size()));
            id.replace(u'/', u'-');
            if (seen.contains(id))
                continue;
            seen.insert(id); // a user's entry (even a hidden one) shadows the system's
            QFile file(path);
            if (!file.open(QIODevice::ReadOnly))
                continue;
            if (auto entry = parse(id, file.read(1 << 20)); entry && !entry->hidden)
                m_entries.append(*entry);
        }
    }
}

std::optional<DesktopEntry> DesktopEntryIndex::entry(const QString& id) const
{
    std::lock_guard lock(m_mutex);
    refreshLocked();
    for (const DesktopEntry& entry : std::as_const(m_entries)) {
        if (entry.id == id)
            return entry;
    }
    return std::nullopt;
}

std::optional<DesktopEntry> DesktopEntryIndex::resolve(const WindowIdentity& window) const
{
    std::lock_guard lock(m_mutex);
    refreshLocked();
    auto find = [this](auto&& matches) -> std::optional<DesktopEntry> {
        for (const DesktopEntry& entry : std::as_const(m_entries)) {
            if (matches(entry))
                return entry;
        }
        return std::nullopt;
    };
    if (!window.gtkApplicationId.isEmpty()) {
        if (auto found = find([&](const DesktopEntry& e) { return e.id == window.gtkApplicationId; }))
            return found;
    }
    for (const QString& name : {window.wmInstance, window.wmClass}) {
        if (name.isEmpty())
            continue;
        if (auto found =
                find([&](const DesktopEntry& e) { return e.id.compare(name, Qt::CaseInsensitive) == 0; }))
            return found;
        if (auto found = find([&](const DesktopEntry& e) {
                return !e.startupWMClass.isEmpty() &&
                       e.startupWMClass.compare(name, Qt::CaseInsensitive) == 0;
            }))
            return found;
        if (auto found = find([&](const DesktopEntry& e) {
                return e.id.section(u'.', -1).compare(name, Qt::CaseInsensitive) == 0;
            }))
            return found;
    }
    if (!window.executable.isEmpty()) {
        const QString program = QFileInfo(window.executable).fileName();
        // Terminal entries name interpreters (python3, vim): a program written in Python is
        // not "Python".
        if (auto found =
                find([&](const DesktopEntry& e) { return !e.terminal && programOf(e.exec) == program; }))
            return found;
    }
    return std::nullopt;
}

QList<DesktopEntry> DesktopEntryIndex::entries() const
{
    std::lock_guard lock(m_mutex);
    refreshLocked();
    return m_entries;
}

QStringList DesktopEntryIndex::httpsHandlers() const
{
    std::lock_guard lock(m_mutex);
    refreshLocked();
    QStringList ids;
    for (const DesktopEntry& entry : std::as_const(m_entries)) {
        if (entry.mimeTypes.contains(QStringLiteral("x-scheme-handler/https")))
            ids.append(entry.id);
    }
    return ids;
}

} // namespace qw
