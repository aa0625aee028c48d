#!/usr/bin/env python3
"""Registry exports (regedit /E of HKEY_LOCAL_MACHINE\\Software\\Classes,
UTF-8) compared the way the install tests need.

  regdiff.py changes BASE A B --view 64|32
      what A adds to BASE must equal what B adds to BASE, key by key and
      value by value, as a 64- or 32-bit program sees the registry; the
      installer's own bookkeeping
      (Installer\\...) is not part of it.  A directory value written with a
      trailing backslash equals the same directory without it.
  regdiff.py same BEFORE AFTER
      the two exports are identical, but for the empty containers Windows
      Installer leaves under Installer\ after its first installation.
Prints the differences; exit status 1 when there is one.
"""
import sys

ROOT = "HKEY_LOCAL_MACHINE\\Software\\Classes"


def parse(path):
    """{key (lower case): {value name: data}} of an export."""
    keys, current = {}, None
    pending = ""
    for raw in open(path, encoding="utf-8", errors="replace").read().splitlines():
        line = pending + raw.strip()
        pending = ""
        if line.endswith("\\") and current is not None and not line.startswith("["):
            pending = line[:-1]
            continue
        if line.startswith("[") and line.endswith("]"):
            current = line[1:-1]
            keys.setdefault(current.lower(), {})
        elif current is not None and "=" in line:
            name, _, data = line.partition("=") if line.startswith("@") else split_name(line)
            keys[current.lower()][name.lower()] = data
    return keys


def split_name(line):
    # "name"=data, with quotes and backslashes escaped in the name.
    i = 1
    while i < len(line) and line[i] != '"':
        i += 2 if line[i] == "\\" else 1
    return line[: i + 1], "=", line[i + 2 :]


def view(keys, bits):
    """The keys a 64- or 32-bit program sees, relative to the classes root.
    A 32-bit program sees a top-level key of Wow6432Node where there is one
    (CLSID, Interface, ...) and the shared key otherwise (ProgIDs); where a
    32-bit installer put a ProgID into Wow6432Node, that is what it sees."""
    prefix = ROOT.lower() + "\\"
    wow = prefix + "wow6432node\\"
    native, redirected = {}, {}
    for key, values in keys.items():
        if key.startswith(wow):
            redirected[key[len(wow):]] = values
        elif key.startswith(prefix):
            native[key[len(prefix):]] = values
    if bits == "32":
        tops = {k.split("\\")[0] for k in redirected}
        native = {k: v for k, v in native.items() if k.split("\\")[0] not in tops}
        native.update(redirected)
    return {k: {n: normal(d) for n, d in v.items()} for k, v in native.items()
            if k.split("\\")[0] != "installer"}


def normal(data):
    if data.endswith('\\\\"'):
        return data[:-3] + '"'
    return data


def changes(base, after):
    """Keys added or changed, with their values."""
    return {k: v for k, v in after.items() if base.get(k) != v}


def main():
    if sys.argv[1] == "same":
        a, b = parse(sys.argv[2]), parse(sys.argv[3])
        problems = [("only before", k) for k in sorted(set(a) - set(b))]
        bookkeeping = (ROOT + "\\installer").lower()
        problems += [("only after", k) for k in sorted(set(b) - set(a))
                     if not (k.startswith(bookkeeping) and not b[k])]
        problems += [("values differ", k) for k in sorted(set(a) & set(b)) if a[k] != b[k]]
    else:
        base_path, a_path, b_path, bits = sys.argv[2], sys.argv[3], sys.argv[4], sys.argv[6]
        base = view(parse(base_path), bits)
        a = changes(base, view(parse(a_path), bits))
        b = changes(base, view(parse(b_path), bits))
        problems = [("only in the first", k) for k in sorted(set(a) - set(b))]
        problems += [("only in the second", k) for k in sorted(set(b) - set(a))]
        for k in sorted(set(a) & set(b)):
            if a[k] != b[k]:
                problems.append(("values differ", "%s: %s / %s" % (k, a[k], b[k])))
        if not a:
            problems.append(("nothing registered", "the first export adds no key"))
    for what, key in problems[:60]:
        print("%s: %s" % (what, key))
    if len(problems) > 60:
        print("... %d more" % (len(problems) - 60))
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
