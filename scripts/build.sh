#!/usr/bin/env bash
# Configures and builds into build/ (or $QW_BUILD_DIR). Extra arguments go to CMake.
# Warnings are errors when QW_WERROR=ON (CI sets it) or CI=true.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${QW_BUILD_DIR:-$root/build}"
werror="${QW_WERROR:-OFF}"
if [ "${CI:-}" = "true" ]; then werror=ON; fi
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQW_WERROR="$werror" "$@" >/dev/null
cmake --build "$build" --parallel "$(nproc)"
