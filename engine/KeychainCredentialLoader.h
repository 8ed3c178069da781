#pragma once

#include "core/SerialWorker.h"
#include "engine/CredentialLoader.h"
#include "engine/KeychainStore.h"

#include <memory>

namespace qw {

// The translation service's default way of loading keys: KeychainStore::load on a worker
// thread, because a read the user allowed to prompt waits for the user, and the main thread
// must never wait for anyone.
class KeychainCredentialLoader {
public:
    // The loader keeps the store and the worker alive for as long as any copy of it exists.
    static CredentialLoader make(std::shared_ptr<KeychainStore> store, std::shared_ptr<SerialWorker> worker);

    // One load, as the loader performs it.
    static QCoro::Task<CredentialLoadResult> load(std::shared_ptr<KeychainStore> store,
                                                  std::shared_ptr<SerialWorker> worker,
                                                  TranslationProvider provider, bool allowAuthentication);
};

} // namespace qw
