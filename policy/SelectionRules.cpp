#include "policy/SelectionRules.h"

#include "policy/Letters.h"
#include "policy/TextPolicy.h"

namespace qw::SelectionRules {

bool shouldTranslate(const QString& selection)
{
    const QString trimmed = selection.trimmed();
    return TextPolicy::isAllowed(trimmed) && Letters::containsLetter(trimmed);
}

std::optional<QString> substring(const QString& text, qsizetype location, qsizetype length)
{
    const qsizetype n = text.size();
    // Written so that no sum can overflow, whatever the platform reported.
    if (location < 0 || length < 1 || location > n || length > n - location)
        return std::nullopt;
    return text.mid(location, length);
}

} // namespace qw::SelectionRules
