#!/usr/bin/env python3
"""Registry exports (regedit /E of HKEY_LOCAL_MACHINE\\Software\\Classes,
UTF-8) compared the way the install tests need; prints the differences,
exit status 1 when there is one.

  regdiff.py changes BASE A B --view 64|32
      what A adds to BASE equals what B adds, key by key and value by value,
      as a 64- or 32-bit program sees the registry; the installer's own
      bookkeeping (Installer\\...) aside, and a directory value with a
      trailing backslash equal to the same without it.
  regdiff.py same BEFORE AFTER
      the exports are identical, but for the empty keys Windows Installer
      leaves under Installer\\ after its first installation.
"""
import sys

ROOT = "hkey_local_machine\\software\\classes\\"


def parse(path):
    """{key (lower case): {value name (lower case): data}} of an export."""
    keys, current, pending = {}, None, ""
    for raw in open(path, encoding="utf-8", errors="replace").read().splitlines():
        line, pending = pending + raw.strip(), ""
        if line.endswith("\\") and current is not None and not line.startswith("["):
            pending = line[:-1]   # continued on the next line
        elif line.startswith("[") and line.endswith("]"):
            current = line[1:-1].lower()
            keys.setdefault(current, {})
        elif current is not None and "=" in line:
            i = 0 if line.startswith("@") else 1   # "name"=data, quotes and backslashes escaped in the name
            while line.startswith('"') and i < len(line) and line[i] != '"':
                i += 2 if line[i] == "\\" else 1
            name, data = (line[: i + 1], line[i + 2:]) if line.startswith('"') else line.split("=", 1)
            keys[current][name.lower()] = data
    return keys


def view(keys, bits):
    """The keys a 64- or 32-bit program sees, relative to the classes root.
    A 32-bit program sees a top-level key of Wow6432Node where there is one
    (CLSID, Interface, ...) and the shared key otherwise (ProgIDs); where a
    32-bit installer put a ProgID into Wow6432Node, that is what it sees."""
    wow = ROOT + "wow6432node\\"
    redirected = {k[len(wow):]: v for k, v in keys.items() if k.startswith(wow)}
    native = {k[len(ROOT):]: v for k, v in keys.items() if k.startswith(ROOT) and not k.startswith(wow)}
    if bits == "32":
        tops = {k.split("\\")[0] for k in redirected}
        native = {k: v for k, v in native.items() if k.split("\\")[0] not in tops}
        native.update(redirected)
    trailing = lambda d: d[:-3] + '"' if d.endswith('\\\\"') else d
    return {k: {n: trailing(d) for n, d in v.items()} for k, v in native.items() if k.split("\\")[0] != "installer"}


def main():
    if sys.argv[1] == "same":
        a, b = parse(sys.argv[2]), parse(sys.argv[3])
        problems = [("only before", k) for k in sorted(set(a) - set(b))]
        problems += [("only after", k) for k in sorted(set(b) - set(a)) if not (k.startswith(ROOT + "installer") and not b[k])]
        problems += [("values differ", k) for k in sorted(set(a) & set(b)) if a[k] != b[k]]
    else:
        base, bits = view(parse(sys.argv[2]), sys.argv[6]), sys.argv[6]
        a, b = ({k: v for k, v in view(parse(p), bits).items() if base.get(k) != v} for p in sys.argv[3:5])
        problems = [("only in the first", k) for k in sorted(set(a) - set(b))]
        problems += [("only in the second", k) for k in sorted(set(b) - set(a))]
        problems += [("values differ", "%s: %s / %s" % (k, a[k], b[k])) for k in sorted(set(a) & set(b)) if a[k] != b[k]]
        if not a:
            problems.append(("nothing registered", "the first export adds no key"))
    for what, key in problems[:60]:
        print("%s: %s" % (what, key))
    if len(problems) > 60:
        print("... %d more" % (len(problems) - 60))
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
