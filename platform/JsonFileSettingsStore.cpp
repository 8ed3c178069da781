#include "platform/JsonFileSettingsStore.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QStandardPaths>

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
    if (type == u"double" && value.isDouble())
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

JsonFileSettingsStore::JsonFileSettingsStore(QString path) : m_path(std::move(path))
{
    load();
}

QString JsonFileSettingsStore::defaultPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/quillweave/settings.json");
}

void JsonFileSettingsStore::load()
{
    QFile file(m_path);
    if (!file.exists()) {
        m_loadOutcome = LoadOutcome::noFile;
        return;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        // Leave the file alone: it may be fine and only temporarily unreadable.
        m_loadOutcome = LoadOutcome::unreadable;
        return;
    }
    const QByteArray bytes = file.readAll();
    file.close();

    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &parseError);
    bool valid = parseError.error == QJsonParseError::NoError && document.isObject() &&
                 document.object().value(u"format").toString() == kFormat &&
                 document.object().value(u"values").isObject();
    QHash<QString, QVariant> values;
    if (valid) {
        const QJsonObject entries = document.object().value(u"values").toObject();
        for (auto it = entries.begin(); it != entries.end(); ++it) {
            auto value = decode(it.value());
            if (!value) {
                valid = false;
                break;
            }
            values.insert(it.key(), *value);
        }
    }
    if (!valid) {
        // Keep the damaged file for the user instead of overwriting it with defaults.
        const QString aside =
            m_path + QStringLiteral(".corrupt-") + QDateTime::currentDateTime().toString(u"yyyyMMdd-HHmmss");
        QFile::remove(aside);
        if (QFile::rename(m_path, aside))
            m_setAsidePath = aside;
        m_loadOutcome = LoadOutcome::corruptFileSetAside;
        return;
    }
    m_values = std::move(values);
    m_loadOutcome = LoadOutcome::loaded;
}

void JsonFileSettingsStore::write()
{
    if (m_loadOutcome == LoadOutcome::unreadable) {
        // Never replace a file whose content we could not read.
        m_lastWriteSucceeded = false;
        return;
    }
    QJsonObject entries;
    for (auto it = m_values.cbegin(); it != m_values.cend(); ++it)
        entries[it.key()] = encode(it.value());
    QJsonObject root;
    root[u"format"] = kFormat;
    root[u"version"] = kVersion;
    root[u"values"] = entries;

    QDir().mkpath(QFileInfo(m_path).absolutePath());
    QSaveFile file(m_path);
    m_lastWriteSucceeded = file.open(QIODevice::WriteOnly) &&
                           file.write(QJsonDocument(root).toJson(QJsonDocument::Indented)) >= 0 &&
                           file.commit();
}

std::optional<QVariant> JsonFileSettingsStore::object(const QString& key) const
{
    auto found = m_values.constFind(key);
    if (found == m_values.cend())
        return std::nullopt;
    return found.value();
}

void JsonFileSettingsStore::setObject(const QString& key, const QVariant& value)
{
    if (!isStorable(value))
        return;
    m_values.insert(key, value);
    write();
}

void JsonFileSettingsStore::remove(const QString& key)
{
    if (m_values.remove(key))
        write();
}

QStringList JsonFileSettingsStore::keys() const
{
    return m_values.keys();
}

} // namespace qw
