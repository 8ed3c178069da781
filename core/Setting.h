#pragma once

#include "core/SettingsStore.h"

#include <QString>
#include <QVariant>
#include <functional>
#include <optional>

namespace qw {

// One row of a settings table: where a setting is stored, how its stored object is read back
// (a decoder that also validates: anything it refuses reads as missing) and how a value is
// written. Reading and writing use the same row, so a setting's key and type exist once.
template <class T> struct Setting {
    QString key;
    T defaultValue;
    std::function<std::optional<T>(const QVariant&)> decode;
    std::function<QVariant(const T&)> encode;

    // The stored value if there is one that decodes, else none: the caller's fallback applies.
    std::optional<T> stored(const SettingsStore& store) const
    {
        const std::optional<QVariant> object = store.object(key);
        return object ? decode(*object) : std::nullopt;
    }
    T read(const SettingsStore& store) const { return stored(store).value_or(defaultValue); }
    SettingsStore::Change change(const T& value) const { return {key, encode(value)}; }
    SettingsStore::Change removal() const { return {key, std::nullopt}; }
};

// A setting kept once per item (a provider, an application) under the key `prefix` + item.
template <class T> struct SettingFamily {
    QString prefix;
    T defaultValue;
    std::function<std::optional<T>(const QVariant&)> decode;
    std::function<QVariant(const T&)> encode;

    Setting<T> operator()(const QString& item) const { return {prefix + item, defaultValue, decode, encode}; }
    bool owns(const QString& key) const { return key.startsWith(prefix); }
};

namespace SettingCodec {

// A stored object of exactly the storage type `Stored`; no conversions.
template <class Stored> std::optional<Stored> exactly(const QVariant& object)
{
    if (object.metaType() != QMetaType::fromType<Stored>())
        return std::nullopt;
    return object.value<Stored>();
}

// Any stored integer type, as the store's `integer` reads it.
inline std::optional<qint64> integer(const QVariant& object)
{
    switch (object.metaType().id()) {
    case QMetaType::LongLong:
    case QMetaType::Int:
    case QMetaType::UInt:
        return object.toLongLong();
    default:
        return std::nullopt;
    }
}

inline Setting<bool> boolean(QString key, bool defaultValue)
{
    return {std::move(key), defaultValue, &exactly<bool>, [](const bool& value) {
                return QVariant(value);
            }};
}

inline SettingFamily<bool> booleanFamily(QString prefix)
{
    return {std::move(prefix), false, &exactly<bool>, [](const bool& value) {
                return QVariant(value);
            }};
}

inline SettingFamily<QString> stringFamily(QString prefix)
{
    return {std::move(prefix), QString(), &exactly<QString>, [](const QString& value) {
                return QVariant(value);
            }};
}

// A value stored as its raw string; `fromRaw` refuses what it does not know.
template <class T>
Setting<T> rawString(QString key, T defaultValue, std::function<std::optional<T>(const QString&)> fromRaw)
{
    return {std::move(key), defaultValue,
            [fromRaw](const QVariant& object) -> std::optional<T> {
                const std::optional<QString> raw = exactly<QString>(object);
                return raw ? fromRaw(*raw) : std::nullopt;
            },
            [](const T& value) {
                return QVariant(rawValue(value));
            }};
}

} // namespace SettingCodec

} // namespace qw
