#!/usr/bin/env python3
"""Prints the address of the archive that this machine's apt takes its
current release's main component from, so that set-up fetches source packages
through the same mirror or proxy as the rest of the system.

    setup/apt_archive.py [APT_DIR [CODENAME]]

APT_DIR defaults to /etc/apt, CODENAME to VERSION_CODENAME in /etc/os-release.
Reads sources.list and sources.list.d/*.list (one-line entries) and
sources.list.d/*.sources (deb822 stanzas) in apt's order and prints the first
entry's address whose suite is the codename itself (not -security or
-updates) and whose components include main.
"""

import glob
import os
import re
import sys

ONE_LINE = re.compile(r"^(deb|deb-src)\s+(?:\[[^\]]*\]\s+)?(\S+)\s+(\S+)((?:\s+\S+)*)\s*$")


def one_line_entries(text):
    for line in text.splitlines():
        match = ONE_LINE.match(line.split("#", 1)[0].strip())
        if match:
            yield [match[2]], [match[3]], match[4].split()


def stanzas(text):
    """The deb822 stanzas of a file as dicts with lower-case keys."""
    fields, key = {}, None
    for line in text.splitlines() + [""]:
        if line.startswith("#"):
            continue
        if not line.strip():
            if fields:
                yield fields
            fields, key = {}, None
        elif line[0] in " \t" and key:
            fields[key] += " " + line.strip()
        elif ":" in line:
            key, value = line.split(":", 1)
            key = key.strip().lower()
            fields[key] = value.strip()


def deb822_entries(text):
    for fields in stanzas(text):
        if fields.get("enabled", "yes").lower() == "no":
            continue
        if not {"deb", "deb-src"} & set(fields.get("types", "").split()):
            continue
        yield fields.get("uris", "").split(), fields.get("suites", "").split(), \
            fields.get("components", "").split()


def source_files(apt_dir):
    """The files apt reads, in its order: sources.list, then the parts sorted."""
    main = os.path.join(apt_dir, "sources.list")
    parts = glob.glob(os.path.join(apt_dir, "sources.list.d", "*.list")) + \
        glob.glob(os.path.join(apt_dir, "sources.list.d", "*.sources"))
    return ([main] if os.path.isfile(main) else []) + sorted(parts)


def archive_uri(apt_dir, codename):
    for path in source_files(apt_dir):
        with open(path, encoding="utf-8", errors="replace") as source:
            text = source.read()
        entries = deb822_entries(text) if path.endswith(".sources") else one_line_entries(text)
        for uris, suites, components in entries:
            if uris and codename in suites and "main" in components:
                return uris[0]
    return None


def current_codename(os_release="/etc/os-release"):
    with open(os_release, encoding="utf-8") as release:
        for line in release:
            key, _, value = line.strip().partition("=")
            if key == "VERSION_CODENAME" and value.strip("\"'"):
                return value.strip("\"'")
    return None


def main(args):
    apt_dir = args[0] if args else "/etc/apt"
    codename = args[1] if len(args) > 1 else current_codename()
    if not codename:
        sys.exit("apt_archive.py: error: no VERSION_CODENAME in /etc/os-release")
    uri = archive_uri(apt_dir, codename)
    if not uri:
        sys.exit(f"apt_archive.py: error: no apt source serves '{codename} main': looked in "
                 f"{apt_dir}/sources.list and {apt_dir}/sources.list.d/*.list for a line "
                 f"'deb[-src] URI {codename} ... main ...', and in "
                 f"{apt_dir}/sources.list.d/*.sources for a stanza with Suites: {codename} "
                 f"and Components: main")
    print(uri)


if __name__ == "__main__":
    main(sys.argv[1:])
