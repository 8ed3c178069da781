#!/usr/bin/env bash
# Builds a release into build-package/ and writes into dist/:
#     quillweave_<version>_<arch>.deb                  the system installation (/usr)
#     quillweave-<version>-linux-<machine>.tar.gz      the update archive: one version folder's
#                                                      tree (bin/quillweave,
#                                                      share/quillweave/program-info.json)
# Updates are configured from the environment: QW_UPDATE_FEED_URL and QW_UPDATE_PUBLIC_KEY
# (both, or neither for a build that never updates itself).
#
#     scripts/package.sh [--build-dir D] [--dist-dir O]
#
# With --build-dir an existing build is packaged as it is (it must have built the targets
# quillweave and qw_package_files); the packaging test uses its own build this way.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build=""
dist="$root/dist"
while [ $# -gt 0 ]; do
    case "$1" in
        --build-dir) build="$2"; shift ;;
        --dist-dir) dist="$2"; shift ;;
        *) echo "usage: scripts/package.sh [--build-dir D] [--dist-dir O]" >&2; exit 2 ;;
    esac
    shift
done

if [ -z "$build" ]; then
    build="$root/build-package"
    "$root/scripts/install-deps.sh"
    # Debian's hardening: checked buffer functions, and relocations made read-only at start.
    cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQW_BUILD_TESTS=OFF \
        -DCMAKE_CXX_FLAGS="-D_FORTIFY_SOURCE=2" -DCMAKE_EXE_LINKER_FLAGS="-Wl,-z,relro,-z,now" \
        -DQW_BUILD_BENCHMARKS=OFF -DQW_UPDATE_FEED_URL="${QW_UPDATE_FEED_URL:-}" \
        -DQW_UPDATE_PUBLIC_KEY="${QW_UPDATE_PUBLIC_KEY:-}" >/dev/null
    cmake --build "$build" --target quillweave qw_package_files
fi
[ -x "$build/app/quillweave" ] || { echo "package.sh: $build holds no built quillweave" >&2; exit 1; }
version="$("$build/app/quillweave" --version | awk '{print $2}')"
mkdir -p "$dist"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# The Debian package, its dependencies found by dpkg-shlibdeps.
cpack --config "$build/CPackConfig.cmake" -B "$work/cpack" >/dev/null
deb="$(find "$work/cpack" -maxdepth 1 -name '*.deb' -print -quit)"
[ -n "$deb" ] || { echo "package.sh: CPack wrote no package" >&2; exit 1; }
mv -f "$deb" "$dist/"
echo "$dist/$(basename "$deb")"

# The update archive: what goes into one version folder of a per-user installation, owned by
# nobody in particular and in a stable order.
cmake --install "$build" --prefix "$work/tree" --component Program --strip >/dev/null
cmake --install "$build" --prefix "$work/tree" --component UserMetadata >/dev/null
archive="$dist/quillweave-$version-linux-$(uname -m).tar.gz"
tar -C "$work/tree" --sort=name --owner=0 --group=0 --numeric-owner --mtime=@0 -cf - bin share |
    gzip -9n >"$archive.partial"
mv -f "$archive.partial" "$archive"
echo "$archive"
