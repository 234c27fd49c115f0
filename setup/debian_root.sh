#!/usr/bin/env bash
# Makes a minimal Debian root of one release, as a new user's system starts
# out, and prints its directory.
#
#   setup/debian_root.sh RELEASE      (a codename: bookworm, trixie, forky)
#
# The root is debootstrap's minbase variant and nothing more, so that what
# set-up installs in it is all that set-up itself asks for. It comes from the
# archive this machine's apt already uses (setup/apt_archive.py), signatures
# checked against the Debian archive keyring. It is kept in
# ${XDG_CACHE_HOME:-~/.cache}/window-test/roots/RELEASE and only trusted once
# the stamp RELEASE.complete beside it has been written after a complete
# bootstrap; delete both to make a newer one. Use a copy of it: whatever runs
# in the root changes it.
set -euo pipefail

release=${1:?usage: debian_root.sh RELEASE}
roots=${XDG_CACHE_HOME:-$HOME/.cache}/window-test/roots
root=$roots/$release
stamp=$root.complete
say() { printf 'debian_root.sh: %s\n' "$*" >&2; }
die() {
  say "error: $*"
  exit 1
}

if [ -f "$stamp" ] && [ -d "$root" ]; then
  echo "$root"
  exit 0
fi
[ "$(id -u)" -eq 0 ] || die "making a root takes root"
command -v debootstrap >/dev/null || die "debootstrap is missing (setup/deps.sh test installs it)"

archive=$("$(dirname "$0")/apt_archive.py") || exit 1
# An older debootstrap knows no script for a newer release; Debian's releases
# all bootstrap the same way as sid.
script=()
[ -e "/usr/share/debootstrap/scripts/$release" ] || script=(/usr/share/debootstrap/scripts/sid)
# apt needs the certificates to reach an https archive; the installer adds
# them for such an archive too.
include=()
case $archive in https:*) include=(--include=ca-certificates) ;; esac

mkdir -p "$roots"
work=$(mktemp -d "$roots/.$release.XXXXXX")
# debootstrap mounts proc and sys in the root while it works; an interrupted
# one may leave them, and removing must not reach into them.
cleanup() {
  findmnt -rn -o TARGET | grep -F "$work/" | sort -r | xargs -r -n1 umount -l || true
  rm -rf --one-file-system "$work"
}
trap cleanup EXIT

say "bootstrapping a minimal $release root from $archive into $root"
debootstrap --variant=minbase "${include[@]}" "$release" "$work/root" "$archive" \
  "${script[@]}" >"$work/debootstrap.log" 2>&1 ||
  die "debootstrap failed
$(tail -20 "$work/debootstrap.log")"

rm -f "$stamp"
rm -rf --one-file-system "$root"
mv "$work/root" "$root"
touch "$stamp"
echo "$root"
