#pragma once

#include <QByteArray>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QVariantList>

namespace qw::test {

// Drives a keyring daemon directly, the way the desktop (screen lock, login, the keyring
// manager) would: lock a collection, unlock it with its password without any prompt, and read
// items as any other Secret Service client sees them.
class KeyringControl {
public:
    struct Item {
        QString label;
        QMap<QString, QString> attributes;
    };

    explicit KeyringControl(QDBusConnection bus = QDBusConnection::sessionBus()) : m_bus(std::move(bus)) {}

    QString defaultCollection() const;
    bool isLocked(const QString& collection) const;
    bool lock(const QString& collection) const;
    bool unlockWithPassword(const QString& collection, const QByteArray& password) const;
    // The unlocked items whose attributes include all of `attributes`.
    QList<Item> search(const QMap<QString, QString>& attributes) const;

private:
    QDBusMessage call(const QString& path, const QString& interface, const QString& method,
                      const QVariantList& arguments) const;
    QVariant property(const QString& path, const QString& interface, const QString& name) const;

    QDBusConnection m_bus;
};

} // namespace qw::test
