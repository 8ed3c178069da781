#pragma once

namespace qw {

// Whether a compositing manager runs on the X screen Qt shows windows on: it owns the
// _NET_WM_CM_S<screen> selection. Only then does a translucent window show what lies beneath it;
// without one its transparent pixels come out black. False on any other platform.
bool x11CompositorRunning();

} // namespace qw
