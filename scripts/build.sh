#!/usr/bin/env bash
# Installs what is missing and builds the program and its tests into build/.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh build
sdl_prefix=$(scripts/sdl3.sh linux)
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  ${sdl_prefix:+-DCMAKE_PREFIX_PATH="$sdl_prefix"} "$@" >/dev/null
cmake --build build
