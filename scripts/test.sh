#!/usr/bin/env bash
# Everything needed to pass the tests on a fresh Debian 12 machine: installs what is missing,
# builds, and runs every test (including the desktop ones) inside a private headless desktop.
# Then, unless QW_QUICK=1: the suite again under AddressSanitizer and UndefinedBehaviorSanitizer
# (scripts/sanitize.sh) and each fuzzer for QW_FUZZ_SECONDS seconds (scripts/fuzz.sh, default
# 30). CI runs all of it; QW_QUICK=1 is for a quick local round. The format check
# (scripts/check-format.sh) runs before the slow steps; QW_CHECK_FORMAT=0 leaves it out.
# A test that fails is run once more before the run fails: the real-desktop suites drive
# browsers and editors whose timing a loaded machine stretches; a fault fails both times.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${QW_BUILD_DIR:-$root/build}"
step() {
    local name="$1" started=$SECONDS
    shift
    "$@"
    echo "== $name: $((SECONDS - started)) s" >&2
}
step "install" "$root/scripts/install-deps.sh"
step "build" "$root/scripts/build.sh"
(cd "$build" && step "tests" "$root/scripts/headless-session.sh" ctest --output-on-failure --timeout 600 --repeat until-pass:2 "$@")
if [ "${QW_CHECK_FORMAT:-1}" = 1 ]; then
    step "format check" "$root/scripts/check-format.sh"
fi
if [ "${QW_QUICK:-0}" = 1 ]; then
    exit 0
fi
step "sanitizer build and tests" "$root/scripts/sanitize.sh"
step "fuzzing" "$root/scripts/fuzz.sh"
