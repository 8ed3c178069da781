#include "platform/ChromiumLaunchOverrides.h"

#include "platform/ChromiumProcess.h"
#include "platform/DesktopEntryIndex.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QSet>

namespace qw {

namespace {

// Launchers that are scripts in front of the real binary, by the names Debian and the vendors
// install them under.
const QSet<QString>& chromiumLaunchers()
{
    static const QSet<QString> names{
        QStringLiteral("chromium"),           QStringLiteral("chromium-browser"),
        QStringLiteral("google-chrome"),      QStringLiteral("google-chrome-stable"),
        QStringLiteral("google-chrome-beta"), QStringLiteral("brave-browser"),
        QStringLiteral("microsoft-edge"),     QStringLiteral("microsoft-edge-stable"),
        QStringLiteral("vivaldi-stable")};
    return names;
}

struct Span {
    qsizetype start = -1;
    qsizetype end = -1; // past the word, its closing quote included
};

// The program's word in an Exec value: after a leading `env` and its VAR=value words; quoted
// words end at their closing quote. An empty span when there is no program.
Span programSpan(const QByteArray& exec)
{
    qsizetype at = 0;
    for (;;) {
        while (at < exec.size() && exec.at(at) == ' ')
            ++at;
        if (at >= exec.size())
            return {};
        qsizetype end = 0;
        if (exec.at(at) == '"') {
            end = at;
            do
                end = exec.indexOf('"', end + 1);
            while (end > 0 && exec.at(end - 1) == '\\');
            if (end < 0)
                return {};
            ++end;
        } else {
            end = exec.indexOf(' ', at);
            if (end < 0)
                end = exec.size();
        }
        const QByteArray word = exec.mid(at, end - at);
        if (word != "env" && (word.startsWith('"') || !word.contains('=')))
            return {at, end};
        at = end;
    }
}

QByteArray programOf(const QByteArray& exec)
{
    const Span span = programSpan(exec);
    QByteArray program = exec.mid(span.start, span.end - span.start);
    if (program.startsWith('"'))
        program = program.mid(1, program.size() - 2).replace("\\\"", "\"");
    return span.start < 0 ? QByteArray() : program;
}

QList<QByteArray> execValues(const QByteArray& entry)
{
    QList<QByteArray> values;
    for (const QByteArray& line : entry.split('\n')) {
        if (line.startsWith("Exec="))
            values.append(line.mid(5));
    }
    return values;
}

std::optional<QByteArray> readFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return file.readAll();
}

bool writeFile(const QString& path, const QByteArray& content)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size() && file.commit();
}

} // namespace

ChromiumLaunchOverrides::ChromiumLaunchOverrides(QStringList applicationDirectories, QStringList searchPath)
    : m_directories(std::move(applicationDirectories)), m_searchPath(std::move(searchPath))
{
}

ChromiumLaunchOverrides::ChromiumLaunchOverrides()
    : ChromiumLaunchOverrides(DesktopEntryIndex::defaultDirectories(),
                              qEnvironmentVariable("PATH").split(u':', Qt::SkipEmptyParts))
{
}

std::optional<QByteArray> ChromiumLaunchOverrides::withFlag(const QByteArray& entry, bool copiedFromSystem)
{
    const QByteArray flag = ChromiumProcess::rendererAccessibilityFlag.toLatin1();
    QList<QByteArray> lines = entry.split('\n');
    bool changed = false;
    for (QByteArray& line : lines) {
        if (!line.startsWith("Exec="))
            continue;
        const QByteArray exec = line.mid(5);
        if (exec.contains(flag))
            return std::nullopt;
        const qsizetype end = programSpan(exec).end;
        if (end < 0)
            continue;
        line = "Exec=" + exec.left(end) + ' ' + flag + exec.mid(end);
        changed = true;
    }
    const qsizetype header = lines.indexOf("[Desktop Entry]");
    if (!changed || header < 0)
        return std::nullopt;
    lines.insert(header + 1, markerKey + '=' + (copiedFromSystem ? "copy" : "flag"));
    return lines.join('\n');
}

std::optional<QByteArray> ChromiumLaunchOverrides::withoutFlag(const QByteArray& entry)
{
    QList<QByteArray> lines = entry.split('\n');
    const qsizetype marker = lines.indexOf(markerKey + "=copy") >= 0 ? lines.indexOf(markerKey + "=copy")
                                                                     : lines.indexOf(markerKey + "=flag");
    if (marker < 0)
        return std::nullopt;
    if (lines.at(marker).endsWith("=copy"))
        return QByteArray();
    lines.removeAt(marker);
    const QByteArray flag = ' ' + ChromiumProcess::rendererAccessibilityFlag.toLatin1();
    for (QByteArray& line : lines) {
        if (line.startsWith("Exec="))
            line.replace(flag, "");
    }
    return lines.join('\n');
}

bool ChromiumLaunchOverrides::launchesChromium(const QByteArray& entry) const
{
    const QList<QByteArray> execs = execValues(entry);
    if (execs.isEmpty())
        return false;
    const QString program = QString::fromUtf8(programOf(execs.first()));
    if (chromiumLaunchers().contains(QFileInfo(program).fileName()))
        return true;
    QString path = program;
    if (!QDir::isAbsolutePath(path)) {
        path.clear();
        for (const QString& directory : m_searchPath) {
            if (QFileInfo(directory + u'/' + program).isExecutable()) {
                path = directory + u'/' + program;
                break;
            }
        }
    }
    return ChromiumProcess::isChromiumProgram(QFileInfo(path).canonicalFilePath());
}

ChromiumLaunchOverrides::Result ChromiumLaunchOverrides::enable() const
{
    Result result;
    if (m_directories.isEmpty())
        return result;
    const QString own = m_directories.first();
    QSet<QString> seen;
    for (const QString& directory : m_directories) {
        const QStringList files = QDir(directory).entryList({QStringLiteral("*.desktop")}, QDir::Files);
        for (const QString& file : files) {
            if (seen.contains(file))
                continue; // an earlier directory's entry hides this one
            seen.insert(file);
            const auto content = readFile(directory + u'/' + file);
            if (!content || !launchesChromium(*content))
                continue;
            const auto flagged = withFlag(*content, directory != own);
            const QString id = file.chopped(8);
            if (!flagged) {
                if (content->contains(markerKey))
                    result.changed << id; // switched on before
                continue;
            }
            (writeFile(own + u'/' + file, *flagged) ? result.changed : result.failed) << id;
        }
    }
    return result;
}

ChromiumLaunchOverrides::Result ChromiumLaunchOverrides::disable() const
{
    Result result;
    if (m_directories.isEmpty())
        return result;
    const QString own = m_directories.first();
    for (const QString& file : QDir(own).entryList({QStringLiteral("*.desktop")}, QDir::Files)) {
        const QString path = own + u'/' + file;
        const auto content = readFile(path);
        const auto original = content ? withoutFlag(*content) : std::nullopt;
        if (!original)
            continue;
        const bool done = original->isEmpty() ? QFile::remove(path) : writeFile(path, *original);
        (done ? result.changed : result.failed) << file.chopped(8);
    }
    return result;
}

} // namespace qw
