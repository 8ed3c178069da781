#pragma once

#include <QString>
#include <optional>

namespace qw::FocusedRoleRules {

// Whether a focused element is a password-like field that must never be read: it says so
// itself (`protectedContent` true), or its role or subrole mentions "secure" or "password" in
// any case. `subrole` is empty when the element has none; `protectedContent` is absent when
// the element does not report it.
bool isProtected(const QString& role, const QString& subrole, std::optional<bool> protectedContent);

} // namespace qw::FocusedRoleRules
