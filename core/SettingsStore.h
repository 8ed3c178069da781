#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantMap>
#include <optional>

namespace qw {

// The program's typed key-value settings. A stored object is one of: Boolean, integer,
// double, string, raw data, string array or dictionary. A typed read of a key that is missing
// or holds another type gives no value, and the caller applies its own fallback.
class SettingsStore {
public:
    virtual ~SettingsStore() = default;

    // The stored object, whatever its type.
    virtual std::optional<QVariant> object(const QString& key) const = 0;
    virtual void setObject(const QString& key, const QVariant& value) = 0;
    virtual void remove(const QString& key) = 0;
    virtual QStringList keys() const = 0;

    bool contains(const QString& key) const { return object(key).has_value(); }

    std::optional<bool> boolValue(const QString& key) const;
    std::optional<qint64> integer(const QString& key) const;
    std::optional<double> doubleValue(const QString& key) const; // an integer reads as a double too
    std::optional<QString> string(const QString& key) const;
    std::optional<QByteArray> data(const QString& key) const;
    std::optional<QStringList> stringArray(const QString& key) const;
    std::optional<QVariantMap> dictionary(const QString& key) const;

    void setBool(const QString& key, bool value) { setObject(key, QVariant(value)); }
    void setInteger(const QString& key, qint64 value) { setObject(key, QVariant(value)); }
    void setDouble(const QString& key, double value) { setObject(key, QVariant(value)); }
    void setString(const QString& key, const QString& value) { setObject(key, QVariant(value)); }
    void setData(const QString& key, const QByteArray& value) { setObject(key, QVariant(value)); }
    void setStringArray(const QString& key, const QStringList& value) { setObject(key, QVariant(value)); }
    void setDictionary(const QString& key, const QVariantMap& value) { setObject(key, QVariant(value)); }

    // Whether `value` is one of the storable types (dictionaries checked deeply).
    static bool isStorable(const QVariant& value);
};

} // namespace qw
