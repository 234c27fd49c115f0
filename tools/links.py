"""The links of the project's Markdown pages: every relative link must find
its file, and every #anchor a heading of the page it points to, named as
GitHub names a heading's anchor."""

import os
import re

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.normpath(os.path.join(HERE, ".."))
# [text](target) and ![picture](target); a target has no spaces.
LINK = re.compile(r"\[[^\]]*\]\(([^)\s]+)\)")
HEADING = re.compile(r"#{1,6} +(.*?)#* *$")
CODE_SPAN = re.compile(r"`[^`]*`")
# What GitHub leaves of a heading in its anchor: letters, digits, _, - and spaces.
DROPPED = re.compile(r"[^\w\- ]")


def prose(markdown):
    """The page's lines outside fenced and indented code."""
    fenced = False
    for line in markdown.splitlines():
        if line.startswith("```"):
            fenced = not fenced
        elif not fenced and not line.startswith("    "):
            yield line


def slug(heading):
    """A heading's anchor, as GitHub makes it: lower case, links reduced to
    their text, punctuation dropped, spaces made hyphens."""
    text = re.sub(r"\[([^\]]*)\]\([^)]*\)", r"\1", heading)
    return DROPPED.sub("", text.lower()).replace(" ", "-")


def anchors(markdown):
    """Every heading's anchor; a repeated one gets -1, -2... as on GitHub."""
    seen = {}
    out = set()
    for line in prose(markdown):
        match = HEADING.fullmatch(line)
        if match:
            base = slug(match[1])
            count = seen.get(base, 0)
            seen[base] = count + 1
            out.add(f"{base}-{count}" if count else base)
    return out


def targets(markdown):
    """Every link's target outside code."""
    return [target for line in prose(markdown)
            for target in LINK.findall(CODE_SPAN.sub("", line))]


def dead(pages):
    """pages: path to Markdown text. The links that find nothing, as
    'page: target', with files looked up on disk and anchors among pages."""
    found = []
    for page, markdown in pages.items():
        for target in targets(markdown):
            if re.match(r"[a-z]+:", target):
                continue  # another site's page
            path, _, anchor = target.partition("#")
            resolved = os.path.normpath(os.path.join(os.path.dirname(page), path)) if path else page
            if resolved not in pages and not os.path.exists(resolved):
                found.append(f"{page}: {target}")
            elif anchor and resolved.endswith(".md"):
                text = pages.get(resolved)
                if text is None:
                    with open(resolved) as other:
                        text = other.read()
                if anchor not in anchors(text):
                    found.append(f"{page}: {target}")
    return found


def project_pages():
    """README.md and docs/*.md, by path."""
    paths = [os.path.join(ROOT, "README.md")] + sorted(
        os.path.join(ROOT, "docs", name) for name in os.listdir(os.path.join(ROOT, "docs"))
        if name.endswith(".md"))
    pages = {}
    for path in paths:
        with open(path) as page:
            pages[path] = page.read()
    return pages

