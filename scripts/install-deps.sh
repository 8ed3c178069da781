#!/usr/bin/env bash
# Installs what building, running and testing Quillweave needs on Debian 12. Idempotent: when
# every package is present it does nothing (and needs no network).
set -euo pipefail

PACKAGES=(
    # build
    build-essential cmake ninja-build pkg-config
    qt6-base-dev qt6-qpa-plugins qcoro-qt6-dev
    libx11-dev libxi-dev libxtst-dev libsecret-1-dev libatspi2.0-dev
    libgtest-dev libgmock-dev libbenchmark-dev
    # a headless desktop for the tests: X server, session bus, accessibility bus, keyring
    xvfb x11-utils xdotool xclip dbus dbus-x11 at-spi2-core openbox
    gnome-keyring libsecret-tools
    # real applications driven by the desktop tests, and their helpers
    zenity mousepad python3-gi gir1.2-atspi-2.0 gir1.2-gtk-3.0 python3-pyatspi
    # test certificates
    openssl
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
SUDO=""
if [ "$(id -u)" -ne 0 ]; then
    SUDO="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq "${missing[@]}" >/dev/null
