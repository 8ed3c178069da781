#include "tests/app/PrivateKeyringSession.h"

#include "tests/support/AsyncTestHelpers.h"

#include <QDBusConnectionInterface>
#include <QDir>
#include <QFile>
#include <QUuid>

namespace qw::test {

namespace {

// A session bus as the desktop's, minus every service directory: a name nobody owns stays
// unowned instead of starting the user's keyring.
const char busConfiguration[] = R"(<busconfig>
  <type>session</type>
  <listen>unix:dir=%1</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
)";

} // namespace

PrivateKeyringSession::PrivateKeyringSession(Keyring keyring)
    : m_connectionName(QStringLiteral("private-keyring-") + QUuid::createUuid().toString(QUuid::Id128))
{
    m_ready = m_directory.isValid() && startBus() && startKeyring(keyring);
}

PrivateKeyringSession::~PrivateKeyringSession()
{
    QDBusConnection::disconnectFromBus(m_connectionName);
    for (QProcess* process : {&m_keyring, &m_bus}) {
        if (process->state() == QProcess::NotRunning)
            continue;
        process->terminate();
        if (!process->waitForFinished(5000))
            process->kill();
        process->waitForFinished(5000);
    }
}

QDBusConnection PrivateKeyringSession::connection() const
{
    return QDBusConnection(m_connectionName);
}

bool PrivateKeyringSession::startBus()
{
    const QString configPath = m_directory.filePath(QStringLiteral("bus.conf"));
    QFile config(configPath);
    if (!config.open(QIODevice::WriteOnly))
        return false;
    config.write(QString::fromUtf8(busConfiguration).arg(m_directory.path()).toUtf8());
    config.close();

    m_bus.start(QStringLiteral("dbus-daemon"),
                {QStringLiteral("--config-file=") + configPath, QStringLiteral("--nofork"),
                 QStringLiteral("--print-address=1")});
    if (!m_bus.waitForStarted(5000))
        return false;
    // The address is the daemon's first line; it prints it once it listens.
    if (!pumpUntil([this] { return m_bus.canReadLine() || m_bus.state() == QProcess::NotRunning; }))
        return false;
    const QString address = QString::fromUtf8(m_bus.readLine().trimmed());
    if (address.isEmpty())
        return false;

    const QString home = m_directory.filePath(QStringLiteral("home"));
    const QString runtime = m_directory.filePath(QStringLiteral("runtime"));
    QDir().mkpath(home);
    QDir().mkpath(runtime);
    QFile::setPermissions(runtime, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    m_environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "XDG_SESSION_TYPE", "QW_TEST_KEYRING_PASSWORD",
                             "GNOME_KEYRING_CONTROL", "DBUS_SESSION_BUS_PID"})
        m_environment.remove(QString::fromLatin1(name));
    m_environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), address);
    m_environment.insert(QStringLiteral("HOME"), home);
    m_environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
    m_environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home + QStringLiteral("/.config"));
    m_environment.insert(QStringLiteral("XDG_DATA_HOME"), home + QStringLiteral("/.local/share"));
    m_environment.insert(QStringLiteral("GSETTINGS_BACKEND"), QStringLiteral("memory"));

    return QDBusConnection::connectToBus(address, m_connectionName).isConnected();
}

bool PrivateKeyringSession::startKeyring(Keyring keyring)
{
    if (keyring == Keyring::none)
        return true;
    QStringList arguments{QStringLiteral("--foreground"), QStringLiteral("--components=secrets")};
    if (keyring == Keyring::loggedIn)
        arguments << QStringLiteral("--unlock");
    m_keyring.setProcessEnvironment(m_environment);
    m_keyring.start(QStringLiteral("gnome-keyring-daemon"), arguments);
    if (!m_keyring.waitForStarted(5000))
        return false;
    // With --unlock the daemon reads the login password from its input, as PAM hands it over.
    if (keyring == Keyring::loggedIn)
        m_keyring.write(loginPassword);
    m_keyring.closeWriteChannel();
    QDBusConnectionInterface* bus = connection().interface();
    return pumpUntil([&] {
               return bus->isServiceRegistered(QStringLiteral("org.freedesktop.secrets")).value() ||
                      m_keyring.state() == QProcess::NotRunning;
           }) &&
           m_keyring.state() == QProcess::Running;
}

} // namespace qw::test
