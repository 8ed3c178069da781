#pragma once

#include "engine/ProviderConfiguration.h"

#include <QByteArray>
#include <map>
#include <optional>

namespace qw {

using ProviderConfigurations = std::map<TranslationProvider, ProviderConfiguration>;

// The stored form of all provider configurations: one JSON array, in the providers' declared
// order. The settings table keeps it under its key.
class ProviderConfigurationStore {
public:
    // Every provider's default configuration.
    static ProviderConfigurations defaults();
    // The stored entries over the defaults, or none when the array does not decode as a whole:
    // one bad entry discards them all, and the caller keeps the defaults (the stored value stays
    // in place until the next save overwrites it).
    static std::optional<ProviderConfigurations> decode(const QByteArray& stored);
    static QByteArray encode(const ProviderConfigurations& configurations);
};

} // namespace qw
