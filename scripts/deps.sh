#!/usr/bin/env bash
# Installs the Debian packages that building and testing need, and only when
# one of them is missing, so that a second run costs nothing.
set -euo pipefail

packages=(
  # build
  gcc g++ cmake ninja-build pkg-config libgtest-dev libgmock-dev python3
  # SDL3 from source
  debian-archive-keyring xz-utils
  libx11-dev libxext-dev libxrandr-dev libxcursor-dev libxi-dev libxfixes-dev libxss-dev
  libxkbcommon-dev libgl-dev libegl-dev libgles-dev libwayland-dev wayland-protocols
  libdecor-0-dev libdrm-dev libgbm-dev
  # a desktop to run on and to test against
  xvfb openbox xdotool wmctrl x11-utils strace
)

command -v dpkg-query >/dev/null || {
  echo "deps.sh: not a Debian system; install the equivalents of: ${packages[*]}" >&2
  exit 0
}

missing=()
for package in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
  [ "$status" = "install ok installed" ] || missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)
echo "deps.sh: installing ${missing[*]}" >&2
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
