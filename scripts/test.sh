#!/usr/bin/env bash
# Everything needed to pass the tests on a fresh Debian 12 machine: installs what is missing,
# builds, and runs every test (including the desktop ones) inside a private headless desktop.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${QW_BUILD_DIR:-$root/build}"
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh"
cd "$build"
"$root/scripts/headless-session.sh" ctest --output-on-failure --timeout 600 "$@"
