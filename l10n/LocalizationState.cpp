#include "l10n/LocalizationState.h"

namespace qw {

LocalizationState& LocalizationState::shared()
{
    static LocalizationState state;
    return state;
}

InterfaceLanguage LocalizationState::language() const
{
    std::lock_guard lock(m_mutex);
    return m_language;
}

void LocalizationState::setLanguage(InterfaceLanguage language)
{
    std::lock_guard lock(m_mutex);
    m_language = language;
}

} // namespace qw
