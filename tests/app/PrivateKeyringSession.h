#pragma once

#include <QDBusConnection>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>

namespace qw::test {

// A session of the test's own: a session bus on which nothing can be started on demand and,
// unless asked for none, a gnome-keyring with a data directory of its own on it. Whatever is
// done to it never reaches the user's keyring or the headless session's.
class PrivateKeyringSession {
public:
    enum class Keyring {
        none,     // no Secret Service at all
        fresh,    // a keyring that was never logged into: no collection behind "default"
        loggedIn, // as after logging in: a "login" collection, unlocked and the default
    };
    static constexpr char loginPassword[] = "quillweave-private";

    explicit PrivateKeyringSession(Keyring keyring);
    ~PrivateKeyringSession();

    PrivateKeyringSession(const PrivateKeyringSession&) = delete;
    PrivateKeyringSession& operator=(const PrivateKeyringSession&) = delete;

    // The bus is up and, if one was asked for, the keyring owns its name on it.
    bool isReady() const { return m_ready; }
    // For a program run in this session, without a display (so no prompt can appear).
    QProcessEnvironment environment() const { return m_environment; }
    QDBusConnection connection() const;

private:
    bool startBus();
    bool startKeyring(Keyring keyring);

    QTemporaryDir m_directory;
    QProcess m_bus;
    QProcess m_keyring;
    QProcessEnvironment m_environment;
    QString m_connectionName;
    bool m_ready = false;
};

} // namespace qw::test
