#pragma once

#include <QtGlobal>

namespace qw {

// Whether the desktop keyring can hold this program's keys, as `quillweave doctor` reports it:
// a Secret Service on the session bus, a default collection for new items, and whether that
// collection is unlocked (a locked one makes every background read fail until it is unlocked).
struct KeyringHealth {
    enum class State { noService, noDefaultCollection, locked, unlocked, failed };

    State state = State::noService;
    // The keyring status (SecretStatus) of a query that failed; 0 unless `failed`.
    qint32 status = 0;

    friend bool operator==(const KeyringHealth&, const KeyringHealth&) = default;
};

} // namespace qw
