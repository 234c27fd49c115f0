#!/usr/bin/env bash
# Downloads and unpacks one Debian source package and prints the directory of
# its unpacked source (the upstream tree plus debian/, Debian's patches not
# applied).
#
#   setup/debian_source.sh PACKAGE SUITE
#
# SUITE is a release's codename (trixie), or "current" for this machine's own
# release (VERSION_CODENAME in /etc/os-release). For example:
#
#   src=$(setup/debian_source.sh wlroots current)
#   src=$(setup/debian_source.sh libsdl3 trixie)
#
# The archive is the one this machine's apt already uses for its release's
# main component (setup/apt_archive.py), so local mirrors and proxies are
# honoured. The download goes through a private apt state: the system's apt
# sources and lists stay untouched, and apt still checks the archive's
# signatures and the files' hashes. The result is kept in
# ${XDG_CACHE_HOME:-~/.cache}/window-test/source/PACKAGE-SUITE and used again
# without a download; delete that directory to fetch a newer version.
set -euo pipefail

package=${1:?usage: debian_source.sh PACKAGE SUITE}
suite=${2:?usage: debian_source.sh PACKAGE SUITE}
say() { printf 'debian_source.sh: %s\n' "$*" >&2; }
die() {
  say "error: $*"
  exit 1
}

if [ "$suite" = current ]; then
  suite=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
  [ -n "$suite" ] || die "no VERSION_CODENAME in /etc/os-release"
fi
dest=${XDG_CACHE_HOME:-$HOME/.cache}/window-test/source/$package-$suite
if [ -f "$dest/.complete" ]; then
  cat "$dest/.complete"
  exit 0
fi

archive=$("$(dirname "$0")/apt_archive.py") || exit 1

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/apt/lists/partial" "$work/apt/cache/archives/partial" \
  "$work/apt/parts" "$work/download"
echo "deb-src [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg]" \
  "$archive $suite main" >"$work/apt/parts/$suite.list"
apt_private=(
  -o Dir::Etc::SourceList=/dev/null -o "Dir::Etc::SourceParts=$work/apt/parts"
  -o "Dir::State::Lists=$work/apt/lists" -o "Dir::Cache=$work/apt/cache"
)

say "downloading the $package source package of $suite from $archive"
apt-get "${apt_private[@]}" -qq update >"$work/apt.log" 2>&1 ||
  die "could not read the source index of $suite at $archive (see below)
$(tail -5 "$work/apt.log")"
(cd "$work/download" && apt-get "${apt_private[@]}" -qq source --download-only "$package") \
  >>"$work/apt.log" 2>&1 ||
  die "could not download the $package source package of $suite
$(tail -5 "$work/apt.log")"

rm -rf "$dest"
mkdir -p "$dest"
dsc=$(ls "$work"/download/*.dsc)
(cd "$dest" && dpkg-source --skip-patches -x "$dsc") >>"$work/apt.log" 2>&1 ||
  die "could not unpack $dsc
$(tail -5 "$work/apt.log")"
# dpkg-source leaves copies of the tarballs beside the tree.
find "$dest" -mindepth 1 -maxdepth 1 -type f -delete
source_dir=$(find "$dest" -mindepth 1 -maxdepth 1 -type d)
echo "$source_dir" >"$dest/.complete"
echo "$source_dir"
