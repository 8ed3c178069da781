#!/usr/bin/env bash
# Runs a command inside a private headless desktop: Xvfb with openbox, a session bus whose
# environment already has DISPLAY (services it starts, such as the accessibility bus and the
# keyring, inherit it), an unlocked gnome-keyring and the accessibility bus. Nothing of the
# user's own session is touched. Everything is stopped when the command ends.
set -euo pipefail

session_dir="$(mktemp -d /tmp/quillweave-session.XXXXXX)"
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    if [ -n "${DBUS_SESSION_BUS_PID:-}" ]; then kill "$DBUS_SESSION_BUS_PID" 2>/dev/null || true; fi
    pkill -f "gnome-keyring-daemon.*$session_dir" 2>/dev/null || true
    # GTK programs may have started a document portal with a FUSE mount under the runtime dir.
    fusermount -u "$session_dir/runtime/doc" 2>/dev/null || true
    rm -rf "$session_dir" 2>/dev/null || true
}
trap cleanup EXIT

# Let the X server pick a free display itself and tell us which: choosing one by looking for
# lock files races with another session starting at the same moment.
Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$session_dir/display" >"$session_dir/xvfb.log" 2>&1 &
pids+=($!)
for _ in $(seq 1 200); do
    if [ -s "$session_dir/display" ]; then break; fi
    sleep 0.05
done
display="$(head -n1 "$session_dir/display")"
if [ -z "$display" ]; then
    echo "headless-session: Xvfb did not start" >&2
    cat "$session_dir/xvfb.log" >&2
    exit 1
fi
export DISPLAY=":$display"
for _ in $(seq 1 100); do
    if xdpyinfo >/dev/null 2>&1; then break; fi
    sleep 0.05
done

export HOME="$session_dir/home"
export XDG_RUNTIME_DIR="$session_dir/runtime"
export XDG_CONFIG_HOME="$HOME/.config"
export XDG_DATA_HOME="$HOME/.local/share"
export XDG_CACHE_HOME="$HOME/.cache"
mkdir -p "$HOME" "$XDG_CONFIG_HOME" "$XDG_DATA_HOME" "$XDG_CACHE_HOME"
mkdir -m 700 -p "$XDG_RUNTIME_DIR"
export GSETTINGS_BACKEND=memory
export NO_AT_BRIDGE=0
export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1

eval "$(dbus-launch --sh-syntax)"
export DBUS_SESSION_BUS_ADDRESS DBUS_SESSION_BUS_PID

openbox >"$session_dir/openbox.log" 2>&1 &
pids+=($!)

# An unlocked login keyring, as on a desktop after logging in.
export QW_TEST_KEYRING_PASSWORD="quillweave-test"
eval "$(echo -n "$QW_TEST_KEYRING_PASSWORD" | gnome-keyring-daemon --unlock --components=secrets --daemonize)"
export GNOME_KEYRING_CONTROL SSH_AUTH_SOCK 2>/dev/null || true

# Start the accessibility bus now rather than on the first client's request.
dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus org.a11y.Bus.GetAddress >/dev/null 2>&1 || true

# Tells the tests that everything above is running: a desktop test that skips here fails.
export QW_HEADLESS_SESSION=1

status=0
"$@" || status=$?
exit "$status"
