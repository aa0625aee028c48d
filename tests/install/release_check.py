#!/usr/bin/env python3
"""release_check.py VERSION BUILD_DIR: the release package carries VERSION
everywhere -- its name, the version resources of both DLLs (inside the zip
and in the build), the MSI product versions -- and everything it promises.
Prints one line per problem; exit status 1 when there is one."""
import os
import struct
import subprocess
import sys
import zipfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "..", "installer"))
from gen_installer import msi_version  # noqa: E402

problems = []


def fixed_versions(data, what):
    """(file version, product version) of the VS_FIXEDFILEINFO in a PE image."""
    at = data.find(struct.pack("<I", 0xFEEF04BD))
    if at < 0:
        problems.append("%s: no version resource" % what)
        return None
    ms, ls, pms, pls = struct.unpack_from("<4I", data, at + 8)
    as_text = lambda hi, lo: "%d.%d.%d.%d" % (hi >> 16, hi & 0xFFFF, lo >> 16, lo & 0xFFFF)
    return as_text(ms, ls), as_text(pms, pls)


def display_text(version):
    major, minor, _, tweak = version.split(".")
    return "%s.%02d.%04d" % (int(major), int(minor), int(tweak))


def check_dll(data, version, what):
    found = fixed_versions(data, what)
    if found and found != (version, version):
        problems.append("%s: file/product version %s/%s, expected %s" % (what, found[0], found[1], version))
    for field in ("FileVersion", "ProductVersion"):
        entry = (field + "\0").encode("utf-16-le")
        at = data.find(entry)
        text = display_text(version).encode("utf-16-le")
        if at < 0 or data.find(text, at, at + 80) < 0:
            problems.append("%s: %s text is not %s" % (what, field, display_text(version)))


def msi_product_version(path):
    try:
        out = subprocess.run(["msiinfo", "export", path, "Property"], capture_output=True, text=True, check=True).stdout
    except (OSError, subprocess.CalledProcessError) as error:
        problems.append("%s: %s" % (path, error))
        return None
    for line in out.splitlines():
        name, _, value = line.partition("\t")
        if name == "ProductVersion":
            return value.strip()
    return None


def main():
    version, build = sys.argv[1], sys.argv[2]
    name = "zuvXCHandler-" + version
    zip_path = os.path.join(build, name + ".zip")
    for arch, dll in (("x64", os.path.join(build, "bin", "zuvXCHandler.dll")),
                      ("x86", os.path.join(build, "i686", "bin", "zuvXCHandler.dll"))):
        check_dll(open(dll, "rb").read(), version, dll)
        msi = os.path.join(build, "installer", "%s-%s.msi" % (name, arch))
        found = msi_product_version(msi)
        if found != msi_version(version):
            problems.append("%s: ProductVersion %s, expected %s" % (msi, found, msi_version(version)))
    if not os.path.exists(zip_path):
        problems.append("no package named %s" % zip_path)
    else:
        with zipfile.ZipFile(zip_path) as package:
            names = set(package.namelist())
            expected = ["x64/zuvXCHandler.dll", "x86/zuvXCHandler.dll", "zuvXCHandler.sxs.manifest",
                        "%s-x64.msi" % name, "%s-x86.msi" % name, "include/zuvXCHandler.idl",
                        "include/zuvXCHandler.h", "include/zuvXCHandler_i.c", "include/commandbars.h",
                        "include/collection.h", "README.txt", "examples/demo.cpp"]
            for entry in expected:
                if name + "/" + entry not in names:
                    problems.append("%s lacks %s" % (zip_path, entry))
            for arch in ("x64", "x86"):
                entry = "%s/%s/zuvXCHandler.dll" % (name, arch)
                if entry in names:
                    check_dll(package.read(entry), version, entry)
            manifest = name + "/zuvXCHandler.sxs.manifest"
            if manifest in names and ('version="%s"' % version).encode() not in package.read(manifest):
                problems.append("%s: assembly version is not %s" % (manifest, version))
            readme = name + "/README.txt"
            if readme in names and version.encode() not in package.read(readme).splitlines()[0]:
                problems.append("%s: first line does not name %s" % (readme, version))
    for problem in problems:
        print(problem)
    print("%d problem(s)" % len(problems))
    if problems:
        return 1
    print("PASS")
    return 0


if __name__ == "__main__":
    sys.exit(main())
