#pragma once

namespace qw {

// libdbus ends the process when one of its calls is misused, unless DBUS_FATAL_WARNINGS says
// otherwise. Qt makes such a call when a bus goes away under a connection it is setting up:
// its accessibility bridge, connecting while the session's accessibility bus restarts, waits
// on a call that was never sent. Told to warn instead, libdbus returns, Qt takes the call as
// failed and the program goes on. Call before anything talks D-Bus; a value already set is kept.
void keepDBusCheckFailuresNonFatal();

} // namespace qw
