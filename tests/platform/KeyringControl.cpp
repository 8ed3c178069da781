#include "tests/platform/KeyringControl.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusVariant>

namespace qw::test {

namespace {

using StringMap = QMap<QString, QString>;

const QString serviceName = QStringLiteral("org.freedesktop.secrets");
const QString servicePath = QStringLiteral("/org/freedesktop/secrets");
const QString serviceInterface = QStringLiteral("org.freedesktop.Secret.Service");

} // namespace

QString KeyringControl::defaultCollection() const
{
    const QDBusMessage reply =
        call(servicePath, serviceInterface, QStringLiteral("ReadAlias"), {QStringLiteral("default")});
    const QString path = reply.arguments().value(0).value<QDBusObjectPath>().path();
    return path == u"/" ? QString() : path;
}

bool KeyringControl::isLocked(const QString& collection) const
{
    return property(collection, QStringLiteral("org.freedesktop.Secret.Collection"), QStringLiteral("Locked"))
        .toBool();
}

bool KeyringControl::lock(const QString& collection) const
{
    const QDBusMessage reply =
        call(servicePath, serviceInterface, QStringLiteral("Lock"),
             {QVariant::fromValue(QList<QDBusObjectPath>{QDBusObjectPath(collection)})});
    return reply.type() == QDBusMessage::ReplyMessage && isLocked(collection);
}

bool KeyringControl::unlockWithPassword(const QString& collection, const QByteArray& password) const
{
    // A plain session: the password only travels over the private test bus.
    const QDBusMessage session =
        call(servicePath, serviceInterface, QStringLiteral("OpenSession"),
             {QStringLiteral("plain"), QVariant::fromValue(QDBusVariant(QString()))});
    if (session.type() != QDBusMessage::ReplyMessage)
        return false;
    const QDBusObjectPath sessionPath = session.arguments().value(1).value<QDBusObjectPath>();
    QDBusArgument secret;
    secret.beginStructure();
    secret << sessionPath << QByteArray() << password << QStringLiteral("text/plain");
    secret.endStructure();
    const QDBusMessage reply =
        call(servicePath, QStringLiteral("org.gnome.keyring.InternalUnsupportedGuiltRiddenInterface"),
             QStringLiteral("UnlockWithMasterPassword"),
             {QVariant::fromValue(QDBusObjectPath(collection)), QVariant::fromValue(secret)});
    return reply.type() == QDBusMessage::ReplyMessage && !isLocked(collection);
}

QList<KeyringControl::Item> KeyringControl::search(const QMap<QString, QString>& attributes) const
{
    qDBusRegisterMetaType<StringMap>();
    const QDBusMessage reply =
        call(servicePath, serviceInterface, QStringLiteral("SearchItems"), {QVariant::fromValue(attributes)});
    QList<Item> items;
    for (const QDBusObjectPath& path : qdbus_cast<QList<QDBusObjectPath>>(reply.arguments().value(0))) {
        const QString itemInterface = QStringLiteral("org.freedesktop.Secret.Item");
        Item item;
        item.label = property(path.path(), itemInterface, QStringLiteral("Label")).toString();
        item.attributes =
            qdbus_cast<StringMap>(property(path.path(), itemInterface, QStringLiteral("Attributes")));
        items.append(item);
    }
    return items;
}

QDBusMessage KeyringControl::call(const QString& path, const QString& interface, const QString& method,
                                  const QVariantList& arguments) const
{
    QDBusMessage message = QDBusMessage::createMethodCall(serviceName, path, interface, method);
    message.setArguments(arguments);
    return m_bus.call(message, QDBus::Block, 5000);
}

QVariant KeyringControl::property(const QString& path, const QString& interface, const QString& name) const
{
    const QDBusMessage reply = call(path, QStringLiteral("org.freedesktop.DBus.Properties"),
                                    QStringLiteral("Get"), {interface, name});
    return reply.arguments().value(0).value<QDBusVariant>().variant();
}

} // namespace qw::test
