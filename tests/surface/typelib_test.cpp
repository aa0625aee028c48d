// The embedded type library of every build of the component, compared with
// the published interface: library attributes, every type with its kind,
// identifier and flags, every function with its vtable slot, dispatch id,
// parameters and types, the enumerations, the classes and the aliases.
#include <windows.h>
#include <oleauto.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>

#include "surface_test_paths.h"
#include "typelib_render.h"
#include "vtable_layout.h"

namespace zuv::test {
namespace {

struct Build {
    const char* label;
    const wchar_t* path;
    SYSKIND syskind;
    // Folder of the stand-in libraries built for the library's own pointer
    // size, when it differs from this process' (see TypeLibrary::SetUp).
    const wchar_t* foreign_imports;
};

void PrintTo(const Build& build, std::ostream* out) { *out << build.label; }

std::vector<Build> Builds() {
    std::vector<Build> builds{{sizeof(void*) == 8 ? "x86_64" : "i686", ZUV_TEST_DLL,
                               sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32, nullptr}};
    if (*ZUV_TEST_DLL_I686) builds.push_back({"i686", ZUV_TEST_DLL_I686, SYS_WIN32, ZUV_TEST_IMPORTS_I686});
    return builds;
}

// ---- expected library ----------------------------------------------------------

const char* const kInventory[] = {
    "ALIAS xToolBar___v0 {0483A138-1DCD-4B0A-8672-C01D0D325DD5} [hidden]",
    "ALIAS xToolBar___v1 {B5AAE547-AE84-4B3B-966E-4395C9A60C31} [hidden]",
    "COCLASS xMenu {5DF0B27A-E1CB-40BC-B521-12E1805C0CE3} [cancreate]",
    "COCLASS xMenuCollection {0FB8CFE1-B3CB-4C54-A428-8CDD16447BD2} []",
    "COCLASS xToolBar {9115BB77-0469-4418-AF95-72AD97AA0914} [cancreate]",
    "COCLASS xToolBarCollection {69BA2650-7DBE-4FE7-AFCD-FFAC0A005284} []",
    "DISPATCH __xMenu {BA3D4B30-D264-40A0-B036-5B73F9E20C80} [hidden,nonextensible,dispatchable]",
    "DISPATCH __xToolBar {E06C0BF2-C35B-4B86-9E1A-944D6A44B463} [hidden,nonextensible,dispatchable]",
    "DISPATCH _xMenu {B9BA865F-1693-4B49-914C-69928F3D0987} "
    "[hidden,dual,nonextensible,oleautomation,dispatchable]",
    "DISPATCH _xMenuCollection {7839EC36-94E8-49B8-BC5A-7BB4F43B9D02} "
    "[hidden,dual,nonextensible,oleautomation,dispatchable]",
    "DISPATCH _xToolBar {C771E279-92EF-4169-9B82-85CD3D06CDAB} "
    "[hidden,dual,nonextensible,oleautomation,dispatchable]",
    "DISPATCH _xToolBarCollection {B91F6FBD-57F9-4BA0-8E84-CBA707CDA50F} "
    "[hidden,dual,nonextensible,oleautomation,dispatchable]",
    "ENUM xMenuCustomErrorNo {BEDC372B-C2C9-4618-91D2-C75741767A70} []",
    "ENUM xMenuShortCutFirstKeys {18F3D3A6-8C06-4ED1-9F0C-64FAB632D9D4} []",
    "ENUM xMenuShortCutSecondKeys {878C57A4-DA20-4F05-A824-4CDA4D514BB6} []",
    "ENUM xToolBarCustomErrorNo {E2728512-8E2C-4961-9BD3-F902E400BA17} []",
    "ENUM xToolBarValue {6AF53C0E-CDDE-4AA0-A230-C4B09467DABE} []",
};

// Vtable face of each dual interface: slot, kind, name, dispatch id,
// parameters.  Slots 0-6 are IDispatch's; a missing slot number is a
// reserved entry that the library does not describe.
const std::vector<std::string> kMenuFunctions = {
    "7 get SubMenus 0x40030019 ([out,retval] _xMenuCollection**)",
    "9 putref SubMenus 0x40030019 ([in] _xMenuCollection*)",
    "10 get ArrayMenu 0x0 ([out,retval] _xMenuCollection**)",
    "12 putref ArrayMenu 0x0 ([in] _xMenuCollection*)",
    "13 put Caption -517 ([in] BSTR)",
    "14 get Caption -517 ([out,retval] BSTR*)",
    "15 put Key 0x68030017 ([in] BSTR)",
    "16 get Key 0x68030017 ([out,retval] BSTR*)",
    "17 put Tag 0x68030016 ([in] BSTR)",
    "18 get Tag 0x68030016 ([out,retval] BSTR*)",
    "19 put ID 0x68030015 ([in] long)",
    "20 get ID 0x68030015 ([out,retval] long*)",
    "21 get Count 0x68030014 ([out,retval] short*)",
    "22 put Checked 0x68030013 ([in] VARIANT_BOOL)",
    "23 get Checked 0x68030013 ([out,retval] VARIANT_BOOL*)",
    "24 put Enabled 0x68030012 ([in] VARIANT_BOOL)",
    "25 get Enabled 0x68030012 ([out,retval] VARIANT_BOOL*)",
    "26 put Visible 0x68030011 ([in] VARIANT_BOOL)",
    "27 get Visible 0x68030011 ([out,retval] VARIANT_BOOL*)",
    "28 put WindowsList 0x68030010 ([in] VARIANT_BOOL)",
    "29 get WindowsList 0x68030010 ([out,retval] VARIANT_BOOL*)",
    "30 put MaxButton 0x6803000F ([in] VARIANT_BOOL)",
    "31 get MaxButton 0x6803000F ([out,retval] VARIANT_BOOL*)",
    "32 put MinButton 0x6803000E ([in] VARIANT_BOOL)",
    "33 get MinButton 0x6803000E ([out,retval] VARIANT_BOOL*)",
    "34 put ControlBox 0x6803000D ([in] VARIANT_BOOL)",
    "35 get ControlBox 0x6803000D ([out,retval] VARIANT_BOOL*)",
    "36 put MenuSeperator 0x6803000C ([in] VARIANT_BOOL)",
    "37 get MenuSeperator 0x6803000C ([out,retval] VARIANT_BOOL*)",
    "38 put ShortCutFirstKey 0x6803000B ([in] xMenuShortCutFirstKeys)",
    "39 get ShortCutFirstKey 0x6803000B ([out,retval] xMenuShortCutFirstKeys*)",
    "40 put ShortCutSecondKey 0x6803000A ([in] xMenuShortCutSecondKeys)",
    "41 get ShortCutSecondKey 0x6803000A ([out,retval] xMenuShortCutSecondKeys*)",
    "42 put IsArray 0x68030009 ([in] VARIANT_BOOL)",
    "43 get IsArray 0x68030009 ([out,retval] VARIANT_BOOL*)",
    "44 putref ArrayParent 0x68030008 ([in] _xMenu*)",
    "45 get ArrayParent 0x68030008 ([out,retval] _xMenu**)",
    "46 put IsArrayChild 0x68030007 ([in] VARIANT_BOOL)",
    "47 get IsArrayChild 0x68030007 ([out,retval] VARIANT_BOOL*)",
    "48 put ArrayIndex 0x68030006 ([in] short)",
    "49 get ArrayIndex 0x68030006 ([out,retval] short*)",
    "50 put StartID 0x68030005 ([in] long)",
    "51 get StartID 0x68030005 ([out,retval] long*)",
    "52 put ArrayCount 0x68030004 ([in] short)",
    "53 get ArrayCount 0x68030004 ([out,retval] short*)",
    "54 put IsArrayBaseZero 0x68030003 ([in] VARIANT_BOOL)",
    "55 get IsArrayBaseZero 0x68030003 ([out,retval] VARIANT_BOOL*)",
    "56 get IsMenuDesigned 0x68030002 ([out,retval] VARIANT_BOOL*)",
    "57 putref CmdBarControl 0x68030001 ([in] Control*)",
    "58 get CmdBarControl 0x68030001 ([out,retval] Control**)",
    "59 putref CmdBarPopup 0x68030000 ([in] Popup*)",
    "60 get CmdBarPopup 0x68030000 ([out,retval] Popup**)",
    "61 method RenderMenu 0x6003001C ([in,out] CommandBars** CmdBars, [out,retval] VARIANT_BOOL*)",
    "62 method GetMenu 0x6003001E ([in] long ID, [out,retval] _xMenu**)",
    "63 method GetMenuFromSubMenu 0x6003001F ([in,out] _xMenu** objMenu, [in] long ID, [out,retval] _xMenu**)",
    "64 method RaiseClickEvent 0x60030020 ([in,opt,def=-1] short Index, [out,retval] VARIANT*)",
    "65 method GetMenuList 0x60030022 ([in,out] _Collection** MenuList, [out,retval] VARIANT_BOOL*)",
};

const std::vector<std::string> kMenuCollectionFunctions = {
    "7 method Add 0x60030001 ([in,out] _xMenu** objMenu, [in,out,opt] BSTR* sKey, [out,retval] _xMenu**)",
    "8 get Item 0x0 ([in] VARIANT vntIndexKey, [out,retval] _xMenu**)",
    "9 get Count 0x68030000 ([out,retval] long*)",
    "10 method Remove 0x60030002 ([in,out] VARIANT* vntIndexKey)",
    "11 get NewEnum -4 hidden ([out,retval] IUnknown**)",
};

const std::vector<std::string> kToolBarFunctions = {
    "7 get Buttons 0x40030015 ([out,retval] _xToolBarCollection**)",
    "9 putref Buttons 0x40030015 ([in] _xToolBarCollection*)",
    "10 putref Parent 0x68030014 ([in] _xToolBar*)",
    "11 get Parent 0x68030014 ([out,retval] _xToolBar**)",
    "12 get ButtonMenus 0x68030013 ([out,retval] _xToolBarCollection**)",
    "13 put Value 0x68030012 ([in] xToolBarValue)",
    "14 get Value 0x68030012 ([out,retval] xToolBarValue*)",
    "15 put StartID 0x68030011 ([in] long)",
    "16 get StartID 0x68030011 ([out,retval] long*)",
    "17 put Left 0x68030010 ([in] long)",
    "18 get Left 0x68030010 ([out,retval] long*)",
    "19 put Top 0x6803000F ([in] long)",
    "20 get Top 0x6803000F ([out,retval] long*)",
    "21 put Width 0x6803000E ([in] long)",
    "22 get Width 0x6803000E ([out,retval] long*)",
    "23 put Height 0x6803000D ([in] long)",
    "24 get Height 0x6803000D ([out,retval] long*)",
    "25 put Caption -517 ([in] BSTR)",
    "26 get Caption -517 ([out,retval] BSTR*)",
    "27 put Text 0x6803000C ([in] BSTR)",
    "28 get Text 0x6803000C ([out,retval] BSTR*)",
    "29 put TooltipText 0x6803000B ([in] BSTR)",
    "30 get TooltipText 0x6803000B ([out,retval] BSTR*)",
    "31 put Key 0x6803000A ([in] BSTR)",
    "32 get Key 0x6803000A ([out,retval] BSTR*)",
    "33 put Tag 0x68030009 ([in] BSTR)",
    "34 get Tag 0x68030009 ([out,retval] BSTR*)",
    "35 put ID 0x68030008 ([in] long)",
    "36 get ID 0x68030008 ([out,retval] long*)",
    "37 put ToolBarID 0x68030007 ([in] long)",
    "38 get ToolBarID 0x68030007 ([out,retval] long*)",
    "39 put Checked 0x68030006 ([in] VARIANT_BOOL)",
    "40 get Checked 0x68030006 ([out,retval] VARIANT_BOOL*)",
    "41 put Enabled 0x68030005 ([in] VARIANT_BOOL)",
    "42 get Enabled 0x68030005 ([out,retval] VARIANT_BOOL*)",
    "43 put Visible 0x68030004 ([in] VARIANT_BOOL)",
    "44 get Visible 0x68030004 ([out,retval] VARIANT_BOOL*)",
    "45 put ToolBarSeperator 0x68030003 ([in] VARIANT_BOOL)",
    "46 get ToolBarSeperator 0x68030003 ([out,retval] VARIANT_BOOL*)",
    "47 get IsToolBarDesigned 0x68030002 ([out,retval] VARIANT_BOOL*)",
    "48 method RenderToolBar 0x60030019 ([in,out] CommandBars** CmdBars, [out,retval] VARIANT_BOOL*)",
    "49 method GetToolBar 0x6003001B ([in] long ID, [out,retval] _xToolBar**)",
    "50 method GetToolBarFromSubToolBar 0x6003001C "
    "([in,out] _xToolBar** objToolbar, [in] long ID, [out,retval] _xToolBar**)",
    "51 method RaiseClickEvent 0x6003001D ([in] _xToolBar* objIco, [out,retval] VARIANT*)",
    "52 putref CmdBarButton 0x6803001F ([in] Button*)",
    "53 get CmdBarButton 0x6803001F ([out,retval] Button**)",
    "54 putref CmdBarPopup 0x6803001E ([in] Popup*)",
    "55 get CmdBarPopup 0x6803001E ([out,retval] Popup**)",
};

const std::vector<std::string> kToolBarCollectionFunctions = {
    "7 method Add 0x60030001 ([in,out] _xToolBar** objToolbar, [in,out,opt] BSTR* sKey, [out,retval] _xToolBar**)",
    "8 get Item 0x0 ([in] VARIANT vntIndexKey, [out,retval] _xToolBar**)",
    "9 get Count 0x68030000 ([out,retval] long*)",
    "10 method Remove 0x60030002 ([in,out] VARIANT* vntIndexKey)",
    "11 get NewEnum -4 hidden ([out,retval] IUnknown**)",
};

struct DualInterface {
    const char* name;
    const char* iid;
    UINT entries;
    const std::vector<std::string>* functions;
};

const DualInterface kDualInterfaces[] = {
    {"_xMenu", "{B9BA865F-1693-4B49-914C-69928F3D0987}", 66, &kMenuFunctions},
    {"_xMenuCollection", "{7839EC36-94E8-49B8-BC5A-7BB4F43B9D02}", 12, &kMenuCollectionFunctions},
    {"_xToolBar", "{C771E279-92EF-4169-9B82-85CD3D06CDAB}", 56, &kToolBarFunctions},
    {"_xToolBarCollection", "{B91F6FBD-57F9-4BA0-8E84-CBA707CDA50F}", 12, &kToolBarCollectionFunctions},
};

struct NamedLines {
    const char* name;
    std::vector<std::string> lines;
};

const NamedLines kEvents[] = {
    {"__xMenu",
     {"event Click 0x00000001 ()", "event ArrayClick 0x00000002 ([in] short Index)",
      "event CustomError 0x00000003 ([in] short CustomErrNo, [in] BSTR CustomErrMessage)",
      "event SystemError 0x00000004 ([in] long SystemErrNo, [in] BSTR SystemErrMessage)"}},
    {"__xToolBar",
     {"event ButtonClick 0x00000001 ([in] _xToolBar* Button)",
      "event ButtonMenuClick 0x00000002 ([in] _xToolBar* ButtonMenu)",
      "event CustomError 0x00000003 ([in] short CustomErrNo, [in] BSTR CustomErrMessage)",
      "event SystemError 0x00000004 ([in] long SystemErrNo, [in] BSTR SystemErrMessage)"}},
};

const NamedLines kEnums[] = {
    {"xMenuShortCutFirstKeys", {"None = 0", "CTRL = 8", "ALT = 16", "SHIFT = 4"}},
    {"xMenuShortCutSecondKeys",
     {"None = 0",      "Backspace = 8",   "TabKey = 9",       "Escape = 27",    "SpaceKey = 32",
      "EndKey = 35",   "Home = 36",       "LeftArrowKey = 37", "UpArrowKey = 38", "RightArrowKey = 39",
      "DownArrowKey = 40", "Insert = 45", "Delete = 46",      "Multiply = 106", "Add = 107",
      "Seperator = 108", "Subtract = 109", "DecimalKey = 110", "Divide = 111",   "F1 = 112",
      "F2 = 113",      "F3 = 114",        "F4 = 115",         "F5 = 116",       "F6 = 117",
      "F7 = 118",      "F8 = 119",        "F9 = 120",         "F10 = 121",      "F11 = 122",
      "F12 = 123"}},
    {"xMenuCustomErrorNo", {"None = 0", "CanNotSetProperty = 1", "ObjectNotCreated = 2", "ArrayCountOverflow = 3"}},
    {"xToolBarCustomErrorNo",
     {"None = 0", "CanNotSetProperty = 1", "ObjectNotCreated = 2", "ArrayCountOverflow = 3"}},
    {"xToolBarValue", {"tblUnPressed = 0", "tblPressed = 1"}},
};

const NamedLines kClasses[] = {
    {"xMenu",
     {"[default] _xMenu {B9BA865F-1693-4B49-914C-69928F3D0987}",
      "[default,source] __xMenu {BA3D4B30-D264-40A0-B036-5B73F9E20C80}"}},
    {"xMenuCollection", {"[default] _xMenuCollection {7839EC36-94E8-49B8-BC5A-7BB4F43B9D02}"}},
    {"xToolBar",
     {"[default] _xToolBar {C771E279-92EF-4169-9B82-85CD3D06CDAB}",
      "[] xToolBar___v0 {0483A138-1DCD-4B0A-8672-C01D0D325DD5}",
      "[default,source] __xToolBar {E06C0BF2-C35B-4B86-9E1A-944D6A44B463}",
      "[source] xToolBar___v1 {B5AAE547-AE84-4B3B-966E-4395C9A60C31}"}},
    {"xToolBarCollection", {"[default] _xToolBarCollection {B91F6FBD-57F9-4BA0-8E84-CBA707CDA50F}"}},
};

const char* const kIDispatchBase = "[] IDispatch {00020400-0000-0000-C000-000000000046}";

// Line-by-line comparison: every differing line is reported on its own.
void ExpectLines(const std::vector<std::string>& actual, const std::vector<std::string>& expected) {
    for (size_t i = 0; i < std::max(actual.size(), expected.size()); ++i)
        EXPECT_EQ(i < actual.size() ? actual[i] : "<none>", i < expected.size() ? expected[i] : "<none>")
            << "line " << i;
}

class TypeLibrary : public ::testing::TestWithParam<Build> {
protected:
    void SetUp() override {
        // References into imported libraries resolve through the imported
        // library's registration for the importing library's pointer size,
        // else through the import's file name on the search path.  The test
        // prefix registers the stand-ins for this process' size only: for the
        // other architecture's library, its own stand-ins are found in the
        // current directory.
        if (const wchar_t* folder = GetParam().foreign_imports) {
            wchar_t previous[MAX_PATH];
            DWORD n = GetCurrentDirectoryW(MAX_PATH, previous);
            ASSERT_TRUE(n > 0 && n < MAX_PATH);
            previous_directory_ = previous;
            ASSERT_TRUE(SetCurrentDirectoryW(folder)) << Narrow(folder);
        }
        ASSERT_EQ(LoadTypeLibEx(GetParam().path, REGKIND_NONE, lib_.Out()), S_OK) << Narrow(GetParam().path);
    }
    void TearDown() override {
        lib_ = nullptr;
        if (!previous_directory_.empty()) SetCurrentDirectoryW(previous_directory_.c_str());
    }

    ComPtr<ITypeInfo> ByName(const std::string& name) {
        for (UINT i = 0, n = lib_->GetTypeInfoCount(); i < n; ++i) {
            ComPtr<ITypeInfo> info;
            if (SUCCEEDED(lib_->GetTypeInfo(i, info.Out())) && NameOf(info.Get()) == name) return info;
        }
        ADD_FAILURE() << "no type named " << name;
        return {};
    }

    ComPtr<ITypeLib> lib_;
    std::wstring previous_directory_;
};

// ---- tests ---------------------------------------------------------------------

TEST_P(TypeLibrary, LibraryAttributesAndTypes) {
    TLIBATTR* attr = nullptr;
    ASSERT_EQ(lib_->GetLibAttr(&attr), S_OK);
    EXPECT_EQ(GuidText(attr->guid), "{E6E8AD39-7197-493C-AB54-FF584058D9BF}");
    EXPECT_EQ(attr->lcid, 0x409u);
    EXPECT_EQ(attr->wMajorVerNum * 100 + attr->wMinorVerNum, 101);
    EXPECT_EQ(attr->syskind, GetParam().syskind);
    lib_->ReleaseTLibAttr(attr);
    Bstr name, doc, helpfile;
    DWORD context = 1;
    ASSERT_EQ(lib_->GetDocumentation(-1, name.Out(), doc.Out(), &context, helpfile.Out()), S_OK);
    EXPECT_EQ(Narrow(name.Get()) + "|" + Narrow(doc.Get()), "zuvXCHandler|Velmora Xtreame Command Bar Handler");
    EXPECT_EQ(context, 0u);
    EXPECT_EQ(helpfile.Get(), nullptr);

    std::vector<std::string> types;
    for (UINT i = 0, n = lib_->GetTypeInfoCount(); i < n; ++i) {
        ComPtr<ITypeInfo> info;
        ASSERT_EQ(lib_->GetTypeInfo(i, info.Out()), S_OK);
        types.push_back(TypeLine(info.Get()));
    }
    std::sort(types.begin(), types.end());
    ExpectLines(types, std::vector<std::string>(std::begin(kInventory), std::end(kInventory)));
}

TEST_P(TypeLibrary, DualInterfacesKeepEveryVtableSlot) {
    // Function offsets come scaled to this process' pointers (see
    // FunctionText); the table size is reported as the library stores it.
    const UINT library_pointer = GetParam().syskind == SYS_WIN64 ? 8 : 4;
    for (const DualInterface& itf : kDualInterfaces) {
        SCOPED_TRACE(itf.name);
        ComPtr<ITypeInfo> dispatch = ByName(itf.name);
        ASSERT_TRUE(dispatch);
        EXPECT_EQ(GuidText(AttrOf(dispatch.Get()).guid), itf.iid);
        EXPECT_EQ(ImplTypesText(dispatch.Get()), std::vector<std::string>{kIDispatchBase});
        ComPtr<ITypeInfo> vtable = VtableFace(dispatch.Get());
        ASSERT_TRUE(vtable) << "no vtable face";
        TYPEATTR attr = AttrOf(vtable.Get());
        EXPECT_EQ(attr.typekind, TKIND_INTERFACE);
        EXPECT_EQ(GuidText(attr.guid), itf.iid);
        EXPECT_EQ(attr.cbSizeVft, itf.entries * library_pointer);
        EXPECT_EQ(ImplTypesText(vtable.Get()), std::vector<std::string>{kIDispatchBase});
        ExpectLines(Functions(vtable.Get()), *itf.functions);
    }
}

// The C++ interfaces the component implements put the same functions in the
// same slots, reserved entries included.
TEST_P(TypeLibrary, GeneratedHeaderMatchesTheVtableOffsets) {
    for (const DualInterface& itf : kDualInterfaces) EXPECT_EQ(HeaderEntries(itf.name), itf.entries) << itf.name;
    for (const HeaderSlot& slot : HeaderSlots()) {
        SCOPED_TRACE(std::string(slot.interface_name) + " " + slot.kind + " " + slot.member);
        ComPtr<ITypeInfo> vtable = VtableFace(ByName(slot.interface_name).Get());
        ASSERT_TRUE(vtable);
        std::string found;
        for (const std::string& line : Functions(vtable.Get()))
            if (std::stoul(line) == slot.slot) found = line;
        if (std::string(slot.kind) == "reserved") {
            EXPECT_EQ(found, "") << "a described function occupies reserved slot " << slot.slot;
        } else {
            const std::string prefix = std::to_string(slot.slot) + " " + slot.kind + " " + slot.member + " ";
            EXPECT_EQ(found.compare(0, prefix.size(), prefix), 0) << "slot " << slot.slot << " holds: " << found;
        }
    }
}

TEST_P(TypeLibrary, EventsEnumerationsClassesAndAliases) {
    for (const NamedLines& events : kEvents) {
        SCOPED_TRACE(events.name);
        ComPtr<ITypeInfo> type = ByName(events.name);
        ASSERT_TRUE(type);
        EXPECT_EQ(ImplTypesText(type.Get()), std::vector<std::string>{kIDispatchBase});
        ExpectLines(Functions(type.Get()), events.lines);
    }
    for (const NamedLines& enumeration : kEnums) {
        SCOPED_TRACE(enumeration.name);
        ComPtr<ITypeInfo> type = ByName(enumeration.name);
        ASSERT_TRUE(type);
        EXPECT_EQ(AttrOf(type.Get()).cbSizeInstance, 4u);
        ExpectLines(EnumText(type.Get()), enumeration.lines);
    }
    for (const NamedLines& cls : kClasses) {
        SCOPED_TRACE(cls.name);
        ComPtr<ITypeInfo> type = ByName(cls.name);
        ASSERT_TRUE(type);
        ExpectLines(ImplTypesText(type.Get()), cls.lines);
    }
    // The earlier identifiers are aliases of the current interfaces.
    for (auto [alias, target] : {std::pair{"xToolBar___v0", "_xToolBar"}, std::pair{"xToolBar___v1", "__xToolBar"}}) {
        ComPtr<ITypeInfo> type = ByName(alias);
        ASSERT_TRUE(type);
        EXPECT_EQ(TypeText(type.Get(), AttrOf(type.Get()).tdescAlias), target);
    }
}

INSTANTIATE_TEST_SUITE_P(Builds, TypeLibrary, ::testing::ValuesIn(Builds()),
                         [](const ::testing::TestParamInfo<Build>& info) { return std::string(info.param.label); });

}  // namespace
}  // namespace zuv::test
