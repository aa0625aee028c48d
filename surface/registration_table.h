// The component's registry content, written once: DllRegisterServer writes
// it (registration.cpp) and the installer's Registry table is generated from
// it (installer/gen_installer.py reads this file and the IDL's identifiers
// from the generated header), so what regsvr32 and msiexec write cannot
// drift apart.  The install tests compare the two key by key.
//
// An X-macro table: define the entry macros you need, include this file;
// the ones left undefined expand to nothing.  One entry per line (the
// generator reads it line by line), identifiers are the IDL's symbols or
// ones declared here with ZUV_REG_GUID.
//
// Keys are below HKEY_CLASSES_ROOT.  In keys and values, {clsid} {iid}
// {libid} {name} {progid} {version} {path} {proxy} stand for the entry's
// identifiers in registry form, its name, its ProgID, the library version,
// the full path of the DLL and the type-library marshaller.  A value name
// of "" is the key's default value.
//
//   ZUV_REG_GUID(symbol, l, w1, w2, b0..b7)          an identifier of its own
//   ZUV_REG_LIBRARY(libid, major, minor, lcid, help) the type library
//   ZUV_REG_CLASS(clsid, name, progid)               a creatable class
//   ZUV_REG_CLASS_ROW(key, value name, value)        written for every class
//   ZUV_REG_CLASS_KEY(key)                           an empty key, for every class
//   ZUV_REG_INTERFACE(iid, name)                     an interface
//   ZUV_REG_INTERFACE_ROW(key, value name, value)    written for every interface
//
// The type library's own keys are written by RegisterTypeLib from the
// library itself (help string, flags, help directory, path per lcid and
// platform); the installer writes the same from the ZUV_REG_LIBRARY entry.

#ifndef ZUV_REG_GUID
#define ZUV_REG_GUID(symbol, l, w1, w2, b0, b1, b2, b3, b4, b5, b6, b7)
#endif
#ifndef ZUV_REG_LIBRARY
#define ZUV_REG_LIBRARY(libid, major, minor, lcid, help)
#endif
#ifndef ZUV_REG_CLASS
#define ZUV_REG_CLASS(clsid, name, progid)
#endif
#ifndef ZUV_REG_CLASS_ROW
#define ZUV_REG_CLASS_ROW(key, value_name, value)
#endif
#ifndef ZUV_REG_CLASS_KEY
#define ZUV_REG_CLASS_KEY(key)
#endif
#ifndef ZUV_REG_INTERFACE
#define ZUV_REG_INTERFACE(iid, name)
#endif
#ifndef ZUV_REG_INTERFACE_ROW
#define ZUV_REG_INTERFACE_ROW(key, value_name, value)
#endif

// Proxy/stub class of automation-compatible interfaces (type-library marshalling).
ZUV_REG_GUID(kPsOaInterface, 0x00020424, 0x0000, 0x0000, 0xc0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46)

ZUV_REG_LIBRARY(LIBID_zuvXCHandler, 1, 1, 0x409, "Velmora Xtreame Command Bar Handler")

ZUV_REG_CLASS(CLSID_xMenu, "xMenu", "zuvXCHandler.xMenu")
ZUV_REG_CLASS(CLSID_xToolBar, "xToolBar", "zuvXCHandler.xToolBar")

ZUV_REG_CLASS_ROW("CLSID\\{clsid}", "", "{name}")
ZUV_REG_CLASS_ROW("CLSID\\{clsid}\\InprocServer32", "", "{path}")
ZUV_REG_CLASS_ROW("CLSID\\{clsid}\\InprocServer32", "ThreadingModel", "Apartment")
ZUV_REG_CLASS_ROW("CLSID\\{clsid}\\ProgID", "", "{progid}")
ZUV_REG_CLASS_ROW("CLSID\\{clsid}\\VersionIndependentProgID", "", "{progid}")
ZUV_REG_CLASS_ROW("CLSID\\{clsid}\\TypeLib", "", "{libid}")
ZUV_REG_CLASS_ROW("CLSID\\{clsid}\\Version", "", "{version}")
ZUV_REG_CLASS_KEY("CLSID\\{clsid}\\Programmable")
ZUV_REG_CLASS_ROW("{progid}", "", "{name}")
ZUV_REG_CLASS_ROW("{progid}\\Clsid", "", "{clsid}")

ZUV_REG_INTERFACE(IID__xMenu, "_xMenu")
ZUV_REG_INTERFACE(IID__xMenuCollection, "_xMenuCollection")
ZUV_REG_INTERFACE(IID__xToolBar, "_xToolBar")
ZUV_REG_INTERFACE(IID__xToolBarCollection, "_xToolBarCollection")
ZUV_REG_INTERFACE(DIID___xMenu, "__xMenu")
ZUV_REG_INTERFACE(DIID___xToolBar, "__xToolBar")
ZUV_REG_INTERFACE(IID__xToolBar_v0, "xToolBar___v0")
ZUV_REG_INTERFACE(IID___xToolBar_v1, "xToolBar___v1")

ZUV_REG_INTERFACE_ROW("Interface\\{iid}", "", "{name}")
ZUV_REG_INTERFACE_ROW("Interface\\{iid}\\ProxyStubClsid", "", "{proxy}")
ZUV_REG_INTERFACE_ROW("Interface\\{iid}\\ProxyStubClsid32", "", "{proxy}")
ZUV_REG_INTERFACE_ROW("Interface\\{iid}\\TypeLib", "", "{libid}")
ZUV_REG_INTERFACE_ROW("Interface\\{iid}\\TypeLib", "Version", "{version}")

#undef ZUV_REG_GUID
#undef ZUV_REG_LIBRARY
#undef ZUV_REG_CLASS
#undef ZUV_REG_CLASS_ROW
#undef ZUV_REG_CLASS_KEY
#undef ZUV_REG_INTERFACE
#undef ZUV_REG_INTERFACE_ROW
