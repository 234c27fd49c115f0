#!/usr/bin/env bash
# Installs the Debian packages of the named groups, and only when one of them
# is missing, so that a second run costs nothing.
#
#   scripts/deps.sh build [windows]
set -euo pipefail

packages=(
  gcc g++ cmake ninja-build pkg-config python3 clang-format
  libgtest-dev libgmock-dev libbenchmark-dev clang libclang-rt-14-dev
  # SDL3 from Debian's source package
  debian-archive-keyring dpkg-dev xz-utils
  libx11-dev libxext-dev libxrandr-dev libxcursor-dev libxi-dev libxfixes-dev libxss-dev
  libxkbcommon-dev libgl-dev libegl-dev libgles-dev libwayland-dev wayland-protocols
  libdecor-0-dev libdrm-dev libgbm-dev
  # desktops to run on and to test against: X11 with four window managers
  # (xfwm4 on a session bus), and three Wayland compositors, each on a bus of
  # its own and with its XWayland; screenshots and pixels through ImageMagick
  # and grim; window states through xprop
  xvfb libgl1-mesa-dri libglx-mesa0 openbox xfwm4 fluxbox icewm xdotool wmctrl strace
  x11-utils imagemagick dbus-daemon libglib2.0-bin xwayland
  sway grim
  kwin-wayland plasma-wayland-protocols
  # mutter's screen, read through PipeWire from Debian's own Python
  mutter pipewire-bin gstreamer1.0-pipewire gstreamer1.0-plugins-base gir1.2-gstreamer-1.0 python3-gi
)
for group in "$@"; do
  case $group in
    build) ;;
    windows) packages+=(g++-mingw-w64-x86-64-posix wine64) ;;
    *)
      echo "deps.sh: unknown group '$group'" >&2
      exit 2
      ;;
  esac
done

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
