// Connection points, class information and event delivery as hosts use them.
#include <olectl.h>

#include "support/nodes.h"

namespace zuv::test {
namespace {

const IID kEarlierToolBarEvents = {0xB5AAE547, 0xAE84, 0x4B3B, {0x96, 0x6E, 0x43, 0x95, 0xC9, 0xA6, 0x0C, 0x31}};

class Events : public ComTest {};

std::vector<IID> PointsOf(IUnknown* object) {
    std::vector<IID> iids;
    ComPtr<IConnectionPointContainer> container;
    EXPECT_EQ(object->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(container.Out())), S_OK);
    if (!container) return iids;
    ComPtr<IEnumConnectionPoints> e;
    EXPECT_EQ(container->EnumConnectionPoints(e.Out()), S_OK);
    if (!e) return iids;
    IConnectionPoint* point = nullptr;
    while (e->Next(1, &point, nullptr) == S_OK) {
        IID iid{};
        point->GetConnectionInterface(&iid);
        ComPtr<IConnectionPointContainer> back;
        EXPECT_EQ(point->GetConnectionPointContainer(back.Out()), S_OK);
        EXPECT_EQ(back.Get(), container.Get());
        point->Release();
        iids.push_back(iid);
    }
    return iids;
}

TEST_F(Events, EachClassOffersItsEventInterfacesToMatchingSinksOnly) {
    auto menu = NewMenu();
    auto toolbar = NewToolBar();
    EXPECT_EQ(PointsOf(menu.Get()), std::vector<IID>{DIID___xMenu});
    EXPECT_EQ(PointsOf(toolbar.Get()), (std::vector<IID>{DIID___xToolBar, kEarlierToolBarEvents}));
    ComPtr<IConnectionPointContainer> container = menu.As<IConnectionPointContainer>();
    ASSERT_TRUE(container);
    ComPtr<IConnectionPoint> point;
    EXPECT_EQ(container->FindConnectionPoint(DIID___xToolBar, point.Out()), CONNECT_E_NOCONNECTION);

    // A sink that answers only the toolbar's events cannot connect to a menu.
    ASSERT_EQ(container->FindConnectionPoint(DIID___xMenu, point.Out()), S_OK);
    auto wrong = ComPtr<EventSink>::Adopt(new EventSink(DIID___xToolBar));
    DWORD cookie = 1;
    EXPECT_EQ(point->Advise(static_cast<IDispatch*>(wrong.Get()), &cookie), CONNECT_E_CANNOTCONNECT);
    EXPECT_EQ(cookie, 0u);
    EXPECT_EQ(point->Unadvise(12345), CONNECT_E_NOCONNECTION);
}

// Every connection gets a cookie of its own: undoing one leaves the others
// connected, a cookie undoes its connection once only, and a new connection
// never takes a cookie still in use.  On every event interface of both classes.
TEST_F(Events, EachConnectionHasItsOwnCookie) {
    struct Case {
        bool menu;
        IID events;
    };
    for (const Case& c : {Case{true, DIID___xMenu}, Case{false, DIID___xToolBar}, Case{false, kEarlierToolBarEvents}}) {
        SCOPED_TRACE(c.menu ? "xMenu" : "xToolBar");
        ComPtr<_xMenu> menu = c.menu ? NewMenu() : nullptr;
        ComPtr<_xToolBar> toolbar = c.menu ? nullptr : NewToolBar();
        ComPtr<IConnectionPointContainer> container =
            c.menu ? menu.As<IConnectionPointContainer>() : toolbar.As<IConnectionPointContainer>();
        ASSERT_TRUE(container);
        ComPtr<IConnectionPoint> point;
        ASSERT_EQ(container->FindConnectionPoint(c.events, point.Out()), S_OK);

        ComPtr<EventSink> sinks[3];
        DWORD cookies[3] = {};
        for (int i = 0; i < 3; ++i) {
            sinks[i] = ComPtr<EventSink>::Adopt(new EventSink(c.events));
            ASSERT_EQ(point->Advise(static_cast<IDispatch*>(sinks[i].Get()), &cookies[i]), S_OK);
        }
        EXPECT_TRUE(cookies[0] && cookies[0] != cookies[1] && cookies[1] != cookies[2] && cookies[0] != cookies[2])
            << cookies[0] << " " << cookies[1] << " " << cookies[2];

        EXPECT_EQ(point->Unadvise(cookies[1]), S_OK);
        EXPECT_EQ(point->Unadvise(cookies[1]), CONNECT_E_NOCONNECTION);
        // An event that every connected sink hears: rendering without command bars.
        VARIANT_BOOL ok = VARIANT_TRUE;
        EXPECT_EQ(c.menu ? menu->RenderMenu(nullptr, &ok) : toolbar->RenderToolBar(nullptr, &ok), S_OK);
        EXPECT_EQ(sinks[0]->events.size(), 1u);
        EXPECT_EQ(sinks[1]->events.size(), 0u);
        EXPECT_EQ(sinks[2]->events.size(), 1u);

        DWORD again = 0;
        ASSERT_EQ(point->Advise(static_cast<IDispatch*>(sinks[1].Get()), &again), S_OK);
        EXPECT_TRUE(again && again != cookies[0] && again != cookies[2]) << again;
        for (DWORD cookie : {cookies[0], cookies[2], again}) EXPECT_EQ(point->Unadvise(cookie), S_OK);
    }
}

TEST_F(Events, ClassInfoNamesTheClassAndItsDefaultSource) {
    auto menu = NewMenu();
    ComPtr<IProvideClassInfo2> info = menu.As<IProvideClassInfo2>();
    ASSERT_TRUE(info);
    GUID source{};
    EXPECT_EQ(info->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, &source), S_OK);
    EXPECT_EQ(source, DIID___xMenu);
    ComPtr<ITypeInfo> type;
    ASSERT_EQ(info->GetClassInfo(type.Out()), S_OK);
    TYPEATTR* attr = nullptr;
    ASSERT_EQ(type->GetTypeAttr(&attr), S_OK);
    EXPECT_EQ(attr->typekind, TKIND_COCLASS);
    EXPECT_EQ(attr->guid, CLSID_xMenu);
    type->ReleaseTypeAttr(attr);
}

TEST_F(Events, CustomErrorArrivesWithNumberAndMessage) {
    auto menu = NewMenu();
    EventRecorder events(menu.Get(), DIID___xMenu);
    ASSERT_EQ(menu->put_ArrayCount(100), S_OK);
    EXPECT_EQ(menu->put_ArrayCount(101), S_OK);
    EXPECT_EQ(events.Joined(), L"CustomError(3, MRU List Count Overflow)");
    short count = 0;
    menu->get_ArrayCount(&count);
    EXPECT_EQ(count, 100);

    // Late-bound the same: the call succeeds, the event reports.
    events.Clear();
    EXPECT_TRUE(Put(menu.Get(), L"ArrayCount", Variant::Short(101)).ok());
    EXPECT_EQ(events.Joined(), L"CustomError(3, MRU List Count Overflow)");
}

TEST_F(Events, EverySinkAndBothToolBarInterfacesHearAnEvent) {
    auto toolbar = NewToolBar();
    EventRecorder current(toolbar.Get(), DIID___xToolBar);
    EventRecorder second(toolbar.Get(), DIID___xToolBar);
    EventRecorder earlier(toolbar.Get(), kEarlierToolBarEvents);
    VARIANT_BOOL ok = VARIANT_TRUE;
    EXPECT_EQ(toolbar->RenderToolBar(nullptr, &ok), S_OK);
    EXPECT_EQ(ok, VARIANT_FALSE);
    for (auto* r : {&current, &second, &earlier}) EXPECT_EQ(r->Joined(), L"CustomError(2, Object Not Created)");
}

TEST_F(Events, SinkMayDisconnectOthersAndReleaseTheSourceDuringDelivery) {
    auto menu = NewMenu();
    auto first = std::make_unique<EventRecorder>(menu.Get(), DIID___xMenu);
    auto second = std::make_unique<EventRecorder>(menu.Get(), DIID___xMenu);
    _xMenu* raw = menu.Get();
    first->OnEvent([&](DISPID) {
        second->Disconnect();   // the next sink in this round is skipped
        first->Disconnect();    // and this one's own connection goes too
        menu.Reset();           // the host lets go of the node while it is raising
    });
    VARIANT result;
    VariantInit(&result);
    EXPECT_EQ(raw->RaiseClickEvent(-1, &result), S_OK);
    EXPECT_EQ(first->Joined(), L"Click");
    EXPECT_EQ(second->Joined(), L"");
}

TEST_F(Events, LiveObjectsKeepTheModuleLoaded) {
    auto menu = NewMenu();
    EXPECT_EQ(ComponentCanUnloadNow(), S_FALSE);
    ComPtr<_xMenuCollection> subs;
    menu->get_SubMenus(subs.Out());
    menu.Reset();
    EXPECT_EQ(ComponentCanUnloadNow(), S_FALSE);   // the collection outlives its node
    subs.Reset();
    EXPECT_EQ(ComponentCanUnloadNow(), S_OK);
}

}  // namespace
}  // namespace zuv::test
