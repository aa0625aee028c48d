// The DLL as a file and as a COM server: its version resource (both builds)
// and its class objects and unload answer.
#include <windows.h>
#include <ole2.h>
#include <winver.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/com_test.h"
#include "support/nodes.h"
#include "surface_test_paths.h"
#include "typelib_render.h"

namespace zuv::test {
namespace {

class VersionResource : public ::testing::TestWithParam<const wchar_t*> {
protected:
    void SetUp() override {
        DWORD ignored = 0;
        DWORD size = GetFileVersionInfoSizeW(GetParam(), &ignored);
        ASSERT_NE(size, 0u) << "no version resource in " << Narrow(GetParam());
        data_.resize(size);
        ASSERT_TRUE(GetFileVersionInfoW(GetParam(), 0, size, data_.data()));
    }

    // The string value, or "<missing>".
    std::string Text(const wchar_t* name) {
        std::wstring path = std::wstring(L"\\StringFileInfo\\040904B0\\") + name;
        wchar_t* value = nullptr;
        UINT length = 0;
        if (!VerQueryValueW(data_.data(), path.c_str(), reinterpret_cast<void**>(&value), &length))
            return "<missing>";
        return length ? Narrow(value) : std::string();
    }

    std::vector<BYTE> data_;
};

TEST_P(VersionResource, DescribesTheComponent) {
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(data_.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    ASSERT_GE(length, sizeof(VS_FIXEDFILEINFO));
    EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
    for (DWORD ms : {fixed->dwFileVersionMS, fixed->dwProductVersionMS}) EXPECT_EQ(ms, MAKELONG(6, 5));
    for (DWORD ls : {fixed->dwFileVersionLS, fixed->dwProductVersionLS}) EXPECT_EQ(ls, MAKELONG(126, 0));
    EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_DLL));

    WORD* translation = nullptr;   // language, code page
    ASSERT_TRUE(VerQueryValueW(data_.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation),
                               &length));
    ASSERT_EQ(length, 4u);
    EXPECT_EQ(translation[0], 0x0409);
    EXPECT_EQ(translation[1], 1200);
    EXPECT_EQ(Text(L"FileVersion") + "|" + Text(L"ProductVersion") + "|" + Text(L"InternalName") + "|" +
                  Text(L"OriginalFilename") + "|" + Text(L"OLESelfRegister"),
              "5.06.0126|5.06.0126|zuvXCHandler|zuvXCHandler.dll|");
}

std::vector<const wchar_t*> DllPaths() {
    std::vector<const wchar_t*> paths{ZUV_TEST_DLL};
    if (*ZUV_TEST_DLL_I686) paths.push_back(ZUV_TEST_DLL_I686);
    return paths;
}

INSTANTIATE_TEST_SUITE_P(Builds, VersionResource, ::testing::ValuesIn(DllPaths()),
                         [](const ::testing::TestParamInfo<const wchar_t*>& info) {
                             return std::string(info.index == 0 ? "own" : "i686");
                         });

using GetClassObjectFn = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);
using CanUnloadNowFn = HRESULT(WINAPI*)();

// The component's exports, called directly.  The library stays loaded for
// the test (COM may hold it too).
class ClassObjects : public ComTest {
protected:
    void SetUp() override {
        module_ = LoadLibraryW(ZUV_TEST_DLL);
        ASSERT_NE(module_, nullptr);
        get_class_object_ = reinterpret_cast<GetClassObjectFn>(
            reinterpret_cast<void*>(GetProcAddress(module_, "DllGetClassObject")));
        can_unload_now_ =
            reinterpret_cast<CanUnloadNowFn>(reinterpret_cast<void*>(GetProcAddress(module_, "DllCanUnloadNow")));
        ASSERT_NE(get_class_object_, nullptr);
        ASSERT_NE(can_unload_now_, nullptr);
    }
    void TearDown() override {
        ComTest::TearDown();
        if (module_) FreeLibrary(module_);
    }

    ComPtr<IClassFactory> Factory(REFCLSID clsid) {
        ComPtr<IClassFactory> factory;
        EXPECT_EQ(get_class_object_(clsid, IID_IClassFactory, reinterpret_cast<void**>(factory.Out())), S_OK);
        return factory;
    }

    HMODULE module_ = nullptr;
    GetClassObjectFn get_class_object_ = nullptr;
    CanUnloadNowFn can_unload_now_ = nullptr;
};

TEST_F(ClassObjects, OnlyTheTwoNodeClassesHaveFactoriesWhichRefuseAggregation) {
    for (const CLSID* clsid : {&CLSID_xMenu, &CLSID_xToolBar}) {
        ComPtr<IUnknown> object;
        EXPECT_EQ(get_class_object_(*clsid, IID_IUnknown, reinterpret_cast<void**>(object.Out())), S_OK);
        EXPECT_TRUE(object);
        void* none = reinterpret_cast<void*>(1);
        EXPECT_EQ(get_class_object_(*clsid, IID_IDispatch, &none), E_NOINTERFACE);
        EXPECT_EQ(none, nullptr);
        ComPtr<IClassFactory> factory = Factory(*clsid);
        ASSERT_TRUE(factory);
        none = reinterpret_cast<void*>(1);
        EXPECT_EQ(factory->CreateInstance(factory.Get(), IID_IUnknown, &none), CLASS_E_NOAGGREGATION);
        EXPECT_EQ(none, nullptr);
    }
    for (const GUID* clsid : {&CLSID_xMenuCollection, &CLSID_xToolBarCollection, &IID__xMenu, &LIBID_zuvXCHandler,
                              &GUID_NULL}) {
        void* none = reinterpret_cast<void*>(1);
        EXPECT_EQ(get_class_object_(*clsid, IID_IClassFactory, &none), CLASS_E_CLASSNOTAVAILABLE) << GuidText(*clsid);
        EXPECT_EQ(none, nullptr);
    }
}

TEST_F(ClassObjects, UnloadWaitsForLocksAndLiveObjects) {
    ASSERT_EQ(can_unload_now_(), S_OK);
    ComPtr<IClassFactory> factory = Factory(CLSID_xToolBar);
    ASSERT_TRUE(factory);
    EXPECT_EQ(can_unload_now_(), S_OK) << "a factory reference alone keeps nothing alive";
    ASSERT_EQ(factory->LockServer(TRUE), S_OK);
    EXPECT_EQ(can_unload_now_(), S_FALSE);
    ASSERT_EQ(factory->LockServer(FALSE), S_OK);
    EXPECT_EQ(can_unload_now_(), S_OK);

    for (const CLSID* clsid : {&CLSID_xMenu, &CLSID_xToolBar}) {
        ComPtr<IUnknown> node;
        ComPtr<IClassFactory> each = Factory(*clsid);
        ASSERT_TRUE(each);
        HRESULT hr = each->CreateInstance(nullptr, IID_IUnknown, reinterpret_cast<void**>(node.Out()));
        ASSERT_EQ(hr, S_OK);
        EXPECT_EQ(can_unload_now_(), S_FALSE);
        node = ComPtr<IUnknown>();
        EXPECT_EQ(can_unload_now_(), S_OK);
    }
}

// A second copy of the component loaded in the same process (another path)
// answers the same private identifiers; its nodes are still foreign ones:
// the rendering cannot mark them (error 13) and leaves them unmarked.
TEST_F(ClassObjects, NodesOfAnotherCopyOfTheComponentAreForeign) {
    wchar_t dir[MAX_PATH], path[MAX_PATH];
    ASSERT_NE(GetTempPathW(MAX_PATH, dir), 0u);
    ASSERT_NE(GetTempFileNameW(dir, L"zuv", 0, path), 0u);
    ASSERT_TRUE(CopyFileW(ZUV_TEST_DLL, path, FALSE));
    HMODULE copy = LoadLibraryW(path);
    ASSERT_NE(copy, nullptr);
    auto copy_get = reinterpret_cast<GetClassObjectFn>(reinterpret_cast<void*>(GetProcAddress(copy, "DllGetClassObject")));
    auto copy_can_unload =
        reinterpret_cast<CanUnloadNowFn>(reinterpret_cast<void*>(GetProcAddress(copy, "DllCanUnloadNow")));
    ASSERT_TRUE(copy_get && copy_can_unload);
    auto make = [&](REFCLSID clsid, REFIID iid, void** out) {
        ComPtr<IClassFactory> factory;
        ASSERT_EQ(copy_get(clsid, IID_IClassFactory, reinterpret_cast<void**>(factory.Out())), S_OK);
        ASSERT_EQ(factory->CreateInstance(nullptr, iid, out), S_OK);
    };
    {
        HostBars host;
        ComPtr<_xMenu> menu;
        ComPtr<_xToolBar> button;
        make(CLSID_xMenu, IID__xMenu, reinterpret_cast<void**>(menu.Out()));
        make(CLSID_xToolBar, IID__xToolBar, reinterpret_cast<void**>(button.Out()));
        ComPtr<_xMenu> menu_root = NewMenu();
        ComPtr<_xToolBar> bar_root = NewToolBar();
        Add(menu_root.Get(), menu);
        Add(bar_root.Get(), button);
        EventRecorder on_menu(menu_root.Get(), DIID___xMenu), on_bar(bar_root.Get(), DIID___xToolBar);
        EXPECT_FALSE(Render(menu_root.Get(), host.object.Get()));
        EXPECT_FALSE(Render(bar_root.Get(), host.object.Get()));
        EXPECT_EQ(on_menu.Joined() + L"; " + on_bar.Joined(),
                  L"SystemError(13, Type mismatch); SystemError(13, Type mismatch)");
        EXPECT_FALSE(IsDesigned(menu.Get()));
        EXPECT_FALSE(IsDesigned(button.Get()));
        // The foreign node holds its Parent counted, as a host's own node
        // does: the host breaks that cycle.
        EXPECT_EQ(button->putref_Parent(nullptr), S_OK);
    }
    EXPECT_EQ(copy_can_unload(), S_OK);
    FreeLibrary(copy);
    DeleteFileW(path);
}

}  // namespace
}  // namespace zuv::test
