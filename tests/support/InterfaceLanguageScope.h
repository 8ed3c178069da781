#pragma once

#include "l10n/LocalizationState.h"

namespace qw::test {

// The interface language is process-wide: a test that sets it puts the previous one back.
class InterfaceLanguageScope {
public:
    explicit InterfaceLanguageScope(InterfaceLanguage language)
        : m_previous(LocalizationState::shared().language())
    {
        LocalizationState::shared().setLanguage(language);
    }
    ~InterfaceLanguageScope() { LocalizationState::shared().setLanguage(m_previous); }
    InterfaceLanguageScope(const InterfaceLanguageScope&) = delete;
    InterfaceLanguageScope& operator=(const InterfaceLanguageScope&) = delete;

private:
    InterfaceLanguage m_previous;
};

} // namespace qw::test
