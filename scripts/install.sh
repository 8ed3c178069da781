#!/usr/bin/env bash
# Installs Quillweave for the current user, without root, or removes that installation.
#
#     scripts/install.sh --user [--prefix P] [--build-dir D]
#     scripts/install.sh --uninstall --user [--prefix P]
#
# P defaults to ~/.local. Without --build-dir a release is built into build-release/ first; with
# it, that build is installed as it is (it must have built the targets quillweave and
# qw_package_files). The layout, which the updater and the login entry rely on:
#
#     P/lib/quillweave/versions/<version>/bin/quillweave
#     P/lib/quillweave/versions/<version>/share/quillweave/program-info.json
#     P/lib/quillweave/current -> versions/<version>
#     P/bin/quillweave -> ../lib/quillweave/current/bin/quillweave
#     P/share/applications, P/share/icons/hicolor, P/share/metainfo: the desktop's files
#
# Uninstalling removes all of that (every version an update added too) and a login entry that
# starts P/bin/quillweave, and leaves the settings ($XDG_CONFIG_HOME/quillweave) and the keys
# in the keyring alone.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
app_id=org.quillweave.Quillweave

usage() {
    sed -n '4,5s/^#     /usage: /p' "${BASH_SOURCE[0]}" >&2
    exit 2
}

mode=install
user=false
prefix="$HOME/.local"
build=""
while [ $# -gt 0 ]; do
    case "$1" in
        --user) user=true ;;
        --uninstall) mode=uninstall ;;
        --prefix) [ $# -ge 2 ] || usage; prefix="$2"; shift ;;
        --prefix=*) prefix="${1#--prefix=}" ;;
        --build-dir) [ $# -ge 2 ] || usage; build="$2"; shift ;;
        --build-dir=*) build="${1#--build-dir=}" ;;
        *) usage ;;
    esac
    shift
done
if [ "$user" != true ]; then
    echo "install.sh: only --user is supported here; the system-wide installation is the Debian package (scripts/package.sh)" >&2
    exit 2
fi
case "$prefix" in
    /*) prefix="${prefix%/}" ;;
    *) echo "install.sh: --prefix must be an absolute path" >&2; exit 2 ;;
esac
[ -n "$prefix" ] || { echo "install.sh: --prefix must not be /" >&2; exit 2; }

program_home="$prefix/lib/quillweave"
launcher="$prefix/bin/quillweave"
share="$prefix/share"
desktop_files=(
    "applications/$app_id.desktop"
    "metainfo/$app_id.metainfo.xml"
    "icons/hicolor/scalable/apps/$app_id.svg"
    "icons/hicolor/symbolic/apps/$app_id-symbolic.svg"
)

# Tells the desktop about the changed entries and icons, where it keeps caches.
refresh_desktop() {
    if command -v update-desktop-database >/dev/null 2>&1; then
        update-desktop-database -q "$share/applications" 2>/dev/null || true
    fi
    local icons="$share/icons/hicolor"
    [ -d "$icons" ] || return 0
    # A cache that already exists must follow; none is created (a stale one would hide icons
    # other programs install later). Without one, the folder's new time makes toolkits rescan.
    if [ -f "$icons/icon-theme.cache" ] && command -v gtk-update-icon-cache >/dev/null 2>&1; then
        gtk-update-icon-cache -q -f -t "$icons" 2>/dev/null || true
    else
        touch "$icons"
    fi
}

# The desktop entry's Exec value for a program path: quoted as desktop entries quote an argument
# when it holds anything but plain characters, and `%` doubled.
exec_value() {
    local path="$1"
    case "$path" in
        *[!A-Za-z0-9/._+-]*)
            path="$(printf '%s' "$path" | sed -e 's/[\\"`$]/\\&/g')"
            path="\"$path\""
            ;;
    esac
    # The entry's own string escape turns every backslash into two.
    printf '%s' "$path" | sed -e 's/%/%%/g' -e 's/\\/\\\\/g'
}

uninstall() {
    if [ -e "$launcher" ] && [ ! -L "$launcher" ]; then
        echo "install.sh: $launcher is not the link this script installs; left in place" >&2
    else
        rm -f "$launcher"
    fi
    rm -rf "$program_home"
    local file folder
    for file in "${desktop_files[@]}"; do
        rm -f "$share/$file"
        # The folders below share/ that held it, when nothing else is in them; never share/
        # itself or anything above the prefix.
        folder="$(dirname "$share/$file")"
        while [ "$folder" != "$share" ] && rmdir "$folder" 2>/dev/null; do
            folder="$(dirname "$folder")"
        done
    done
    # A login entry that starts this installation would start nothing any more.
    local autostart="${XDG_CONFIG_HOME:-$HOME/.config}/autostart/$app_id.desktop"
    if [ -f "$autostart" ] && grep -qxF "Exec=$(exec_value "$launcher") --autostart" "$autostart"; then
        rm -f "$autostart"
    fi
    refresh_desktop
    echo "Removed Quillweave from $prefix (settings and keys are kept)."
}

install_user() {
    if [ -z "$build" ]; then
        build="$root/build-release"
        "$root/scripts/install-deps.sh"
        # Updates are configured as for scripts/package.sh: from the environment, or none.
        cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQW_BUILD_TESTS=OFF \
            -DQW_BUILD_BENCHMARKS=OFF -DQW_UPDATE_FEED_URL="${QW_UPDATE_FEED_URL:-}" \
            -DQW_UPDATE_PUBLIC_KEY="${QW_UPDATE_PUBLIC_KEY:-}" >/dev/null
        cmake --build "$build" --target quillweave qw_package_files
    fi
    [ -x "$build/app/quillweave" ] || { echo "install.sh: $build holds no built quillweave" >&2; exit 1; }
    if [ -e "$launcher" ] && [ ! -L "$launcher" ]; then
        echo "install.sh: $launcher exists and is not a link; remove it first" >&2
        exit 1
    fi
    local version
    version="$("$build/app/quillweave" --version | awk '{print $2}')"
    [ -n "$version" ] || { echo "install.sh: the built program names no version" >&2; exit 1; }

    # The version folder is assembled beside its final place and renamed into it, so that a
    # run interrupted here leaves the installed version untouched and nothing half-made behind.
    mkdir -p "$program_home/versions"
    staging="$(mktemp -d "$program_home/versions/$version.partial-XXXXXX")"
    staged_share=""
    trap 'rm -rf "$staging" ${staged_share:+"$staged_share"}' EXIT
    cmake --install "$build" --prefix "$staging" --component Program --strip >/dev/null
    cmake --install "$build" --prefix "$staging" --component UserMetadata >/dev/null
    chmod 755 "$staging"
    local target="$program_home/versions/$version"
    if [ -e "$target" ]; then
        local old
        old="$(mktemp -d "$program_home/versions/$version.old-XXXXXX")"
        mv -T "$target" "$old/tree"
        mv -T "$staging" "$target"
        rm -rf "$old"
    else
        mv -T "$staging" "$target"
    fi
    # `current` is switched by renaming a new link over it: at every moment it names a version.
    ln -sfn "versions/$version" "$program_home/current.new"
    mv -T "$program_home/current.new" "$program_home/current"
    mkdir -p "$prefix/bin"
    ln -sfn "../lib/quillweave/current/bin/quillweave" "$launcher.new"
    mv -T "$launcher.new" "$launcher"

    staged_share="$(mktemp -d)"
    cmake --install "$build" --prefix "$staged_share" --component DesktopIntegration >/dev/null
    # The application list may not search $PATH for P/bin: the entry names the program by its
    # absolute, stable path (never the versioned one an update replaces).
    sed -i "s|^Exec=.*|Exec=$(exec_value "$launcher" | sed -e 's/[\\&|]/\\&/g')|" \
        "$staged_share/share/applications/$app_id.desktop"
    local file
    for file in "${desktop_files[@]}"; do
        install -D -m 644 "$staged_share/share/$file" "$share/$file"
    done
    refresh_desktop
    echo "Installed Quillweave $version into $prefix ($launcher)."
}

if [ "$mode" = uninstall ]; then
    uninstall
else
    install_user
fi
