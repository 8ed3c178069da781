#include "platform/JsonFileSettingsStore.h"

#include "core/Clock.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStandardPaths>
#include <cerrno>
#include <cmath>
#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qw {

namespace {

const auto kFormat = QStringLiteral("quillweave-settings");
constexpr int kVersion = 1;

// JSON cannot tell an integer from a double or a string from raw data, so every value carries
// its type: {"type": "integer", "value": 5}.
QJsonObject encode(const QVariant& value)
{
    QJsonObject out;
    switch (value.metaType().id()) {
    case QMetaType::Bool:
        out[u"type"] = QStringLiteral("bool");
        out[u"value"] = value.toBool();
        break;
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
        out[u"type"] = QStringLiteral("integer");
        out[u"value"] = QString::number(value.toLongLong()); // exact beyond 2^53
        break;
    case QMetaType::Double:
        out[u"type"] = QStringLiteral("double");
        out[u"value"] = value.toDouble();
        break;
    case QMetaType::QString:
        out[u"type"] = QStringLiteral("string");
        out[u"value"] = value.toString();
        break;
    case QMetaType::QByteArray:
        out[u"type"] = QStringLiteral("data");
        out[u"value"] = QString::fromLatin1(value.toByteArray().toBase64());
        break;
    case QMetaType::QStringList:
        out[u"type"] = QStringLiteral("stringArray");
        out[u"value"] = QJsonArray::fromStringList(value.toStringList());
        break;
    case QMetaType::QVariantMap: {
        QJsonObject entries;
        const QVariantMap map = value.toMap();
        for (auto it = map.cbegin(); it != map.cend(); ++it)
            entries[it.key()] = encode(it.value());
        out[u"type"] = QStringLiteral("dictionary");
        out[u"value"] = entries;
        break;
    }
    default:
        break;
    }
    return out;
}

std::optional<QVariant> decode(const QJsonValue& json)
{
    if (!json.isObject())
        return std::nullopt;
    const QJsonObject object = json.toObject();
    const QString type = object.value(u"type").toString();
    const QJsonValue value = object.value(u"value");
    if (type == u"bool" && value.isBool())
        return QVariant(value.toBool());
    if (type == u"integer" && value.isString()) {
        bool ok = false;
        const qint64 number = value.toString().toLongLong(&ok);
        return ok ? std::optional<QVariant>(QVariant(number)) : std::nullopt;
    }
    if (type == u"double" && value.isDouble() && std::isfinite(value.toDouble()))
        return QVariant(value.toDouble());
    if (type == u"string" && value.isString())
        return QVariant(value.toString());
    if (type == u"data" && value.isString()) {
        auto decoded = QByteArray::fromBase64Encoding(value.toString().toLatin1(),
                                                      QByteArray::AbortOnBase64DecodingErrors);
        return decoded ? std::optional<QVariant>(QVariant(*decoded)) : std::nullopt;
    }
    if (type == u"stringArray" && value.isArray()) {
        QStringList list;
        for (const QJsonValue& item : value.toArray()) {
            if (!item.isString())
                return std::nullopt;
            list.append(item.toString());
        }
        return QVariant(list);
    }
    if (type == u"dictionary" && value.isObject()) {
        QVariantMap map;
        const QJsonObject entries = value.toObject();
        for (auto it = entries.begin(); it != entries.end(); ++it) {
            auto item = decode(it.value());
            if (!item)
                return std::nullopt;
            map.insert(it.key(), *item);
        }
        return QVariant(map);
    }
    return std::nullopt;
}

} // namespace

JsonFileSettingsStore::JsonFileSettingsStore(QString path, const Clock& clock) : m_path(std::move(path))
{
    load(clock);
}

QString JsonFileSettingsStore::defaultPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/quillweave/settings.json");
}

namespace {

// The values of a settings file's bytes; none when they are not a settings file.
std::optional<QHash<QString, QVariant>> parse(const QByteArray& bytes)
{
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &parseError);
    if (parseError.error != QJsonParseError::NoError || !document.isObject() ||
        document.object().value(u"format").toString() != kFormat ||
        !document.object().value(u"values").isObject())
        return std::nullopt;
    QHash<QString, QVariant> values;
    const QJsonObject entries = document.object().value(u"values").toObject();
    for (auto it = entries.begin(); it != entries.end(); ++it) {
        auto value = decode(it.value());
        if (!value)
            return std::nullopt;
        values.insert(it.key(), *value);
    }
    return values;
}

// A write goes to "<file>.partial-<pid>" beside the file and is renamed over it once complete.
// A writer killed in the middle leaves its partial file behind; the name says whose it was.
QString partialName(const QString& target)
{
    return target + QStringLiteral(".partial-");
}

// Removes the partial files of writers that are gone (a live one may be writing right now).
void removeLeftovers(const QString& target)
{
    const QFileInfo info(target);
    const QString prefix = QFileInfo(partialName(target)).fileName();
    const QDir folder = info.absoluteDir();
    for (const QString& name : folder.entryList({prefix + u'*'}, QDir::Files | QDir::Hidden)) {
        bool numeric = false;
        const pid_t writer = pid_t(name.mid(prefix.size()).toInt(&numeric));
        if (numeric && writer > 0 && ::kill(writer, 0) != 0 && errno == ESRCH)
            QFile::remove(folder.filePath(name));
    }
}

// Puts `bytes` in place of `target` in one rename after they reached the disk, so that the file
// is always the old or the new content. A file another program made read-only is not replaced.
// Returns why it failed; empty when it did not.
QString replaceAtomically(const QString& target, const QByteArray& bytes)
{
    const QFileInfo info(target);
    // A linked settings file (kept with the user's other configuration) stays a link.
    const QString resolved =
        info.isSymLink() && !info.canonicalFilePath().isEmpty() ? info.canonicalFilePath() : target;
    const QByteArray final = QFile::encodeName(resolved);
    struct stat existing = {};
    const bool exists = ::stat(final.constData(), &existing) == 0;
    if (exists && ::access(final.constData(), W_OK) != 0)
        return qt_error_string(errno);
    const QByteArray partial = QFile::encodeName(partialName(resolved) + QString::number(::getpid()));
    const int fd = ::open(partial.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0)
        return qt_error_string(errno);
    bool ok = !exists || ::fchmod(fd, existing.st_mode & 07777) == 0;
    for (qsizetype done = 0; ok && done < bytes.size();) {
        const ssize_t written = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (written < 0 && errno != EINTR)
            ok = false;
        else if (written > 0)
            done += written;
    }
    ok = ok && ::fsync(fd) == 0;
    int failure = ok ? 0 : errno;
    if (::close(fd) != 0 && ok) {
        ok = false;
        failure = errno;
    }
    if (ok && ::rename(partial.constData(), final.constData()) != 0) {
        ok = false;
        failure = errno;
    }
    if (ok)
        return {};
    ::unlink(partial.constData());
    return qt_error_string(failure);
}

enum class FileRead { missing, unreadable, read };

FileRead readFile(const QString& path, QByteArray& bytes)
{
    QFile file(path);
    if (!file.exists())
        return FileRead::missing;
    if (!file.open(QIODevice::ReadOnly))
        return FileRead::unreadable;
    bytes = file.readAll();
    return FileRead::read;
}

} // namespace

void JsonFileSettingsStore::load(const Clock& clock)
{
    removeLeftovers(m_path);
    QByteArray bytes;
    switch (readFile(m_path, bytes)) {
    case FileRead::missing:
        m_loadOutcome = LoadOutcome::noFile;
        return;
    case FileRead::unreadable:
        // Leave the file alone: it may be fine and only temporarily unreadable.
        m_loadOutcome = LoadOutcome::unreadable;
        return;
    case FileRead::read:
        break;
    }
    auto values = parse(bytes);
    if (!values) {
        // Keep the damaged file for the user instead of overwriting it with defaults. A file
        // that cannot be moved aside stays where it is and is never replaced.
        m_loadOutcome = setAside(clock) ? LoadOutcome::corruptFileSetAside : LoadOutcome::unreadable;
        return;
    }
    m_values = std::move(*values);
    m_lastKnownBytes = bytes;
    m_loadOutcome = LoadOutcome::loaded;
}

SettingsWriteResult JsonFileSettingsStore::catchUpWithFile()
{
    QByteArray bytes;
    switch (readFile(m_path, bytes)) {
    case FileRead::missing:
        // Removed behind our back: the next write puts what this program holds back.
        m_lastKnownBytes.reset();
        return SettingsWriteResult::ok();
    case FileRead::unreadable:
        return SettingsWriteResult::failed(SettingsWriteResult::Failure::unreadableFile, m_path);
    case FileRead::read:
        break;
    }
    if (m_lastKnownBytes == bytes)
        return SettingsWriteResult::ok();
    auto values = parse(bytes);
    if (!values)
        // Perhaps half saved by an editor, perhaps broken by hand: either way it is the user's.
        return SettingsWriteResult::failed(SettingsWriteResult::Failure::unreadableFile, m_path);
    m_values = std::move(*values);
    m_lastKnownBytes = bytes;
    return SettingsWriteResult::ok();
}

bool JsonFileSettingsStore::setAside(const Clock& clock)
{
    const QString stem = m_path + QStringLiteral(".corrupt-") + clock.now().toString(u"yyyyMMdd-HHmmss-zzz");
    // QFile::rename never replaces an existing file: a name already taken by an earlier copy
    // (two damaged starts within the same millisecond, or a clock set back) moves on to the
    // next counter.
    for (int attempt = 1; attempt <= 1000; ++attempt) {
        const QString candidate = attempt == 1 ? stem : stem + u'-' + QString::number(attempt);
        if (QFile::rename(m_path, candidate)) {
            m_setAsidePath = candidate;
            return true;
        }
        if (!QFileInfo::exists(candidate))
            return false;
    }
    return false;
}

SettingsWriteResult JsonFileSettingsStore::write(const QHash<QString, QVariant>& values)
{
    if (m_loadOutcome == LoadOutcome::unreadable)
        // Never replace a file whose content we could not read.
        return SettingsWriteResult::failed(SettingsWriteResult::Failure::unreadableFile, m_path);
    QJsonObject entries;
    for (auto it = values.cbegin(); it != values.cend(); ++it)
        entries[it.key()] = encode(it.value());
    QJsonObject root;
    root[u"format"] = kFormat;
    root[u"version"] = kVersion;
    root[u"values"] = entries;
    QByteArray bytes = QJsonDocument(root).toJson(QJsonDocument::Indented);
    // Qt's reader takes a U+FEFF at the start of a string or key for a byte-order mark and
    // drops it; written as an escape it comes back. Outside strings JSON is plain ASCII, so
    // every such sequence belongs to a string.
    bytes.replace("\xEF\xBB\xBF", "\\ufeff");

    // A failed mkpath shows as the write's own error just below.
    QDir().mkpath(QFileInfo(m_path).absolutePath());
    if (const QString failure = replaceAtomically(m_path, bytes); !failure.isEmpty())
        return SettingsWriteResult::failed(SettingsWriteResult::Failure::writeFailed, m_path, failure);
    m_lastKnownBytes = bytes;
    return SettingsWriteResult::ok();
}

std::optional<QVariant> JsonFileSettingsStore::object(const QString& key) const
{
    auto found = m_values.constFind(key);
    if (found == m_values.cend())
        return std::nullopt;
    return found.value();
}

SettingsWriteResult JsonFileSettingsStore::apply(const QList<Change>& changes)
{
    if (!isStorable(changes))
        return SettingsWriteResult::failed(SettingsWriteResult::Failure::notStorable);
    if (m_loadOutcome != LoadOutcome::unreadable) {
        if (SettingsWriteResult current = catchUpWithFile(); !current)
            return current;
    }
    // The changes go to a copy first: memory takes them only once the file holds them.
    QHash<QString, QVariant> values = m_values;
    bool changed = false;
    for (const Change& change : changes) {
        if (change.value) {
            values.insert(change.key, *change.value);
            changed = true;
        } else if (values.remove(change.key)) {
            changed = true;
        }
    }
    if (!changed)
        return SettingsWriteResult::ok();
    SettingsWriteResult written = write(values);
    if (written)
        m_values = std::move(values);
    return written;
}

QStringList JsonFileSettingsStore::keys() const
{
    return m_values.keys();
}

} // namespace qw
