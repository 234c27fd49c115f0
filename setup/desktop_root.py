#!/usr/bin/env python3
"""Makes the root in which the tests run one Debian release's desktops, and
builds the program in it from this source tree against the release's own
SDL3; prints the root's directory.

    setup/desktop_root.py RELEASE      (a codename: trixie, forky)

The root is a copy of the release's minimal root (setup/debian_root.sh) with
the desktops' packages installed from the archive that root's apt names. It
is kept in ${XDG_CACHE_HOME:-~/.cache}/window-test/roots/RELEASE-desktops and
trusted once the stamp RELEASE-desktops.complete beside it has been written.
The stamp lists the packages installed; when the list here has changed, the
root gets them installed. Delete both to make a newer one. The program is
built in it again on every run, which costs seconds once it is up to date."""

import os
import shutil
import subprocess
import sys
import tempfile
import time

SOURCE = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, SOURCE)
from desktop.root import (PATH, PROGRAM, ROOTS, SYSTEM_MOUNTS, Root, end_processes_in,  # noqa
                          mount_into, unmount)

# What builds the program, and the desktops the tests start with their X
# servers, buses, PipeWire and the libraries the program loads at run time.
PACKAGES = [
    "g++", "cmake", "ninja-build", "pkg-config", "libsdl3-dev", "libx11-dev",
    "libgl1-mesa-dri", "libglx-mesa0", "libegl-mesa0", "libdecor-0-0", "fonts-dejavu-core",
    "xvfb", "openbox", "xfwm4", "dbus-daemon", "xwayland",
    "sway", "kwin-wayland", "mutter", "pipewire-bin",
]
# What a release adds: today's desktops that older releases lack or that
# the tests meet only there.
RELEASE_PACKAGES = {
    "forky": ["fluxbox", "labwc", "weston", "hyprland", "wayland-utils", "wlr-randr"],
}
# A testing release's index says it goes stale within a week; the archive
# this machine's apt names may be a mirror that was taken earlier than that.
APT_OPTIONS = ["-o", "Acquire::Check-Valid-Until=false"]
# The status that tells CTest the root could not be made here, for a reason
# that is no fault: the desktops in it are skipped.
SKIPPED = 77
# The parts of this tree the program is built from.
PROGRAM_SOURCES = ["CMakeLists.txt", "app", "console", "frame"]


def say(text):
    print(f"desktop_root.py: {text}", file=sys.stderr, flush=True)


def in_root(root, *args, timeout):
    # What they say goes to standard error: standard output is the answer.
    subprocess.run(["chroot", root, "/usr/bin/env", "-i", "HOME=/root", f"PATH={PATH}",
                    "DEBIAN_FRONTEND=noninteractive", *args],
                   stdin=subprocess.DEVNULL, stdout=sys.stderr, timeout=timeout, check=True)


def packages(release):
    return PACKAGES + RELEASE_PACKAGES.get(release, [])


def stamp(path):
    return path + ".complete"


def write_stamp(path, release):
    with open(stamp(path), "w") as file:
        file.write("\n".join(packages(release)) + "\n")


def install_packages(root, release):
    in_root(root, "apt-get", *APT_OPTIONS, "update", "-qq", timeout=600)
    in_root(root, "apt-get", *APT_OPTIONS, "install", "-y", "-qq", "--no-install-recommends",
            *packages(release), timeout=1800)
    in_root(root, "apt-get", "clean", timeout=60)


def install(release, path):
    pristine = subprocess.run([os.path.join(SOURCE, "setup", "debian_root.sh"), release],
                              stdout=subprocess.PIPE, text=True, timeout=1800,
                              check=True).stdout.strip()
    started = time.monotonic()
    work = tempfile.mkdtemp(prefix=f".{release}-desktops.", dir=ROOTS)
    root = os.path.join(work, "root")
    mounted = []
    try:
        subprocess.run(["cp", "-a", pristine, root], timeout=600, check=True)
        resolv = os.path.join(root, "etc", "resolv.conf")
        if os.path.lexists(resolv):
            os.remove(resolv)
        shutil.copyfile("/etc/resolv.conf", resolv)
        # No service starts while packages are installed: nothing runs in
        # the root but what the tests start.
        policy = os.path.join(root, "usr", "sbin", "policy-rc.d")
        with open(policy, "w") as file:
            file.write("#!/bin/sh\nexit 101\n")
        os.chmod(policy, 0o755)
        mounted = mount_into(root, SYSTEM_MOUNTS)
        say(f"installing the {release} desktops into {path}")
        install_packages(root, release)
        # Whatever a package's scripts left running there goes before the
        # mounts it may use, and before the root is moved.
        end_processes_in(root)
        unmount(mounted)
        mounted = []
        if os.path.exists(path):
            subprocess.run(["rm", "-rf", "--one-file-system", path], timeout=600, check=True)
        os.rename(root, path)
        write_stamp(path, release)
        say(f"installed in {time.monotonic() - started:.0f} s")
    finally:
        end_processes_in(root)
        unmount(mounted)
        subprocess.run(["rm", "-rf", "--one-file-system", work], timeout=600, check=True)


def update(root):
    """Installs into a complete root what the list has gained since it was
    made, which costs far less than making it anew."""
    say(f"the {root.release} desktops' packages changed: installing them into {root.path}")
    mounted = mount_into(root.path, SYSTEM_MOUNTS)
    try:
        install_packages(root.path, root.release)
    finally:
        unmount(mounted)
    write_stamp(root.path, root.release)


def build(root):
    """Builds the program of this tree in the root; a build that is up to
    date costs a few seconds."""
    source = root.path + os.path.dirname(os.path.dirname(PROGRAM)) + "/src"
    os.makedirs(source, exist_ok=True)
    for name in PROGRAM_SOURCES:
        origin, copy = os.path.join(SOURCE, name), os.path.join(source, name)
        if os.path.isdir(origin):
            # Afresh, so that a file removed here goes there too; the
            # times are kept, so that only what changed is compiled.
            shutil.rmtree(copy, ignore_errors=True)
            shutil.copytree(origin, copy)
        else:
            shutil.copy2(origin, copy)
    inside = source[len(root.path):]
    build_dir = os.path.dirname(PROGRAM)
    mounted = mount_into(root.path, SYSTEM_MOUNTS)
    try:
        in_root(root.path, "cmake", "-S", inside, "-B", build_dir, "-G", "Ninja",
                "-DCMAKE_BUILD_TYPE=RelWithDebInfo", "-DBUILD_TESTING=OFF", timeout=300)
        in_root(root.path, "cmake", "--build", build_dir, timeout=900)
    finally:
        unmount(mounted)


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: desktop_root.py RELEASE")
    root = Root(sys.argv[1])
    for tool in ("debootstrap", "chroot"):
        if not shutil.which(tool):
            say(f"{tool} is missing (setup/deps.sh test installs it)")
            sys.exit(SKIPPED)
    if os.geteuid() != 0:
        say("making and entering a root takes root")
        sys.exit(SKIPPED)
    if not os.path.exists(stamp(root.path)):
        os.makedirs(ROOTS, exist_ok=True)
        install(root.release, root.path)
    elif open(stamp(root.path)).read().split() != packages(root.release):
        update(root)
    started = time.monotonic()
    build(root)
    say(f"program built in {time.monotonic() - started:.0f} s")
    print(root.path)


if __name__ == "__main__":
    main()
