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

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "installer"))
from gen_installer import msi_version  # noqa: E402

problems = []


def check_dll(data, version, what):
    """The fixed file and product versions, and the texts a user reads."""
    at = data.find(struct.pack("<I", 0xFEEF04BD))
    if at < 0:
        problems.append("%s: no version resource" % what)
    else:
        ms, ls, pms, pls = struct.unpack_from("<4I", data, at + 8)
        found = ["%d.%d.%d.%d" % (hi >> 16, hi & 0xFFFF, lo >> 16, lo & 0xFFFF) for hi, lo in ((ms, ls), (pms, pls))]
        if found != [version, version]:
            problems.append("%s: file/product version %s/%s, expected %s" % (what, found[0], found[1], version))
    major, minor, _, tweak = version.split(".")
    text = "%s.%02d.%04d" % (int(major), int(minor), int(tweak))
    for field in ("FileVersion", "ProductVersion"):
        at = data.find((field + "\0").encode("utf-16-le"))
        if at < 0 or data.find(text.encode("utf-16-le"), at, at + 80) < 0:
            problems.append("%s: %s text is not %s" % (what, field, text))


def msi_product_version(path):
    try:
        out = subprocess.run(["msiinfo", "export", path, "Property"], capture_output=True, text=True, check=True).stdout
    except (OSError, subprocess.CalledProcessError) as error:
        return str(error)
    return next((v.strip() for n, _, v in (l.partition("\t") for l in out.splitlines()) if n == "ProductVersion"), None)


def main():
    version, build = sys.argv[1], sys.argv[2]
    name = "zuvXCHandler-" + version
    for arch, bin_dir in (("x64", "bin"), ("x86", os.path.join("i686", "bin"))):
        dll = os.path.join(build, bin_dir, "zuvXCHandler.dll")
        check_dll(open(dll, "rb").read(), version, dll)
        msi = os.path.join(build, "installer", "%s-%s.msi" % (name, arch))
        found = msi_product_version(msi)
        if found != msi_version(version):
            problems.append("%s: ProductVersion %s, expected %s" % (msi, found, msi_version(version)))
    zip_path = os.path.join(build, name + ".zip")
    if not os.path.exists(zip_path):
        problems.append("no package named %s" % zip_path)
    else:
        package = zipfile.ZipFile(zip_path)
        names = set(package.namelist())
        for entry in ("x64/zuvXCHandler.dll", "x86/zuvXCHandler.dll", "zuvXCHandler.sxs.manifest", name + "-x64.msi",
                      name + "-x86.msi", "include/zuvXCHandler.idl", "include/zuvXCHandler.h", "include/zuvXCHandler_i.c",
                      "include/commandbars.h", "include/collection.h", "README.txt", "examples/demo.cpp"):
            if name + "/" + entry not in names:
                problems.append("%s lacks %s" % (zip_path, entry))
        read = lambda entry: package.read(name + "/" + entry) if name + "/" + entry in names else None
        for arch in ("x64", "x86"):
            if read(arch + "/zuvXCHandler.dll") is not None:
                check_dll(read(arch + "/zuvXCHandler.dll"), version, "%s/%s/zuvXCHandler.dll" % (name, arch))
        manifest = read("zuvXCHandler.sxs.manifest")
        if manifest is not None and ("version=\"%s\"" % version).encode() not in manifest:
            problems.append("%s/zuvXCHandler.sxs.manifest: assembly version is not %s" % (name, version))
        if read("README.txt") is not None and version.encode() not in read("README.txt").splitlines()[0]:
            problems.append("%s/README.txt: first line does not name %s" % (name, version))
    for problem in problems:
        print(problem)
    print("%d problem(s)" % len(problems))
    if not problems:
        print("PASS")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
