#!/usr/bin/env bash
# Installs what is missing and cross-builds the Windows x64 program, its test
# helper and its zip into build-win64/.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh build windows
sdl_prefix=$(scripts/sdl3.sh mingw64)
cmake -S . -B build-win64 -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
  -DCMAKE_PREFIX_PATH="$sdl_prefix" >/dev/null
cmake --build build-win64
