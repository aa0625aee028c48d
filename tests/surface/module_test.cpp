// The DLL as a file and as a COM server: its version resource (both builds)
// and its class objects and unload answer.
#include <windows.h>
#include <ole2.h>
#include <winver.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/com_test.h"
#include "surface_test_paths.h"
#include "typelib_render.h"

namespace zuv::test {
namespace {

// ---- version resource ------------------------------------------------------------

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
    EXPECT_EQ(fixed->dwFileVersionMS, MAKELONG(6, 5));
    EXPECT_EQ(fixed->dwFileVersionLS, MAKELONG(126, 0));
    EXPECT_EQ(fixed->dwProductVersionMS, MAKELONG(6, 5));
    EXPECT_EQ(fixed->dwProductVersionLS, MAKELONG(126, 0));
    EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_DLL));

    struct Translation {
        WORD language, codepage;
    }* translations = nullptr;
    ASSERT_TRUE(VerQueryValueW(data_.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translations),
                               &length));
    ASSERT_EQ(length, sizeof(Translation));
    EXPECT_EQ(translations->language, 0x0409);
    EXPECT_EQ(translations->codepage, 1200);

    EXPECT_EQ(Text(L"FileVersion"), "5.06.0126");
    EXPECT_EQ(Text(L"ProductVersion"), "5.06.0126");
    EXPECT_EQ(Text(L"InternalName"), "zuvXCHandler");
    EXPECT_EQ(Text(L"OriginalFilename"), "zuvXCHandler.dll");
    EXPECT_EQ(Text(L"OLESelfRegister"), "");
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

// ---- class objects -------------------------------------------------------------

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

TEST_F(ClassObjects, OnlyTheTwoNodeClassesHaveFactories) {
    for (const CLSID* clsid : {&CLSID_xMenu, &CLSID_xToolBar}) {
        for (const IID* iid : {&IID_IClassFactory, &IID_IUnknown}) {
            IUnknown* object = nullptr;
            EXPECT_EQ(get_class_object_(*clsid, *iid, reinterpret_cast<void**>(&object)), S_OK);
            ASSERT_NE(object, nullptr);
            object->Release();
        }
        void* object = reinterpret_cast<void*>(1);
        EXPECT_EQ(get_class_object_(*clsid, IID_IDispatch, &object), E_NOINTERFACE);
        EXPECT_EQ(object, nullptr);
    }
    const GUID* unavailable[] = {&CLSID_xMenuCollection, &CLSID_xToolBarCollection, &IID__xMenu,
                                 &LIBID_zuvXCHandler, &GUID_NULL};
    for (const GUID* clsid : unavailable) {
        void* object = reinterpret_cast<void*>(1);
        EXPECT_EQ(get_class_object_(*clsid, IID_IClassFactory, &object), CLASS_E_CLASSNOTAVAILABLE)
            << GuidText(*clsid);
        EXPECT_EQ(object, nullptr);
    }
}

TEST_F(ClassObjects, FactoriesRefuseAggregation) {
    for (const CLSID* clsid : {&CLSID_xMenu, &CLSID_xToolBar}) {
        ComPtr<IClassFactory> factory = Factory(*clsid);
        ASSERT_TRUE(factory);
        IUnknown* object = reinterpret_cast<IUnknown*>(1);
        EXPECT_EQ(factory->CreateInstance(reinterpret_cast<IUnknown*>(factory.Get()), IID_IUnknown,
                                          reinterpret_cast<void**>(&object)),
                  CLASS_E_NOAGGREGATION);
        EXPECT_EQ(object, nullptr);
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
        HRESULT hr = Factory(*clsid)->CreateInstance(nullptr, IID_IUnknown, reinterpret_cast<void**>(node.Out()));
        ASSERT_EQ(hr, S_OK);
        EXPECT_EQ(can_unload_now_(), S_FALSE);
        node = ComPtr<IUnknown>();
        EXPECT_EQ(can_unload_now_(), S_OK);
    }
}

}  // namespace
}  // namespace zuv::test
