#include "policy/TranslationFlowRules.h"

#include "policy/Letters.h"
#include "policy/TextPolicy.h"

namespace qw::TranslationFlowRules {

bool shouldSchedule(const QString& source, std::optional<qsizetype> selectedLength)
{
    if (selectedLength && *selectedLength != 0)
        return false;
    if (!TextPolicy::isAllowed(source))
        return false;
    return Letters::containsLetter(source);
}

} // namespace qw::TranslationFlowRules
