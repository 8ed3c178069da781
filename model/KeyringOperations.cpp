#include "model/KeyringOperations.h"

#include "core/SerialWorker.h"
#include "engine/KeychainStore.h"

namespace qw {

namespace {

// Plain coroutines taking everything by value: a coroutine lambda's captures would die with
// the std::function that holds it, while the task may still be running.
QCoro::Task<bool> containsOnWorker(KeychainStore* store, SerialWorker* worker, TranslationProvider provider)
{
    auto contains = [store, provider] {
        return store->contains(provider);
    };
    co_return co_await worker->run(contains);
}

QCoro::Task<bool> saveOnWorker(KeychainStore* store, SerialWorker* worker, TranslationProvider provider,
                               QString key)
{
    auto save = [store, provider, key] {
        return store->save(key, provider);
    };
    co_return co_await worker->run(save);
}

QCoro::Task<bool> removeOnWorker(KeychainStore* store, SerialWorker* worker, TranslationProvider provider)
{
    auto removeKey = [store, provider] {
        return store->remove(provider);
    };
    co_return co_await worker->run(removeKey);
}

} // namespace

std::function<QCoro::Task<bool>(TranslationProvider)> KeyringOperations::presence(KeychainStore& store,
                                                                                  SerialWorker& worker)
{
    return [store = &store, worker = &worker](TranslationProvider provider) {
        return containsOnWorker(store, worker, provider);
    };
}

std::function<QCoro::Task<bool>(TranslationProvider, QString)> KeyringOperations::save(KeychainStore& store,
                                                                                       SerialWorker& worker)
{
    return [store = &store, worker = &worker](TranslationProvider provider, QString key) {
        return saveOnWorker(store, worker, provider, std::move(key));
    };
}

std::function<QCoro::Task<bool>(TranslationProvider)> KeyringOperations::remove(KeychainStore& store,
                                                                                SerialWorker& worker)
{
    return [store = &store, worker = &worker](TranslationProvider provider) {
        return removeOnWorker(store, worker, provider);
    };
}

} // namespace qw
