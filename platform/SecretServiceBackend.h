#pragma once

#include "engine/SecretBackend.h"
#include "platform/KeyringHealth.h"

#include <atomic>
#include <mutex>
#include <set>

typedef struct _GCancellable GCancellable;

namespace qw {

// The desktop keyring over the Secret Service (gnome-keyring, KWallet's bridge, ...), through
// libsecret's blocking calls: run it on a worker thread, never on the main thread.
//
// Items carry the attributes "service" and "account" and are created in the collection behind
// the "default" alias (created when a fresh keyring has none). Silent operations never unlock:
// they look at the search's locked results and at the default collection's Locked property,
// because a locked collection may hide its items from a search altogether.
//
// Every call can be cancelled: interrupt() (from any thread; the keyring worker's teardown
// calls it) dismisses an open unlock prompt, ends the calls in flight with userCancelled and
// refuses every later one, so that quitting never waits for the user to answer a prompt.
// The prompt is always dismissed, but libsecret 0.20 now and then loses the end of the
// dismissed prompt (a GLib critical about g_task_return_error) and that call never returns:
// whoever waits for it bounds the wait, as the keyring worker does at quit.
class SecretServiceBackend : public SecretBackend {
public:
    SecretServiceBackend() = default;
    SecretServiceBackend(const SecretServiceBackend&) = delete;
    SecretServiceBackend& operator=(const SecretServiceBackend&) = delete;

    void interrupt();

    qint32 find(const SecretItemKey& key, SecretAccess access) override;
    Result<QByteArray, qint32> read(const SecretItemKey& key, SecretAccess access) override;
    qint32 add(const SecretItemKey& key, const QString& label, const QByteArray& secret) override;
    qint32 update(const SecretItemKey& key, const QByteArray& secret) override;
    qint32 remove(const SecretItemKey& key) override;

    // Looks at the service and its default collection without unlocking or creating anything.
    KeyringHealth health();

    // One operation's cancellable, registered while the operation runs.
    class Operation;

private:
    std::mutex m_mutex;
    std::set<GCancellable*> m_running;
    bool m_interrupted = false;
};

} // namespace qw
