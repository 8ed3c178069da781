#pragma once

#include "core/SettingsStore.h"
#include "engine/ProviderConfiguration.h"

#include <map>
#include <optional>

namespace qw {

using ProviderConfigurations = std::map<TranslationProvider, ProviderConfiguration>;

// All provider configurations as one JSON array under "providerConfigurations.v04".
class ProviderConfigurationStore {
public:
    static constexpr QLatin1String key{"providerConfigurations.v04"};

    // Every provider's default configuration.
    static ProviderConfigurations defaults();
    // The stored array over the defaults, or none when it does not decode as a whole.
    static std::optional<ProviderConfigurations> decode(const QByteArray& stored);
    // The configurations as stored, in the providers' declared order.
    static QByteArray encode(const ProviderConfigurations& configurations);

    // Every provider's configuration: the stored one where there is one, the default otherwise.
    // A stored value that does not decode as a whole is ignored entirely (and left in place
    // until the next save overwrites it).
    static ProviderConfigurations load(const SettingsStore& defaults);
    // The configurations as stored, in the providers' declared order, for a write that must
    // carry other settings along (a consent withdrawn with the endpoint it was given for).
    static SettingsStore::Change change(const ProviderConfigurations& configurations);
    [[nodiscard]] static SettingsWriteResult save(const ProviderConfigurations& configurations,
                                                  SettingsStore& defaults);
};

} // namespace qw
