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
    // The operation captures only trivially destructible values and the task is a named
    // local: g++ 12 may destroy temporaries of a co_await expression twice, which for a
    // captured shared_ptr means a use after free. `store` keeps the store alive meanwhile.
    // The result travels as an optional: a future's result type must be default-constructible.
    KeychainStore* const keychain = store.get();
    auto operation = [keychain, provider, allowAuthentication]() -> std::optional<KeychainStore::LoadResult> {
        return keychain->load(provider, allowAuthentication);
    };
    auto task = worker->run(operation);
    const std::optional<KeychainStore::LoadResult> loaded = co_await std::move(task);
    if (!loaded)
        co_return CredentialLoadResult::failure({CredentialLoadFailure::Kind::other, 0});
    if (!loaded->isOk())
        co_return CredentialLoadResult::failure(
            {CredentialLoadFailure::Kind::accessError, loaded->error().status});
    co_return CredentialLoadResult::ok(loaded->value());
}

} // namespace qw
