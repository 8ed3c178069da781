#!/usr/bin/env bash
# Installs what building, running and testing Quillweave needs on Debian 12. Idempotent: when
# every package is present it does nothing (and needs no network).
set -euo pipefail

PACKAGES=(
    # build (the tests' check of co_await expressions is a Python script)
    build-essential cmake ninja-build pkg-config python3
    qt6-base-dev qcoro-qt6-dev
    libx11-dev libxi-dev libxtst-dev libsecret-1-dev
    libgtest-dev libgmock-dev libbenchmark-dev
    # a headless desktop for the tests: X server (and xdpyinfo), session bus, accessibility bus,
    # keyring, window manager
    xvfb x11-utils dbus dbus-x11 at-spi2-core gnome-keyring openbox
    # driving the desktop from the tests: synthetic input, the clipboard, the GTK test program,
    # and reading its entry back over AT-SPI from Python (the bubble's desktop test)
    xdotool xclip python3-gi gir1.2-gtk-3.0 python3-pyatspi gir1.2-atspi-2.0
    # switching the keyboard layout under the hotkeys (setxkbmap)
    x11-xkb-utils
    # a font with Chinese glyphs, so the bubble's pictures show its texts
    fonts-droid-fallback
    # the whole tray program end to end: a tray host and a real editor to type into
    trayer mousepad
    # packaging: the Debian package with its dependencies worked out (dpkg-shlibdeps), checked
    # by lintian; the desktop entry's and AppStream metadata's validators; the desktop database
    # and icon cache a per-user installation refreshes; the SVG loader the icons are drawn with
    lintian desktop-file-utils appstream dpkg-dev fakeroot libgtk-3-bin librsvg2-common
    # signed updates: unpacking the update archive and checking its Ed25519 signature
    libarchive-dev libssl-dev
    # the real-application suite (tests/apps): a GTK 4 editor, a Qt 5 editor with tabs, and GTK 4
    # itself for the small program of our own that shows a password entry
    gnome-text-editor featherpad libgtk-4-1
    # the browser suite (tests/browsers): Firefox ESR, Chromium and the clipboard manager CopyQ
    firefox-esr chromium copyq
    # sanitizers, fuzzing and the format check: clang with libFuzzer and its sanitizer runtimes
    # (g++'s sanitizer runtimes come with build-essential), clang-format
    clang libclang-rt-14-dev clang-format
)

missing=()
for package in "${PACKAGES[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$package")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

echo "Installing: ${missing[*]}" >&2
# sudo resets the environment: the front end has to be named on its command line.
apt=(env DEBIAN_FRONTEND=noninteractive apt-get)
if [ "$(id -u)" -ne 0 ]; then
    if ! command -v sudo >/dev/null 2>&1; then
        echo "install-deps: these packages are missing and installing them needs root, but this is" \
            "not root and sudo is not installed. As root, run:" >&2
        echo "    apt-get install ${missing[*]}" >&2
        exit 1
    fi
    apt=(sudo DEBIAN_FRONTEND=noninteractive apt-get)
fi
"${apt[@]}" update -qq
"${apt[@]}" install -y -qq "${missing[@]}" >/dev/null
