#include "engine/KeychainCredentialLoader.h"

namespace qw {

CredentialLoader KeychainCredentialLoader::make(std::shared_ptr<KeychainStore> store,
                                                std::shared_ptr<SerialWorker> worker)
{
    // The coroutine gets its own copies of everything: a capturing coroutine lambda would read
    // its captures through the std::function, which may be gone before the load ends.
    return [store = std::move(store), worker = std::move(worker)](TranslationProvider provider,
                                                                  bool allowAuthentication) {
        return load(store, worker, provider, allowAuthentication);
    };
}

QCoro::Task<CredentialLoadResult> KeychainCredentialLoader::load(std::shared_ptr<KeychainStore> store,
                                                                 std::shared_ptr<SerialWorker> worker,
                                                                 TranslationProvider provider,
                                                                 bool allowAuthentication)
{
    // The store's result travels as an optional: a future's result type must be
    // default-constructible.
    const std::optional<KeychainStore::LoadResult> loaded = co_await worker->run(
        [store, provider, allowAuthentication]() -> std::optional<KeychainStore::LoadResult> {
            return store->load(provider, allowAuthentication);
        });
    if (!loaded)
        co_return CredentialLoadResult::failure({CredentialLoadFailure::Kind::other, 0});
    if (!loaded->isOk())
        co_return CredentialLoadResult::failure(
            {CredentialLoadFailure::Kind::accessError, loaded->error().status});
    co_return CredentialLoadResult::ok(loaded->value());
}

} // namespace qw
