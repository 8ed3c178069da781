#pragma once

#include <QString>

namespace qw {

// What the settings show for a provider's key. Which state applies is decided by the model
// from the keyring's answers; this only names the states and their texts.
enum class CredentialState {
    missing,          // no key stored
    unread,           // stored, not read since launch
    accessible,       // read successfully
    approval,         // paused after a failed background read; needs explicit authorization
    cancelled,        // the user cancelled the keyring prompt
    lockedOrApproval, // the keyring is locked or needs approval
    failed,           // any other failure
};

// The detailed label, in the current interface language.
QString label(CredentialState state);
// The short authorization label, in the current interface language.
QString authorizationLabel(CredentialState state);

} // namespace qw
