#include "core/SettingsStore.h"

#include <QMetaType>
#include <algorithm>
#include <cmath>

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

namespace {
// `depth` counts the dictionaries around `value`; the walk stops at the limit, so even a
// hostile nesting cannot exhaust the stack.
bool isStorableAt(const QVariant& value, int depth)
{
    switch (value.metaType().id()) {
    case QMetaType::Bool:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::QString:
    case QMetaType::QByteArray:
    case QMetaType::QStringList:
        return true;
    case QMetaType::Double:
        // JSON has no NaN or infinity: written, they would come back as null.
        return std::isfinite(value.toDouble());
    case QMetaType::QVariantMap: {
        if (depth >= SettingsStore::maximumDictionaryDepth)
            return false;
        const QVariantMap map = value.toMap();
        for (auto it = map.cbegin(); it != map.cend(); ++it) {
            if (!isStorableAt(it.value(), depth + 1))
                return false;
        }
        return true;
    }
    default:
        return false;
    }
}
} // namespace

bool SettingsStore::isStorable(const QVariant& value)
{
    return isStorableAt(value, 0);
}

bool SettingsStore::isStorable(const QList<Change>& changes)
{
    return std::all_of(changes.cbegin(), changes.cend(),
                       [](const Change& change) { return !change.value || isStorable(*change.value); });
}

} // namespace qw
