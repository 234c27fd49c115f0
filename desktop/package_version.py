"""Which version of a desktop is run: its program's Debian package, as the
system (or the release's root) that runs it has it installed."""

import re
import subprocess

# An upstream version, without Debian's epoch, revision and repack marks:
# "4:6.3.6-1" is 6.3.6, "8.0~repack-4" is 8.0.
UPSTREAM = re.compile(r"(?:\d+:)?(\d[\d.]*\d|\d)")


def package_version(path, root=""):
    """The upstream version of the package that installed path (as this
    system sees it, inside root where given), or None where dpkg does not
    know the file."""
    if not path:
        return None
    query = ["dpkg-query", f"--admindir={root}/var/lib/dpkg"]
    owner = subprocess.run([*query, "-S", path[len(root):]], capture_output=True, text=True,
                           timeout=30)
    if owner.returncode != 0:
        return None
    package = owner.stdout.split(": ", 1)[0].split(",")[0].strip()
    version = subprocess.run([*query, "-W", "-f=${Version}", package], capture_output=True,
                             text=True, timeout=30).stdout
    match = UPSTREAM.match(version)
    return match[1] if match else None
