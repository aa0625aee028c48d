// The DLL as a COM server: its class objects and unload answer.
#include "support/nodes.h"
#include "surface_test_paths.h"

namespace zuv::test {
namespace {

class ClassObjects : public ComTest {
protected:
    Exports own{ZUV_TEST_DLL};
};

TEST_F(ClassObjects, OnlyTheTwoNodeClassesHaveFactoriesWhichRefuseAggregation) {
    const struct {
        const GUID* clsid;
        const IID* iid;
        HRESULT hr;
    } cases[] = {
        {&CLSID_xMenu, &IID_IUnknown, S_OK},
        {&CLSID_xToolBar, &IID_IUnknown, S_OK},
        {&CLSID_xMenu, &IID_IDispatch, E_NOINTERFACE},
        {&CLSID_xToolBar, &IID_IDispatch, E_NOINTERFACE},
        {&CLSID_xMenuCollection, &IID_IClassFactory, CLASS_E_CLASSNOTAVAILABLE},
        {&CLSID_xToolBarCollection, &IID_IClassFactory, CLASS_E_CLASSNOTAVAILABLE},
        {&IID__xMenu, &IID_IClassFactory, CLASS_E_CLASSNOTAVAILABLE},
        {&LIBID_zuvXCHandler, &IID_IClassFactory, CLASS_E_CLASSNOTAVAILABLE},
        {&GUID_NULL, &IID_IClassFactory, CLASS_E_CLASSNOTAVAILABLE},
    };
    for (const auto& c : cases) {
        void* object = reinterpret_cast<void*>(1);
        EXPECT_EQ(own.get_class_object(*c.clsid, *c.iid, &object), c.hr) << c.clsid->Data1;
        EXPECT_EQ(object != nullptr, c.hr == S_OK) << c.clsid->Data1;
        if (object && c.hr == S_OK) static_cast<IUnknown*>(object)->Release();
    }
    for (const CLSID* clsid : {&CLSID_xMenu, &CLSID_xToolBar}) {
        ComPtr<IClassFactory> factory = own.Factory(*clsid);
        void* none = reinterpret_cast<void*>(1);
        EXPECT_EQ(factory->CreateInstance(factory.Get(), IID_IUnknown, &none), CLASS_E_NOAGGREGATION);
        EXPECT_EQ(none, nullptr);
    }
}

TEST_F(ClassObjects, UnloadWaitsForLocksAndLiveObjects) {
    ASSERT_EQ(own.can_unload_now(), S_OK);
    ComPtr<IClassFactory> factory = own.Factory(CLSID_xToolBar);
    EXPECT_EQ(own.can_unload_now(), S_OK) << "a factory reference alone keeps nothing alive";
    Must(factory->LockServer(TRUE), "LockServer");
    EXPECT_EQ(own.can_unload_now(), S_FALSE);
    Must(factory->LockServer(FALSE), "LockServer");
    EXPECT_EQ(own.can_unload_now(), S_OK);
    for (const CLSID* clsid : {&CLSID_xMenu, &CLSID_xToolBar}) {
        ComPtr<IDispatch> node = own.New<IDispatch>(*clsid);
        ComPtr<IDispatch> entries = Object(Get(node.Get(), *clsid == CLSID_xMenu ? L"SubMenus" : L"Buttons").value);
        EXPECT_EQ(own.can_unload_now(), S_FALSE);
        node.Reset();
        EXPECT_EQ(own.can_unload_now(), S_FALSE) << "the collection outlives its node";
        entries.Reset();
        EXPECT_EQ(own.can_unload_now(), S_OK);
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
    {
        Exports copy(path);
        {
            HostBars host;
            ComPtr<_xMenu> menu = copy.New<_xMenu>(CLSID_xMenu), menu_root = NewMenu();
            ComPtr<_xToolBar> button = copy.New<_xToolBar>(CLSID_xToolBar), bar_root = NewToolBar();
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
        EXPECT_EQ(copy.can_unload_now(), S_OK);
    }
    DeleteFileW(path);
}

}  // namespace
}  // namespace zuv::test
