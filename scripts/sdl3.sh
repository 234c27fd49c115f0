#!/usr/bin/env bash
# Makes SDL3 available for one build target and prints the prefix to hand to
# CMAKE_PREFIX_PATH (nothing when a system SDL3 >= 3.2 is already there).
#
#   scripts/sdl3.sh linux | mingw64
#
# Debian 12 ships no SDL3, so the source comes from the next Debian release's
# archive through a private apt state; the system's apt sources stay untouched
# and apt still checks the archive's signatures. The result is installed into
# a cache outside the clone, keyed by version and target, and only trusted once
# its stamp file has been written after a complete install.
set -euo pipefail

target=${1:?usage: sdl3.sh linux|mingw64}
cache=${XDG_CACHE_HOME:-$HOME/.cache}/window-test
say() { printf 'sdl3.sh: %s\n' "$*" >&2; }
die() {
  say "error: $*"
  exit 1
}

case $target in
  linux)
    if pkg-config --atleast-version=3.2.0 sdl3 2>/dev/null; then
      say "using the system's SDL3 $(pkg-config --modversion sdl3)"
      exit 0
    fi
    configure_args=()
    ;;
  mingw64)
    # The source package lacks the precompiled Direct3D shaders; the program
    # only needs the OpenGL renderer.
    configure_args=(
      -DCMAKE_TOOLCHAIN_FILE="$(cd "$(dirname "$0")/.." && pwd)/cmake/mingw-w64-x86_64.cmake"
      -DSDL_RENDER_D3D=OFF -DSDL_RENDER_D3D11=OFF -DSDL_RENDER_D3D12=OFF
      -DSDL_GPU=OFF -DSDL_RENDER_GPU=OFF
    )
    ;;
  *) die "unknown target '$target' (linux or mingw64)" ;;
esac

for stamp in "$cache"/sdl3-*-"$target"/.complete; do
  if [ -f "$stamp" ]; then
    dirname "$stamp"
    exit 0
  fi
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/apt/lists/partial" "$work/apt/cache/archives/partial" \
  "$work/apt/parts" "$work/src"
echo "deb-src [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg]" \
  "http://deb.debian.org/debian trixie main" >"$work/apt/parts/trixie.list"
apt_private=(
  -o Dir::Etc::SourceList=/dev/null -o "Dir::Etc::SourceParts=$work/apt/parts"
  -o "Dir::State::Lists=$work/apt/lists" -o "Dir::Cache=$work/apt/cache"
)

say "downloading the SDL3 source package"
apt-get "${apt_private[@]}" -qq update >"$work/apt.log" 2>&1 ||
  die "could not read the archive's source index (see below)
$(tail -5 "$work/apt.log")"
(cd "$work/src" && apt-get "${apt_private[@]}" -qq source --download-only libsdl3) \
  >>"$work/apt.log" 2>&1 ||
  die "could not download the libsdl3 source package
$(tail -5 "$work/apt.log")"

orig=$(ls "$work"/src/libsdl3_*.orig.tar.*)
version=${orig##*/libsdl3_}
version=${version%%+*}
version=${version%%.orig*}
tar -xf "$orig" -C "$work/src"
source_dir=$(ls -d "$work"/src/SDL3-*/)

prefix=$cache/sdl3-$version-$target
say "building SDL3 $version for $target into $prefix"
cmake -S "$source_dir" -B "$work/build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DSDL_TESTS=OFF -DSDL_EXAMPLES=OFF -DCMAKE_INSTALL_PREFIX="$prefix" \
  "${configure_args[@]}" >"$work/build.log" 2>&1 ||
  die "SDL3 configure failed
$(tail -20 "$work/build.log")"
cmake --build "$work/build" >>"$work/build.log" 2>&1 ||
  die "SDL3 build failed
$(tail -20 "$work/build.log")"
rm -rf "$prefix"
cmake --install "$work/build" >>"$work/build.log" 2>&1 ||
  die "SDL3 install failed
$(tail -20 "$work/build.log")"
touch "$prefix/.complete"
echo "$prefix"
