#pragma once

#include "engine/TranslationProvider.h"

#include <QCoroTask>
#include <QString>
#include <functional>

namespace qw {

class KeychainStore;
class SerialWorker;

// The model's keyring collaborators over the real credential store: every call runs on the
// keyring worker (a save or a deletion may wait for the desktop's prompt). The store and the
// worker must outlive the returned functions and every task they start.
struct KeyringOperations {
    static std::function<QCoro::Task<bool>(TranslationProvider)> presence(KeychainStore& store,
                                                                          SerialWorker& worker);
    static std::function<QCoro::Task<bool>(TranslationProvider, QString)> save(KeychainStore& store,
                                                                               SerialWorker& worker);
    static std::function<QCoro::Task<bool>(TranslationProvider)> remove(KeychainStore& store,
                                                                        SerialWorker& worker);
};

} // namespace qw
