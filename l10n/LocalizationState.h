#pragma once

#include "l10n/InterfaceLanguage.h"

#include <mutex>

namespace qw {

// The process-wide current interface language. Lookups may come from any thread; the lock is
// held only while the value is copied in or out.
class LocalizationState {
public:
    static LocalizationState& shared();

    InterfaceLanguage language() const;
    // The shell sets the stored language once at start-up, before the first lookup that
    // matters, and again whenever the user changes it.
    void setLanguage(InterfaceLanguage language);

private:
    LocalizationState() = default;
    mutable std::mutex m_mutex;
    InterfaceLanguage m_language = InterfaceLanguage::system;
};

} // namespace qw
