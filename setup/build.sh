#!/usr/bin/env bash
# Installs what is missing and builds one of the CMake presets:
#
#   setup/build.sh [program | default | sanitize | win64] [extra CMake arguments]
#
# program builds the program alone into build/, default the program and its
# tests into build/, sanitize build-sanitize/ (clang with AddressSanitizer
# and UndefinedBehaviorSanitizer, plus the fuzz targets), win64 build-win64/
# (the Windows x64 program, its zip and its test helpers, with mingw-w64).
set -euo pipefail
cd "$(dirname "$0")/.."

preset=${1:-default}
shift || true
extra=()
case $preset in
  program)
    setup/deps.sh program
    sdl_prefix=$(setup/sdl3.sh linux)
    ;;
  default | sanitize)
    setup/deps.sh program test
    sdl_prefix=$(setup/sdl3.sh linux)
    # The virtual input devices' protocols, for the Wayland desktops' tests;
    # without them those tests are skipped.
    if wlroots=$(setup/debian_source.sh wlroots current); then
      extra=(-DWINDOW_TEST_WLR_PROTOCOLS="$wlroots/protocol")
    else
      echo "build.sh: no wlroots protocols: the Wayland desktops' tests will be skipped" >&2
    fi
    ;;
  win64)
    setup/deps.sh program windows
    sdl_prefix=$(setup/sdl3.sh mingw64)
    ;;
  *)
    echo "build.sh: unknown preset '$preset'" >&2
    exit 2
    ;;
esac
cmake --preset "$preset" ${sdl_prefix:+-DCMAKE_PREFIX_PATH="$sdl_prefix"} "${extra[@]}" "$@" >/dev/null
cmake --build --preset "$preset"
