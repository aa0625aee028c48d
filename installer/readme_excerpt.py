#!/usr/bin/env python3
"""readme_excerpt.py README.md VERSION OUT: the parts of the README a user
of the release package needs (installing, uninstalling, using it)."""
import re
import sys

SECTIONS = ("Installing", "Using it from a host")


def main():
    source, version, out = sys.argv[1:4]
    text = open(source, encoding="utf-8").read()
    parts = re.split(r"(?m)^## ", text)
    title = parts[0].strip().splitlines()[0].lstrip("# ").strip()
    kept = [p for p in parts[1:] if p.splitlines()[0].strip() in SECTIONS]
    if len(kept) != len(SECTIONS):
        sys.exit("README.md lacks one of the sections: " + ", ".join(SECTIONS))
    with open(out, "w", encoding="utf-8", newline="\r\n") as f:
        f.write("%s %s\n\n" % (title, version))
        f.write(parts[0].strip().split("\n", 1)[1].strip() + "\n\n")
        f.write("".join("## " + p for p in kept))


if __name__ == "__main__":
    main()
