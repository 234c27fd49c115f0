#!/usr/bin/env bash
# Makes SDL3 available for one build target and prints the prefix to hand to
# CMAKE_PREFIX_PATH (nothing when a system SDL3 >= 3.2 is already there).
#
#   setup/sdl3.sh linux | mingw64
#
# Debian 12 ships no SDL3, so the source package comes from the next Debian
# release (setup/debian_source.sh: the machine's own archive, signatures
# checked, system apt untouched). The result is installed into a cache outside
# the clone, keyed by version and target, and only trusted once its stamp file
# has been written after a complete install.
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

source_dir=$("$(dirname "$0")/debian_source.sh" libsdl3 trixie)
version=${source_dir##*/libsdl3-}
version=${version%%+*}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
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
