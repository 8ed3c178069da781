#pragma once

#include <QString>

namespace qw {

// The program's reverse-DNS id. The desktop knows the program by it: its keyring items carry
// it as their "service" attribute, so that the keyring manager groups them under this program.
inline QString applicationId()
{
    return QStringLiteral("org.quillweave.Quillweave");
}

} // namespace qw
