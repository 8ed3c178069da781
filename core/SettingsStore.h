#pragma once

#include "core/SettingsWriteResult.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantMap>
#include <optional>

namespace qw {

// The program's typed key-value settings. A stored object is one of: Boolean, integer,
// double, string, raw data, string array or dictionary. A typed read of a key that is missing
// or holds another type gives no value, and the caller applies its own fallback.
//
// Every write says whether it was kept. A write that fails changes nothing, so what a store
// answers is always what it holds; a store refuses at once what it could not read back as it
// was written.
class SettingsStore {
public:
    // Dictionaries inside dictionaries: far more than any setting needs, and well inside what
    // a settings file's JSON reader accepts.
    static constexpr int maximumDictionaryDepth = 100;

    // One change of a write: the value to store under `key`, or none to remove the key.
    struct Change {
        QString key;
        std::optional<QVariant> value;
    };

    virtual ~SettingsStore() = default;

    // The stored object, whatever its type.
    virtual std::optional<QVariant> object(const QString& key) const = 0;
    // Makes every change or none: settings that belong together (a consent and the endpoint
    // it was given for) are never half saved.
    [[nodiscard]] virtual SettingsWriteResult apply(const QList<Change>& changes) = 0;
    virtual QStringList keys() const = 0;

    [[nodiscard]] SettingsWriteResult setObject(const QString& key, const QVariant& value)
    {
        return apply({Change{key, value}});
    }
    [[nodiscard]] SettingsWriteResult remove(const QString& key)
    {
        return apply({Change{key, std::nullopt}});
    }

    bool contains(const QString& key) const { return object(key).has_value(); }

    std::optional<bool> boolValue(const QString& key) const;
    std::optional<qint64> integer(const QString& key) const;
    std::optional<double> doubleValue(const QString& key) const; // an integer reads as a double too
    std::optional<QString> string(const QString& key) const;
    std::optional<QByteArray> data(const QString& key) const;
    std::optional<QStringList> stringArray(const QString& key) const;
    std::optional<QVariantMap> dictionary(const QString& key) const;

    [[nodiscard]] SettingsWriteResult setBool(const QString& key, bool value)
    {
        return setObject(key, QVariant(value));
    }
    [[nodiscard]] SettingsWriteResult setInteger(const QString& key, qint64 value)
    {
        return setObject(key, QVariant(value));
    }
    [[nodiscard]] SettingsWriteResult setDouble(const QString& key, double value)
    {
        return setObject(key, QVariant(value));
    }
    [[nodiscard]] SettingsWriteResult setString(const QString& key, const QString& value)
    {
        return setObject(key, QVariant(value));
    }
    [[nodiscard]] SettingsWriteResult setData(const QString& key, const QByteArray& value)
    {
        return setObject(key, QVariant(value));
    }
    [[nodiscard]] SettingsWriteResult setStringArray(const QString& key, const QStringList& value)
    {
        return setObject(key, QVariant(value));
    }
    [[nodiscard]] SettingsWriteResult setDictionary(const QString& key, const QVariantMap& value)
    {
        return setObject(key, QVariant(value));
    }

    // Whether `value` is one of the storable types and reads back as it was: finite doubles
    // only, dictionaries checked deeply and at most `maximumDictionaryDepth` levels deep.
    static bool isStorable(const QVariant& value);
    // Whether every change's value is storable.
    static bool isStorable(const QList<Change>& changes);
};

} // namespace qw
