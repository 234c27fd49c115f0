"""Finding the archive address in apt's sources, run as set-up runs it, on
sample apt directories."""

import os
import subprocess
import tempfile
import unittest

SCRIPT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "setup",
                      "apt_archive.py")

DEB822 = """\
Types: deb
# snapshot of the security archive, for the record
URIs: file:/srv/security
Suites: bookworm-security
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg

# disabled for now
Types: deb
URIs: file:/srv/old
Suites: bookworm
Components: main
Enabled: no

Types: deb deb-src
# the main archive
URIs: file:/srv/debian
  file:/srv/debian-second
Suites: bookworm bookworm-updates
Components: main contrib
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
"""

CASES = [
    # (name, {file under the apt directory: content}, expected address or None)
    ("one-line entries, comments and suites that are not the codename",
     {"sources.list": "# deb file:/srv/commented bookworm main\n"
                      "deb file:/srv/security bookworm-security main\n"
                      "deb file:/srv/debian bookworm main contrib # the archive\n"
                      "deb file:/srv/later bookworm main\n"},
     "file:/srv/debian"),
    ("deb822 with comments, a disabled stanza and several stanzas",
     {"sources.list.d/debian.sources": DEB822},
     "file:/srv/debian"),
    ("a mirror with options, after a vendor's repository and a disabled file",
     {"sources.list.d/a-vendor.list": "deb file:/srv/vendor vendor-bookworm main\n",
      "sources.list.d/b-contrib.list": "deb file:/srv/contrib bookworm contrib\n",
      "sources.list.d/c-old.list.disabled": "deb file:/srv/disabled bookworm main\n",
      "sources.list.d/d-mirror.list":
          "deb [ arch=amd64 signed-by=/usr/share/keyrings/debian-archive-keyring.gpg ] "
          "mirror+file:/etc/apt/mirrors/debian.list bookworm main\n"},
     "mirror+file:/etc/apt/mirrors/debian.list"),
    ("sources.list comes before the parts",
     {"sources.list": "deb file:/srv/first bookworm main\n",
      "sources.list.d/debian.sources": DEB822},
     "file:/srv/first"),
    ("none for the release's main",
     {"sources.list": "deb file:/srv/debian trixie main\n",
      "sources.list.d/debian.sources": DEB822.replace("bookworm ", "")},
     None),
]


class ArchiveAddress(unittest.TestCase):
    def test_cases(self):
        for name, files, expected in CASES:
            with self.subTest(name), tempfile.TemporaryDirectory() as apt_dir:
                for path, content in files.items():
                    os.makedirs(os.path.dirname(os.path.join(apt_dir, path)), exist_ok=True)
                    with open(os.path.join(apt_dir, path), "w") as source:
                        source.write(content)
                result = subprocess.run([SCRIPT, apt_dir, "bookworm"], capture_output=True,
                                        text=True, timeout=30)
                if expected:
                    self.assertEqual((result.returncode, result.stdout, result.stderr),
                                     (0, expected + "\n", ""))
                else:
                    self.assertEqual((result.returncode, result.stdout), (1, ""))
                    # The error names what was looked for, and where.
                    for part in ("bookworm main", f"{apt_dir}/sources.list.d/*.sources",
                                 f"{apt_dir}/sources.list.d/*.list", "Components: main"):
                        self.assertIn(part, result.stderr)


if __name__ == "__main__":
    unittest.main()
