#include "platform/SecretServiceBackend.h"

#include <QList>

// The object-path calls are the only ones that report locked items separately from missing
// ones; libsecret marks them as subject to change although they have been stable for years.
#define SECRET_API_SUBJECT_TO_CHANGE
#include <libsecret/secret.h>
#include <memory>

namespace qw {

namespace {

struct GObjectUnref {
    void operator()(gpointer object) const { g_object_unref(object); }
};
using ServicePtr = std::unique_ptr<SecretService, GObjectUnref>;

struct SecretValueUnref {
    void operator()(SecretValue* value) const { secret_value_unref(value); }
};
using SecretValuePtr = std::unique_ptr<SecretValue, SecretValueUnref>;

const char defaultAlias[] = "default";

// The cancellable of the operation running on this thread: the helpers below are shared by
// every operation and each thread runs one at a time.
thread_local GCancellable* currentCancellable = nullptr;

// Gives one operation a main context of its own. The proxies libsecret creates subscribe to
// D-Bus signals in the calling thread's default context; on a thread without one that is the
// global context, which the main thread's event loop dispatches while this thread drops the
// proxies: signal delivery and destruction then race. Declare it before any proxy so that it
// outlives them all.
class OperationContext {
public:
    OperationContext() : m_context(g_main_context_new()) { g_main_context_push_thread_default(m_context); }
    ~OperationContext()
    {
        // Deliver what the dropped proxies still queued here before the context goes.
        while (g_main_context_iteration(m_context, FALSE)) {
        }
        g_main_context_pop_thread_default(m_context);
        g_main_context_unref(m_context);
    }
    OperationContext(const OperationContext&) = delete;
    OperationContext& operator=(const OperationContext&) = delete;

private:
    GMainContext* m_context;
};

qint32 statusFor(const GError* error)
{
    if (g_error_matches(error, G_IO_ERROR, G_IO_ERROR_CANCELLED))
        return SecretStatus::userCancelled;
    if (error->domain == G_DBUS_ERROR) {
        switch (error->code) {
        case G_DBUS_ERROR_SERVICE_UNKNOWN:
        case G_DBUS_ERROR_NAME_HAS_NO_OWNER:
        case G_DBUS_ERROR_NO_SERVER:
        case G_DBUS_ERROR_DISCONNECTED:
        case G_DBUS_ERROR_SPAWN_FAILED:
        case G_DBUS_ERROR_SPAWN_SERVICE_NOT_FOUND:
            return SecretStatus::serviceUnavailable;
        default:
            break;
        }
    }
    if (error->domain == G_IO_ERROR &&
        (error->code == G_IO_ERROR_NOT_FOUND || error->code == G_IO_ERROR_CLOSED ||
         error->code == G_IO_ERROR_CONNECTION_REFUSED))
        return SecretStatus::serviceUnavailable;
    if (g_error_matches(error, SECRET_ERROR, SECRET_ERROR_IS_LOCKED))
        return SecretStatus::interactionNotAllowed;
    if (g_error_matches(error, SECRET_ERROR, SECRET_ERROR_NO_SUCH_OBJECT))
        return SecretStatus::itemNotFound;
    return SecretStatus::internalFailure;
}

// The search attributes of an item. The table borrows the strings: keep the QByteArrays
// alive while it is used.
struct Attributes {
    explicit Attributes(const SecretItemKey& key)
        : service(key.service.toUtf8()), account(key.account.toUtf8()),
          table(g_hash_table_new(g_str_hash, g_str_equal))
    {
        g_hash_table_insert(table, const_cast<char*>("service"), service.data());
        g_hash_table_insert(table, const_cast<char*>("account"), account.data());
    }
    ~Attributes() { g_hash_table_unref(table); }
    Attributes(const Attributes&) = delete;
    Attributes& operator=(const Attributes&) = delete;

    QByteArray service;
    QByteArray account;
    GHashTable* table;
};

QList<QByteArray> toList(char** paths)
{
    QList<QByteArray> list;
    for (char** path = paths; path && *path; ++path)
        list.append(QByteArray(*path));
    return list;
}

// Opens a connection to the service for one operation. A fresh proxy each time keeps no
// cached lock state between operations (the lock changes behind our back) and belongs to the
// calling thread only.
Result<ServicePtr, qint32> openService()
{
    g_autoptr(GError) error = nullptr;
    SecretService* service = secret_service_open_sync(SECRET_TYPE_SERVICE, nullptr, SECRET_SERVICE_NONE,
                                                      currentCancellable, &error);
    if (!service)
        return Result<ServicePtr, qint32>::failure(g_error_matches(error, G_IO_ERROR, G_IO_ERROR_CANCELLED)
                                                       ? SecretStatus::userCancelled
                                                       : SecretStatus::serviceUnavailable);
    ServicePtr owned(service);
    // A proxy is created even when nobody owns the name (and activation failed).
    g_autofree char* owner = g_dbus_proxy_get_name_owner(G_DBUS_PROXY(service));
    if (!owner)
        return Result<ServicePtr, qint32>::failure(SecretStatus::serviceUnavailable);
    return Result<ServicePtr, qint32>::ok(std::move(owned));
}

// The default collection's path, or an empty array when the keyring has none.
Result<QByteArray, qint32> defaultCollection(SecretService* service)
{
    g_autoptr(GError) error = nullptr;
    g_autofree char* path =
        secret_service_read_alias_dbus_path_sync(service, defaultAlias, currentCancellable, &error);
    if (error)
        return Result<QByteArray, qint32>::failure(statusFor(error));
    return Result<QByteArray, qint32>::ok(path ? QByteArray(path) : QByteArray());
}

Result<bool, qint32> isLocked(SecretService* service, const QByteArray& collectionPath)
{
    g_autoptr(GError) error = nullptr;
    g_autoptr(GVariant) reply = g_dbus_connection_call_sync(
        g_dbus_proxy_get_connection(G_DBUS_PROXY(service)), g_dbus_proxy_get_name(G_DBUS_PROXY(service)),
        collectionPath.constData(), "org.freedesktop.DBus.Properties", "Get",
        g_variant_new("(ss)", "org.freedesktop.Secret.Collection", "Locked"), G_VARIANT_TYPE("(v)"),
        G_DBUS_CALL_FLAGS_NONE, 5000, currentCancellable, &error);
    if (!reply)
        return Result<bool, qint32>::failure(statusFor(error));
    g_autoptr(GVariant) value = nullptr;
    g_variant_get(reply, "(v)", &value);
    if (!g_variant_is_of_type(value, G_VARIANT_TYPE_BOOLEAN))
        return Result<bool, qint32>::failure(SecretStatus::internalFailure);
    return Result<bool, qint32>::ok(g_variant_get_boolean(value));
}

// Unlocks the objects through the service's prompt; blocks until the user answered.
qint32 unlock(SecretService* service, const QList<QByteArray>& paths)
{
    std::vector<const char*> raw;
    for (const QByteArray& path : paths)
        raw.push_back(path.constData());
    raw.push_back(nullptr);
    g_autoptr(GError) error = nullptr;
    g_auto(GStrv) unlocked = nullptr;
    const gint count =
        secret_service_unlock_dbus_paths_sync(service, raw.data(), currentCancellable, &unlocked, &error);
    if (error) {
        // A cancelled call dismisses its prompt with a message of its own; the program may be
        // about to end, and a prompt left on the screen would ask for a password for nobody.
        if (g_error_matches(error, G_IO_ERROR, G_IO_ERROR_CANCELLED))
            g_dbus_connection_flush_sync(g_dbus_proxy_get_connection(G_DBUS_PROXY(service)), nullptr,
                                         nullptr);
        const qint32 status = statusFor(error);
        return status == SecretStatus::userCancelled || status == SecretStatus::serviceUnavailable
                   ? status
                   : SecretStatus::authorizationFailed;
    }
    // A dismissed prompt ends without an error and without unlocking anything.
    if (count <= 0)
        return SecretStatus::userCancelled;
    return SecretStatus::success;
}

struct Search {
    QList<QByteArray> unlocked;
    QList<QByteArray> locked;
};

Result<Search, qint32> search(SecretService* service, const SecretItemKey& key)
{
    const Attributes attributes(key);
    g_autoptr(GError) error = nullptr;
    g_auto(GStrv) unlocked = nullptr;
    g_auto(GStrv) locked = nullptr;
    if (!secret_service_search_for_dbus_paths_sync(service, nullptr, attributes.table, currentCancellable,
                                                   &unlocked, &locked, &error))
        return Result<Search, qint32>::failure(statusFor(error));
    return Result<Search, qint32>::ok(Search{toList(unlocked), toList(locked)});
}

// The unlocked items of the key. Silent: itemNotFound only when the keyring can positively
// tell; an item or a default collection that is locked gives interactionNotAllowed. May
// prompt: unlocks what stands in the way first.
Result<QList<QByteArray>, qint32> locate(SecretService* service, const SecretItemKey& key,
                                         SecretAccess access)
{
    using Located = Result<QList<QByteArray>, qint32>;
    auto found = search(service, key);
    if (!found.isOk())
        return Located::failure(found.error());
    if (!found.value().unlocked.isEmpty() &&
        (access == SecretAccess::silent || found.value().locked.isEmpty()))
        return Located::ok(found.value().unlocked);

    QList<QByteArray> toUnlock = found.value().locked;
    if (toUnlock.isEmpty()) {
        const auto collection = defaultCollection(service);
        if (!collection.isOk())
            return Located::failure(collection.error());
        if (!collection.value().isEmpty()) {
            const auto locked = isLocked(service, collection.value());
            if (!locked.isOk())
                return Located::failure(locked.error());
            if (locked.value())
                toUnlock.append(collection.value());
        }
    }
    if (toUnlock.isEmpty())
        return Located::failure(SecretStatus::itemNotFound);
    if (access == SecretAccess::silent)
        return Located::failure(SecretStatus::interactionNotAllowed);

    if (const qint32 status = unlock(service, toUnlock); status != SecretStatus::success)
        return Located::failure(status);
    found = search(service, key);
    if (!found.isOk())
        return Located::failure(found.error());
    if (found.value().unlocked.isEmpty())
        return Located::failure(found.value().locked.isEmpty() ? SecretStatus::itemNotFound
                                                               : SecretStatus::userCancelled);
    return Located::ok(found.value().unlocked);
}

// The collection new items go to: the default one, created on a keyring that has none yet
// (the service asks the user for its password).
Result<QByteArray, qint32> collectionForNewItems(SecretService* service)
{
    auto collection = defaultCollection(service);
    if (!collection.isOk() || !collection.value().isEmpty())
        return collection;
    g_autoptr(GHashTable) properties = g_hash_table_new_full(
        g_str_hash, g_str_equal, nullptr, reinterpret_cast<GDestroyNotify>(g_variant_unref));
    g_hash_table_insert(properties, const_cast<char*>("org.freedesktop.Secret.Collection.Label"),
                        g_variant_ref_sink(g_variant_new_string("Default keyring")));
    g_autoptr(GError) error = nullptr;
    g_autofree char* path = secret_service_create_collection_dbus_path_sync(
        service, properties, defaultAlias, SECRET_COLLECTION_CREATE_NONE, currentCancellable, &error);
    if (!path)
        return Result<QByteArray, qint32>::failure(error ? statusFor(error) : SecretStatus::userCancelled);
    return Result<QByteArray, qint32>::ok(QByteArray(path));
}

SecretValuePtr secretValue(const QByteArray& secret)
{
    return SecretValuePtr(secret_value_new(secret.constData(), secret.size(), "text/plain"));
}

} // namespace

// Registers a cancellable for one operation, so that interrupt() can reach it; refused (and
// cancelled at once) after an interruption.
class SecretServiceBackend::Operation {
public:
    explicit Operation(SecretServiceBackend& backend) : m_backend(backend), m_cancellable(g_cancellable_new())
    {
        std::lock_guard lock(m_backend.m_mutex);
        if (m_backend.m_interrupted)
            g_cancellable_cancel(m_cancellable);
        m_backend.m_running.insert(m_cancellable);
        currentCancellable = m_cancellable;
    }
    ~Operation()
    {
        currentCancellable = nullptr;
        {
            std::lock_guard lock(m_backend.m_mutex);
            m_backend.m_running.erase(m_cancellable);
        }
        g_object_unref(m_cancellable);
    }
    Operation(const Operation&) = delete;
    Operation& operator=(const Operation&) = delete;

private:
    SecretServiceBackend& m_backend;
    GCancellable* m_cancellable;
};

void SecretServiceBackend::interrupt()
{
    std::lock_guard lock(m_mutex);
    m_interrupted = true;
    if (m_running.empty())
        return;
    // libsecret dismisses an open prompt when its call is cancelled, from this thread and on
    // the shared session connection. The program may end right after: the dismissal has to
    // leave now, or the prompt would stay on the screen asking for a password for nobody.
    for (GCancellable* cancellable : m_running)
        g_cancellable_cancel(cancellable);
    if (GDBusConnection* session = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr)) {
        g_dbus_connection_flush_sync(session, nullptr, nullptr);
        g_object_unref(session);
    }
}

qint32 SecretServiceBackend::find(const SecretItemKey& key, SecretAccess access)
{
    const OperationContext context;
    const Operation operation(*this);
    const auto service = openService();
    if (!service.isOk())
        return service.error();
    const auto located = locate(service.value().get(), key, access);
    return located.isOk() ? SecretStatus::success : located.error();
}

Result<QByteArray, qint32> SecretServiceBackend::read(const SecretItemKey& key, SecretAccess access)
{
    const OperationContext context;
    const Operation operation(*this);
    using Read = Result<QByteArray, qint32>;
    const auto service = openService();
    if (!service.isOk())
        return Read::failure(service.error());
    const auto located = locate(service.value().get(), key, access);
    if (!located.isOk())
        return Read::failure(located.error());
    g_autoptr(GError) error = nullptr;
    const SecretValuePtr value(secret_service_get_secret_for_dbus_path_sync(
        service.value().get(), located.value().first().constData(), currentCancellable, &error));
    if (!value)
        return Read::failure(error ? statusFor(error) : SecretStatus::itemNotFound);
    gsize length = 0;
    const gchar* data = secret_value_get(value.get(), &length);
    return Read::ok(QByteArray(data, qsizetype(length)));
}

qint32 SecretServiceBackend::add(const SecretItemKey& key, const QString& label, const QByteArray& secret)
{
    const OperationContext context;
    const Operation operation(*this);
    const auto service = openService();
    if (!service.isOk())
        return service.error();
    SecretService* const connection = service.value().get();
    const auto existing = locate(connection, key, SecretAccess::mayPrompt);
    if (existing.isOk())
        return SecretStatus::duplicateItem;
    if (existing.error() != SecretStatus::itemNotFound)
        return existing.error();

    const auto collection = collectionForNewItems(connection);
    if (!collection.isOk())
        return collection.error();
    const auto locked = isLocked(connection, collection.value());
    if (!locked.isOk())
        return locked.error();
    if (locked.value()) {
        if (const qint32 status = unlock(connection, {collection.value()}); status != SecretStatus::success)
            return status;
    }

    const Attributes attributes(key);
    g_autoptr(GHashTable) properties = g_hash_table_new_full(
        g_str_hash, g_str_equal, nullptr, reinterpret_cast<GDestroyNotify>(g_variant_unref));
    const QByteArray labelText = label.toUtf8();
    g_hash_table_insert(properties, const_cast<char*>("org.freedesktop.Secret.Item.Label"),
                        g_variant_ref_sink(g_variant_new_string(labelText.constData())));
    GVariantBuilder builder;
    g_variant_builder_init(&builder, G_VARIANT_TYPE("a{ss}"));
    g_variant_builder_add(&builder, "{ss}", "service", attributes.service.constData());
    g_variant_builder_add(&builder, "{ss}", "account", attributes.account.constData());
    g_hash_table_insert(properties, const_cast<char*>("org.freedesktop.Secret.Item.Attributes"),
                        g_variant_ref_sink(g_variant_builder_end(&builder)));

    const SecretValuePtr value = secretValue(secret);
    g_autoptr(GError) error = nullptr;
    g_autofree char* item = secret_service_create_item_dbus_path_sync(
        connection, collection.value().constData(), properties, value.get(), SECRET_ITEM_CREATE_NONE,
        currentCancellable, &error);
    if (!item)
        return error ? statusFor(error) : SecretStatus::userCancelled;
    return SecretStatus::success;
}

qint32 SecretServiceBackend::update(const SecretItemKey& key, const QByteArray& secret)
{
    const OperationContext context;
    const Operation operation(*this);
    const auto service = openService();
    if (!service.isOk())
        return service.error();
    const auto located = locate(service.value().get(), key, SecretAccess::mayPrompt);
    if (!located.isOk())
        return located.error();
    const SecretValuePtr value = secretValue(secret);
    // Every copy gets the new key, so that no search can find the old one first.
    for (const QByteArray& path : located.value()) {
        g_autoptr(GError) error = nullptr;
        g_autoptr(SecretItem) item = secret_item_new_for_dbus_path_sync(
            service.value().get(), path.constData(), SECRET_ITEM_NONE, currentCancellable, &error);
        if (!item)
            return statusFor(error);
        if (!secret_item_set_secret_sync(item, value.get(), currentCancellable, &error))
            return statusFor(error);
    }
    return SecretStatus::success;
}

qint32 SecretServiceBackend::remove(const SecretItemKey& key)
{
    const OperationContext context;
    const Operation operation(*this);
    const auto service = openService();
    if (!service.isOk())
        return service.error();
    const auto located = locate(service.value().get(), key, SecretAccess::mayPrompt);
    if (!located.isOk())
        return located.error();
    for (const QByteArray& path : located.value()) {
        g_autoptr(GError) error = nullptr;
        if (!secret_service_delete_item_dbus_path_sync(service.value().get(), path.constData(),
                                                       currentCancellable, &error))
            return statusFor(error);
    }
    return SecretStatus::success;
}

KeyringHealth SecretServiceBackend::health()
{
    const OperationContext context;
    const Operation operation(*this);
    auto failed = [](qint32 status) {
        if (status == SecretStatus::serviceUnavailable)
            return KeyringHealth{KeyringHealth::State::noService, 0};
        return KeyringHealth{KeyringHealth::State::failed, status};
    };
    const auto service = openService();
    if (!service.isOk())
        return failed(service.error());
    const auto collection = defaultCollection(service.value().get());
    if (!collection.isOk())
        return failed(collection.error());
    if (collection.value().isEmpty())
        return {KeyringHealth::State::noDefaultCollection, 0};
    const auto locked = isLocked(service.value().get(), collection.value());
    if (!locked.isOk())
        return failed(locked.error());
    return {locked.value() ? KeyringHealth::State::locked : KeyringHealth::State::unlocked, 0};
}

} // namespace qw
