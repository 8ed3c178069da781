#pragma once

#include "l10n/InterfaceLanguage.h"

#include <mutex>

namespace qw {

class SettingsStore;

// The process-wide current interface language. Lookups may come from any thread; the lock is
// held only while the value is copied in or out.
class LocalizationState {
public:
    static LocalizationState& shared();

    InterfaceLanguage language() const;
    void setLanguage(InterfaceLanguage language);

    // Takes the persisted "interfaceLanguage" (absent means `system`). Called once at start-up,
    // before the first lookup that matters.
    void loadPersisted(const SettingsStore& store);

private:
    LocalizationState() = default;
    mutable std::mutex m_mutex;
    InterfaceLanguage m_language = InterfaceLanguage::system;
};

} // namespace qw
