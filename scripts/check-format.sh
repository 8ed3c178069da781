#!/usr/bin/env bash
# Fails when a tracked C++ source is not formatted as .clang-format says (clang-format 14, as
# Debian 12 ships it). To fix: git ls-files '*.cpp' '*.h' | xargs clang-format -i
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format --dry-run -Werror
