#!/usr/bin/env bash
# Installs the Debian packages of the named groups, and only when one of them
# is missing, so that a second run costs nothing.
#
#   setup/deps.sh GROUP...
#
#   program  what building the program needs (./run)
#   tour     the virtual desktop of the guided tour: Xvfb with openbox (./run)
#   test     the tests' tools and every desktop they run on (./test)
#   windows  the Windows cross build and Wine (./test)
#
# Package names are those of this machine's release (VERSION_CODENAME).
set -euo pipefail

release=$(. /etc/os-release 2>/dev/null && echo "${VERSION_CODENAME:-}")

# What setup/debian_source.sh needs to fetch and unpack a source package,
# python3 included for finding the machine's archive (setup/apt_archive.py).
debian_source=(debian-archive-keyring dpkg-dev xz-utils python3)

# The library: Debian 12 has no SDL3, so set-up builds it from the next
# release's source package (setup/sdl3.sh) and needs its build dependencies;
# later releases package it.
case $release in
  bookworm)
    sdl3=(
      "${debian_source[@]}"
      libx11-dev libxext-dev libxrandr-dev libxcursor-dev libxi-dev libxfixes-dev libxss-dev
      libxkbcommon-dev libgl-dev libegl-dev libgles-dev libwayland-dev wayland-protocols
      libdecor-0-dev libdrm-dev libgbm-dev
    )
    ;;
  *) sdl3=(libsdl3-dev libx11-dev) ;;
esac

packages=()
for group in "$@"; do
  case $group in
    program) packages+=(gcc g++ cmake ninja-build pkg-config "${sdl3[@]}") ;;
    tour) packages+=(python3 xvfb libgl1-mesa-dri libglx-mesa0 openbox xdotool wmctrl x11-utils imagemagick) ;;
    test)
      packages+=(
        clang-format libgtest-dev libgmock-dev libbenchmark-dev clang libclang-rt-dev
        # Debian source packages (the Wayland input clients' protocols)
        "${debian_source[@]}" libwayland-dev libxkbcommon-dev wayland-protocols
        # X11 with four window managers (xfwm4 on a session bus), and three
        # Wayland compositors, each on a bus of its own and with its
        # XWayland; screenshots and pixels through ImageMagick and grim;
        # window states through xprop
        xfwm4 fluxbox icewm strace x11-utils x11-xserver-utils dbus-daemon libglib2.0-bin
        xwayland
        # the big desktops' X11 window managers, with the settings schemas
        # of their settings daemons that marco and muffin read; and i3
        metacity kwin-x11 marco mate-settings-daemon-common muffin cinnamon-settings-daemon
        i3-wm
        # the window managers of tiling and minimal desktops
        awesome herbstluftwm jwm
        # keyboard layouts on X11; a cursor theme whose cursors carry their
        # names, which the frame test reads back from the X server
        x11-xkb-utils adwaita-icon-theme
        sway grim
        kwin-wayland plasma-wayland-protocols
        # mutter's screen, read through PipeWire from Debian's own Python
        mutter pipewire-bin gstreamer1.0-pipewire gstreamer1.0-plugins-base gir1.2-gstreamer-1.0
        python3-gi
        # the fresh Debian roots that ./run is tried in
        debootstrap
      )
      ;;
    windows) packages+=("${debian_source[@]}" g++-mingw-w64-x86-64-posix wine64) ;;
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
