#!/usr/bin/env bash
# Installs what is missing, builds, and runs Quillweave with the given arguments.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${QW_BUILD_DIR:-$root/build}"
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh" >&2
exec "$build/app/quillweave" "$@"
