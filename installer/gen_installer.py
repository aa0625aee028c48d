#!/usr/bin/env python3
"""Generates the installer source and the side-by-side manifest from the
component's registration table (surface/registration_table.h), so that what
the MSI writes is what DllRegisterServer writes.

  gen_installer.py wxs      --table T --header H --version V --arch x64|x86 --bin DIR -o OUT.wxs
  gen_installer.py manifest --table T --header H --version V -o OUT.manifest
  gen_installer.py msiversion V        prints the MSI product version of V

H is the header widl makes from the IDL: the identifiers the table names by
symbol are read from its DEFINE_GUID lines.
"""
import argparse
import os
import re
import sys
import uuid
from xml.sax.saxutils import escape, quoteattr

# Upgrade codes: one product family per architecture, so that the two
# install side by side and each upgrades only its own kind.
UPGRADE_CODE = {
    "x64": "{4C2B8E61-6F0D-4E7B-9D51-0A8C3E27B964}",
    "x86": "{9A17D3C2-58E4-4B6F-A3D0-71E5C9B20F48}",
}
# Component identifiers.  The shared component holds the type library's
# version key (help string, flags, help folder), which 32- and 64-bit
# programs see as one key: both packages carry it under the same identifier,
# so Windows Installer counts its clients and removes it with the last of
# them.  Everything else each package writes in its own registry view.
COMPONENT_ID = {
    "x64": "{E1C5A0B7-3D42-4F6A-8B19-C27D5E0A9F31}",
    "x86": "{7B3E9F12-A6C4-4D85-9E20-5F1B8C6D4A07}",
}
SHARED_COMPONENT_ID = "{3F8D2C61-B7A9-4E15-8C04-D96E1A5B27F3}"
# Further DLLs of the product (--extra-dll) go beside the component, one
# component each, with identifiers derived from the name and architecture
# so that every build gives a file the same one.
COMPONENT_NAMESPACE = uuid.UUID("6B0E3A52-91C4-4F7D-A8E3-2D5C7B914F60")


def extra_component_id(name, arch):
    return "{%s}" % str(uuid.uuid5(COMPONENT_NAMESPACE, "%s/%s" % (arch, name.lower()))).upper()


MANUFACTURER = "Velmora"
PRODUCT = "zuvXCHandler"
DLL = "zuvXCHandler.dll"
HKCR_ROOT = "HKCR"


def read_guids(header):
    """Symbol -> registry-form identifier, from the DEFINE_GUID lines."""
    guids = {}
    pattern = re.compile(r"DEFINE_GUID\((\w+),\s*([^)]*)\)")
    for match in pattern.finditer(open(header, encoding="utf-8").read()):
        guids[match.group(1)] = guid_text(match.group(2).split(","))
    return guids


def guid_text(fields):
    v = [int(f.strip(), 0) for f in fields]
    if len(v) != 11:
        raise ValueError("a GUID has 11 fields: %r" % fields)
    return "{%08X-%04X-%04X-%02X%02X-%s}" % (v[0], v[1], v[2], v[3], v[4], "".join("%02X" % b for b in v[5:]))


def c_string(text):
    """The value of a C string literal (the table uses only \\\\ and \\")."""
    text = text.strip()
    if not (text.startswith('"') and text.endswith('"')):
        raise ValueError("expected a string literal: " + text)
    return re.sub(r'\\(.)', r"\1", text[1:-1])


def split_args(text):
    """The arguments of one table entry, split at commas outside strings."""
    args, current, quoted = [], "", False
    i = 0
    while i < len(text):
        c = text[i]
        if quoted:
            current += c
            if c == "\\":
                current += text[i + 1]
                i += 1
            elif c == '"':
                quoted = False
        elif c == '"':
            quoted, current = True, current + c
        elif c == ",":
            args.append(current.strip())
            current = ""
        else:
            current += c
        i += 1
    args.append(current.strip())
    return args


class Table:
    def __init__(self, path, header):
        self.guids = read_guids(header)
        self.library = None
        self.classes, self.class_rows = [], []
        self.interfaces, self.interface_rows = [], []
        entry = re.compile(r"^(ZUV_REG_\w+)\((.*)\)\s*$")
        for number, line in enumerate(open(path, encoding="utf-8"), 1):
            match = entry.match(line.strip())
            if not match:
                continue
            kind, args = match.group(1), split_args(match.group(2))
            try:
                self.add(kind, args)
            except (ValueError, KeyError, IndexError) as error:
                sys.exit("%s:%d: %s: %s" % (path, number, kind, error))
        if not self.library or not self.classes or not self.interfaces:
            sys.exit("%s: library, classes or interfaces missing" % path)

    def guid(self, symbol):
        if symbol not in self.guids:
            raise KeyError("unknown identifier " + symbol)
        return self.guids[symbol]

    def add(self, kind, args):
        if kind == "ZUV_REG_GUID":
            self.guids[args[0]] = guid_text(args[1:])
        elif kind == "ZUV_REG_LIBRARY":
            self.library = {
                "libid": self.guid(args[0]),
                "version": "%d.%d" % (int(args[1], 0), int(args[2], 0)),
                "lcid": "%x" % int(args[3], 0),
                "help": c_string(args[4]),
            }
        elif kind == "ZUV_REG_CLASS":
            self.classes.append({"clsid": self.guid(args[0]), "name": c_string(args[1]), "progid": c_string(args[2])})
        elif kind == "ZUV_REG_CLASS_ROW":
            self.class_rows.append((c_string(args[0]), c_string(args[1]), c_string(args[2])))
        elif kind == "ZUV_REG_CLASS_KEY":
            self.class_rows.append((c_string(args[0]), "", None))
        elif kind == "ZUV_REG_INTERFACE":
            self.interfaces.append({"iid": self.guid(args[0]), "name": c_string(args[1])})
        elif kind == "ZUV_REG_INTERFACE_ROW":
            self.interface_rows.append((c_string(args[0]), c_string(args[1]), c_string(args[2])))
        else:
            raise ValueError("unknown entry")

    def rows(self, arch):
        """(key, value name, value or None, shared) of everything registered;
        values may hold the installer's [#file] and [INSTALLDIR] references."""
        lib = self.library
        common = {"libid": lib["libid"], "version": lib["version"], "path": "[#%s]" % file_id(DLL),
                  "proxy": self.guids["kPsOaInterface"]}
        out = []
        # The type library, as RegisterTypeLib writes it: the version key
        # is shared by both architectures, the path is per platform.  The
        # flags are the library's (none) plus LIBFLAG_FHASDISKIMAGE, which
        # every library loaded from its file carries.
        base = "TypeLib\\%s\\%s" % (lib["libid"], lib["version"])
        out.append((base, "", lib["help"], True))
        out.append((base + "\\FLAGS", "", "8", True))
        out.append((base + "\\HELPDIR", "", "[INSTALLDIR]", True))
        out.append(("%s\\%s\\%s" % (base, lib["lcid"], "win64" if arch == "x64" else "win32"), "", common["path"], False))
        for entry in self.classes:
            values = dict(common, **entry)
            for key, name, value in self.class_rows:
                key = expand(key, values)
                out.append((key, name, None if value is None else expand(value, values), False))
        for entry in self.interfaces:
            values = dict(common, **entry)
            for key, name, value in self.interface_rows:
                key = expand(key, values)
                out.append((key, name, expand(value, values), False))
        return out


def expand(text, values):
    def one(match):
        if match.group(1) not in values:
            raise KeyError("unknown placeholder {%s}" % match.group(1))
        return values[match.group(1)]
    return re.sub(r"\{(\w+)\}", one, text)


def file_id(name):
    return "file_" + re.sub(r"\W", "_", name)


def msi_version(version):
    """Windows Installer compares only major.minor.build (build < 65536);
    the project's patch and tweak fields become build = patch * 1000 + tweak."""
    parts = [int(p) for p in version.split(".")] + [0, 0, 0]
    major, minor, patch, tweak = parts[:4]
    if major > 255 or minor > 255 or tweak > 999 or patch * 1000 + tweak > 65535:
        sys.exit("version %s does not map to an MSI product version" % version)
    return "%d.%d.%d" % (major, minor, patch * 1000 + tweak)


def registry_xml(rows, indent, keypath=False):
    """keypath: the first value is the component's key path."""
    lines = []
    for key, name, value, _ in rows:
        attrs = 'Root="%s" Key=%s' % (HKCR_ROOT, quoteattr(key))
        if keypath and not lines:
            attrs += ' KeyPath="yes"'
        if value is None:
            # The key alone: created on install, removed with the component.
            lines.append('%s<RegistryValue %s Name="*" Value="" Type="string"/>' % (indent, attrs))
            continue
        if name:
            attrs += " Name=%s" % quoteattr(name)
        lines.append('%s<RegistryValue %s Value=%s Type="string"/>' % (indent, attrs, quoteattr(value)))
    return "\n".join(lines)


def wxs(table, version, arch, bindir, extra_dlls=()):
    """bindir: the DLLs' folder relative to the WiX source (wixl takes
    relative sources only)."""
    win64 = "yes" if arch == "x64" else "no"
    folder = "ProgramFiles64Folder" if arch == "x64" else "ProgramFilesFolder"
    rows = table.rows(arch)
    own = [r for r in rows if not r[3]]
    shared = [r for r in rows if r[3]]
    extra = ""
    for name in extra_dlls:
        extra += """
          <Component Id="%s" Guid="%s" Win64="%s">
            <File Id="%s" Name="%s" Source=%s KeyPath="yes"/>
          </Component>""" % ("comp_" + file_id(name), extra_component_id(name, arch), win64, file_id(name), name,
                              quoteattr(bindir + "/" + name))
    refs = "".join('\n      <ComponentRef Id="%s"/>' % ("comp_" + file_id(n)) for n in extra_dlls)
    return """<?xml version="1.0" encoding="utf-8"?>
<!-- Generated by installer/gen_installer.py from surface/registration_table.h: do not edit. -->
<Wix xmlns="http://schemas.microsoft.com/wix/2006/wi">
  <Product Id="*" Name="{product} ({bits}-bit)" Manufacturer="{manufacturer}" Version="{msiversion}"
           UpgradeCode="{upgrade}" Language="1033">
    <Package InstallerVersion="200" Compressed="yes" InstallScope="perMachine"
             Description="{product} {version} ({bits}-bit)" Comments="{help}"/>
    <MajorUpgrade DowngradeErrorMessage="A newer version of {product} ({bits}-bit) is already installed."/>
    <Media Id="1" Cabinet="product.cab" EmbedCab="yes"/>
    <Property Id="ARPNOMODIFY" Value="1"/>
    <Directory Id="TARGETDIR" Name="SourceDir">
      <Directory Id="{folder}">
        <Directory Id="INSTALLDIR" Name="{product}">
          <Component Id="comp_component" Guid="{component}" Win64="{win64}">
            <File Id="{dllid}" Name="{dll}" Source={source} KeyPath="yes"/>
{own}
          </Component>
          <Component Id="comp_shared" Guid="{shared_id}" Win64="no">
{shared}
          </Component>{extra}
        </Directory>
      </Directory>
    </Directory>
    <Feature Id="Complete" Title="{product}" Level="1">
      <ComponentRef Id="comp_component"/>
      <ComponentRef Id="comp_shared"/>{refs}
    </Feature>
  </Product>
</Wix>
""".format(product=PRODUCT, manufacturer=MANUFACTURER, bits="64" if arch == "x64" else "32",
           msiversion=msi_version(version), version=escape(version), upgrade=UPGRADE_CODE[arch],
           help=escape(table.library["help"]), folder=folder, component=COMPONENT_ID[arch], win64=win64,
           dllid=file_id(DLL), dll=DLL, source=quoteattr(bindir + "/" + DLL), own=registry_xml(own, " " * 12),
           shared_id=SHARED_COMPONENT_ID, shared=registry_xml(shared, " " * 12, keypath=True), extra=extra, refs=refs)


def manifest(table, version):
    lib = table.library
    classes = "\n".join(
        '    <comClass clsid="%s" threadingModel="Apartment" progid=%s tlbid="%s" description=%s/>'
        % (c["clsid"], quoteattr(c["progid"]), lib["libid"], quoteattr(c["name"])) for c in table.classes)
    interfaces = "\n".join(
        '  <comInterfaceExternalProxyStub iid="%s" name=%s tlbid="%s" proxyStubClsid32="%s"/>'
        % (i["iid"], quoteattr(i["name"]), lib["libid"], table.guids["kPsOaInterface"]) for i in table.interfaces)
    return """<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<!-- Generated by installer/gen_installer.py from surface/registration_table.h: do not edit. -->
<assembly xmlns="urn:schemas-microsoft-com:asm.v1" manifestVersion="1.0">
  <assemblyIdentity type="win32" name="{product}.sxs" version="{version}"/>
  <file name="{dll}">
{classes}
    <typelib tlbid="{libid}" version="{libversion}" helpdir=""/>
  </file>
{interfaces}
</assembly>
""".format(product=PRODUCT, version=version, dll=DLL, classes=classes, libid=lib["libid"],
           libversion=lib["version"], interfaces=interfaces)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("what", choices=["wxs", "manifest", "msiversion"])
    parser.add_argument("value", nargs="?")
    parser.add_argument("--table")
    parser.add_argument("--header")
    parser.add_argument("--version")
    parser.add_argument("--arch", choices=["x64", "x86"])
    parser.add_argument("--bin")
    parser.add_argument("--extra-dll", action="append", default=[], help="a further DLL to install beside")
    parser.add_argument("-o", "--output")
    args = parser.parse_args()
    if args.what == "msiversion":
        print(msi_version(args.value))
        return
    if not re.fullmatch(r"\d+(\.\d+){3}", args.version or ""):
        sys.exit("--version must be four numbers")
    table = Table(args.table, args.header)
    if args.what == "wxs":
        args.bin = os.path.relpath(args.bin, os.path.dirname(os.path.abspath(args.output)))
    if args.what == "wxs":
        text = wxs(table, args.version, args.arch, args.bin, args.extra_dll)
    else:
        text = manifest(table, args.version)
    with open(args.output, "w", encoding="utf-8") as out:
        out.write(text)


if __name__ == "__main__":
    main()
