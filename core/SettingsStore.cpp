#include "core/SettingsStore.h"

#include <QMetaType>

namespace qw {

namespace {
template <class T> std::optional<T> typed(const std::optional<QVariant>& value, int typeId)
{
    if (!value || value->metaType().id() != typeId)
        return std::nullopt;
    return value->value<T>();
}
} // namespace

std::optional<bool> SettingsStore::boolValue(const QString& key) const
{
    return typed<bool>(object(key), QMetaType::Bool);
}

std::optional<qint64> SettingsStore::integer(const QString& key) const
{
    const auto value = object(key);
    if (!value)
        return std::nullopt;
    switch (value->metaType().id()) {
    case QMetaType::LongLong:
    case QMetaType::Int:
    case QMetaType::UInt:
        return value->toLongLong();
    default:
        return std::nullopt;
    }
}

std::optional<double> SettingsStore::doubleValue(const QString& key) const
{
    const auto value = object(key);
    if (!value)
        return std::nullopt;
    switch (value->metaType().id()) {
    case QMetaType::Double:
    case QMetaType::LongLong:
    case QMetaType::Int:
    case QMetaType::UInt:
        return value->toDouble();
    default:
        return std::nullopt;
    }
}

std::optional<QString> SettingsStore::string(const QString& key) const
{
    return typed<QString>(object(key), QMetaType::QString);
}

std::optional<QByteArray> SettingsStore::data(const QString& key) const
{
    return typed<QByteArray>(object(key), QMetaType::QByteArray);
}

std::optional<QStringList> SettingsStore::stringArray(const QString& key) const
{
    return typed<QStringList>(object(key), QMetaType::QStringList);
}

std::optional<QVariantMap> SettingsStore::dictionary(const QString& key) const
{
    return typed<QVariantMap>(object(key), QMetaType::QVariantMap);
}

bool SettingsStore::isStorable(const QVariant& value)
{
    switch (value.metaType().id()) {
    case QMetaType::Bool:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::Double:
    case QMetaType::QString:
    case QMetaType::QByteArray:
    case QMetaType::QStringList:
        return true;
    case QMetaType::QVariantMap: {
        const QVariantMap map = value.toMap();
        for (auto it = map.cbegin(); it != map.cend(); ++it) {
            if (!isStorable(it.value()))
                return false;
        }
        return true;
    }
    default:
        return false;
    }
}

} // namespace qw
