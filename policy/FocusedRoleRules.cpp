#include "policy/FocusedRoleRules.h"

namespace qw::FocusedRoleRules {

bool isProtected(const QString& role, const QString& subrole, std::optional<bool> protectedContent)
{
    if (protectedContent.value_or(false))
        return true;
    const QString joined = (role + u' ' + subrole).toLower();
    return joined.contains(u"secure") || joined.contains(u"password");
}

} // namespace qw::FocusedRoleRules
