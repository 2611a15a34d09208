#!/usr/bin/env python3
"""Checks that the release package stands alone: every file its documents
name (a relative link, or a path in backticks such as `docs/kasse.xsd` or
`docs\\kasse.xsd`) is in the package, unless the document says plainly that it
belongs to the source tree, either in the same paragraph or in a paragraph
saying "belong(s) to the source tree" that names the path's folder (`tests/`).
Usage: check-package-refs.py PACKAGE_DIR; prints each stray mention and exits 1.
"""
import pathlib
import re
import sys

# Folders of the source tree and of the package: a path starting with one of
# these is a file mention.
TOP = ("base", "bench", "build", "cmake", "config", "docs", "examples", "fuzz", "host", "boxoffice", "order",
       "platform", "render", "scripts", "tests", "tools", "transport")
CODE_PATH = re.compile(r"`((?:%s)[/\\][^`\s]*)`" % "|".join(TOP))
# A path inside a fenced code block, where it stands without backticks.
BLOCK_PATH = re.compile(r"(?<![\w./\\-])((?:%s)[/\\][^\s`'\"]*)" % "|".join(TOP))
FENCE = re.compile(r"^[ \t]*```[^\n]*\n(.*?)^[ \t]*```", re.S | re.M)
LINK = re.compile(r"\]\(([^)\s#]+)(?:#[^)]*)?\)")
SOURCE_TREE = re.compile(r"source\s+tree")
DECLARED = re.compile(r"belongs?\s+to\s+the\s+source\s+tree")


def paragraphs(text):
    """The paragraphs of the text outside code blocks, then each code block
    whole, with the paths each names."""
    prose = FENCE.sub("\n\n", text)
    parts = [(p, CODE_PATH.findall(p)) for p in re.split(r"\n\s*\n", prose) if p.strip()]
    return parts + [(b, BLOCK_PATH.findall(b)) for b in FENCE.findall(text)]


def check(package):
    problems = []
    for doc in sorted(package.rglob("*.md")):
        text = doc.read_text(encoding="utf-8")
        relative_doc = doc.relative_to(package)
        parts = paragraphs(text)
        declared = [m.rstrip("/\\") for p, mentions in parts if DECLARED.search(p) for m in mentions]
        for paragraph, mentions in parts:
            said_here = SOURCE_TREE.search(paragraph) is not None
            for mention in mentions:
                path = mention.replace("\\", "/").rstrip("/")
                # A placeholder such as fuzz/corpus/<target>/ names a folder.
                path = re.split(r"[<*]", path)[0].rstrip("/")
                if (package / path).exists() or said_here:
                    continue
                if any(path == d or path.startswith(d + "/") for d in declared):
                    continue
                problems.append(f"{relative_doc}: `{mention}` is not in the package")
            for target in LINK.findall(paragraph):
                if re.match(r"[a-z]+:", target):
                    continue
                if not (doc.parent / target).exists():
                    problems.append(f"{relative_doc}: link to {target}, which is not in the package")
    return problems


def main():
    problems = check(pathlib.Path(sys.argv[1]))
    for problem in problems:
        print("package:", problem)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
