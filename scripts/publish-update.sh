#!/usr/bin/env bash
# Publishes a signed update for per-user installations.
#
#   scripts/publish-update.sh keygen KEY.pem
#       Makes a new Ed25519 signing key (keep it secret, outside the repository) and prints
#       the public key to build with: cmake -DQW_UPDATE_PUBLIC_KEY=<printed value>.
#   scripts/publish-update.sh public-key KEY.pem
#       Prints the public key again: Base64 of its 32 raw bytes.
#   scripts/publish-update.sh sign KEY.pem ARCHIVE
#       Prints the archive's signature (Base64 of 64 bytes).
#   scripts/publish-update.sh feed KEY.pem ARCHIVE ARCHIVE_URL FEED.xml
#       Signs ARCHIVE (quillweave-<version>-linux-<arch>.tar.gz, as scripts/package.sh makes
#       it) and adds its item to FEED.xml, creating the feed when it does not exist. Upload the
#       archive to ARCHIVE_URL (https) and the feed to the address built in as QW_UPDATE_FEED_URL.
set -euo pipefail

readonly namespace="urn:quillweave:update:1"

die() {
    echo "publish-update: $*" >&2
    exit 1
}

public_key() {
    # The DER form of an Ed25519 public key ends with its 32 raw bytes.
    openssl pkey -in "$1" -pubout -outform DER | tail -c 32 | base64 -w0
    echo
}

signature() {
    # Ed25519 signs the message itself (no digest first): hence -rawin.
    openssl pkeyutl -sign -inkey "$1" -rawin -in "$2" | base64 -w0
}

archive_version() {
    local name version
    name="$(basename "$1")"
    version="${name#quillweave-}"
    version="${version%%-linux-*}"
    [[ "$version" =~ ^[0-9]+(\.[0-9]+){0,3}$ ]] || die "$name is not named quillweave-<version>-linux-<arch>.tar.gz"
    # The archive's root is one version folder, written with or without a leading "./".
    local listing member
    listing="$(tar -tzf "$1")" || die "$name is not a gzip-compressed tar archive"
    grep -Eqx '(\./)?bin/quillweave' <<<"$listing" || die "$name has no bin/quillweave at its root"
    member="$(grep -Ex '(\./)?share/quillweave/program-info.json' <<<"$listing" | head -n1)" ||
        die "$name has no share/quillweave/program-info.json"
    # The program checks that the archive's own metadata names the version the feed promises.
    tar -xzOf "$1" "$member" |
        grep -Eq "\"CFBundleShortVersionString\"[[:space:]]*:[[:space:]]*\"$version\"" ||
        die "$name does not hold the metadata of version $version"
    echo "$version"
}

item() {
    local version="$1" url="$2" length="$3" signed="$4"
    cat <<ITEM
    <item>
      <title>Quillweave $version</title>
      <pubDate>$(LC_ALL=C date -u '+%a, %d %b %Y %H:%M:%S +0000')</pubDate>
      <qw:version>$version</qw:version>
      <qw:signature>$signed</qw:signature>
      <enclosure url="$url" length="$length" type="application/gzip"/>
    </item>
ITEM
}

write_feed() {
    local key="$1" archive="$2" url="$3" feed="$4" version length signed entry
    [[ "$url" == https://* ]] || die "the archive's address must be https"
    [[ "$url" != *'"'* && "$url" != *'<'* && "$url" != *'&'* ]] || die "the archive's address has characters XML would need escaped"
    version="$(archive_version "$archive")"
    length="$(stat -c %s "$archive")"
    signed="$(signature "$key" "$archive")"
    entry="$(item "$version" "$url" "$length" "$signed")"
    if [ ! -e "$feed" ]; then
        cat >"$feed" <<FEED
<?xml version="1.0" encoding="utf-8"?>
<rss version="2.0" xmlns:qw="$namespace">
  <channel>
    <title>Quillweave updates</title>
  </channel>
</rss>
FEED
    fi
    grep -q "<qw:version>$version</qw:version>" "$feed" && die "$feed already has version $version"
    grep -q '</channel>' "$feed" || die "$feed has no channel to add to"
    local updated
    updated="$(mktemp "$feed.XXXXXX")"
    # The new item goes first, right before the end of the channel's first item or its end.
    awk -v entry="$entry" '
        !done && (/<item>/ || /<\/channel>/) { print entry; done = 1 }
        { print }
    ' "$feed" >"$updated"
    mv "$updated" "$feed"
    echo "publish-update: added $version ($length bytes) to $feed" >&2
}

command="${1:-}"
case "$command" in
keygen)
    [ $# -eq 2 ] || die "usage: $0 keygen KEY.pem"
    [ ! -e "$2" ] || die "$2 exists; not overwriting a signing key"
    (umask 077 && openssl genpkey -algorithm ed25519 -out "$2")
    public_key "$2"
    ;;
public-key)
    [ $# -eq 2 ] || die "usage: $0 public-key KEY.pem"
    public_key "$2"
    ;;
sign)
    [ $# -eq 3 ] || die "usage: $0 sign KEY.pem ARCHIVE"
    signature "$2" "$3"
    echo
    ;;
feed)
    [ $# -eq 5 ] || die "usage: $0 feed KEY.pem ARCHIVE ARCHIVE_URL FEED.xml"
    write_feed "$2" "$3" "$4" "$5"
    ;;
*)
    sed -n '2,16p' "$0" | sed 's/^# \{0,1\}//'
    [ -z "$command" ] || exit 1
    ;;
esac
