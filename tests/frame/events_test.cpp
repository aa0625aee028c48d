// Connection points, class information and event delivery as hosts use them.
#include <olectl.h>

#include "support/nodes.h"

namespace zuv::test {
namespace {

const IID kEarlierToolBarEvents = {0xB5AAE547, 0xAE84, 0x4B3B, {0x96, 0x6E, 0x43, 0x95, 0xC9, 0xA6, 0x0C, 0x31}};

class Events : public ComTest {};

ComPtr<IConnectionPoint> PointOf(IUnknown* object, REFIID events) {
    ComPtr<IConnectionPointContainer> container;
    ComPtr<IConnectionPoint> point;
    Must(object->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(container.Out())), "QI");
    Must(container->FindConnectionPoint(events, point.Out()), "FindConnectionPoint");
    return point;
}

TEST_F(Events, EachClassOffersItsEventInterfacesToMatchingSinksOnly) {
    auto menu = NewMenu();
    auto toolbar = NewToolBar();
    for (auto [object, expected] : {std::pair<IUnknown*, std::vector<IID>>{menu.Get(), {DIID___xMenu}},
                                    {toolbar.Get(), {DIID___xToolBar, kEarlierToolBarEvents}}}) {
        auto container = Required(ComPtr<IUnknown>(object).As<IConnectionPointContainer>(), "the container");
        ComPtr<IEnumConnectionPoints> e;
        Must(container->EnumConnectionPoints(e.Out()), "EnumConnectionPoints");
        std::vector<IID> offered(expected.size());
        IConnectionPoint* points[2] = {};
        ASSERT_EQ(e->Next(static_cast<ULONG>(offered.size()), points, nullptr), S_OK);   // all, with no count
        for (size_t i = 0; i < offered.size(); ++i) {
            ComPtr<IConnectionPoint> point = ComPtr<IConnectionPoint>::Adopt(points[i]);
            ComPtr<IConnectionPointContainer> back;
            Must(point->GetConnectionInterface(&offered[i]), "GetConnectionInterface");
            Must(point->GetConnectionPointContainer(back.Out()), "GetConnectionPointContainer");
            EXPECT_EQ(back.Get(), container.Get());
            EXPECT_EQ(PointOf(object, offered[i]).Get(), point.Get());   // one point per interface
        }
        EXPECT_EQ(offered, expected);
        EXPECT_EQ(e->Next(1, points, nullptr), S_FALSE);
    }
    ComPtr<IConnectionPoint> point;
    EXPECT_EQ(menu.As<IConnectionPointContainer>()->FindConnectionPoint(DIID___xToolBar, point.Out()),
              CONNECT_E_NOCONNECTION);
    // A sink that answers only the toolbar's events cannot connect to a menu.
    point = PointOf(menu.Get(), DIID___xMenu);
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
    for (IID events : {DIID___xMenu, DIID___xToolBar, kEarlierToolBarEvents}) {
        const bool is_menu = events == DIID___xMenu;
        ComPtr<_xMenu> menu = NewMenu();
        ComPtr<_xToolBar> toolbar = NewToolBar();
        ComPtr<IConnectionPoint> point = is_menu ? PointOf(menu.Get(), events) : PointOf(toolbar.Get(), events);
        ComPtr<EventSink> sinks[3];
        DWORD cookies[3] = {}, again = 0;
        for (int i = 0; i < 3; ++i) {
            sinks[i] = ComPtr<EventSink>::Adopt(new EventSink(events));
            Must(point->Advise(static_cast<IDispatch*>(sinks[i].Get()), &cookies[i]), "Advise");
        }
        EXPECT_TRUE(cookies[0] && cookies[0] != cookies[1] && cookies[1] != cookies[2] && cookies[0] != cookies[2]);
        ComPtr<IEnumConnections> connections;
        CONNECTDATA data[3] = {};
        Must(point->EnumConnections(connections.Out()), "EnumConnections");
        ASSERT_EQ(connections->Next(3, data, nullptr), S_OK);   // all, with no count
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(data[i].dwCookie, cookies[i]);
            EXPECT_TRUE(ComPtr<IUnknown>::Adopt(data[i].pUnk));
        }
        EXPECT_EQ(point->Unadvise(cookies[1]), S_OK);
        EXPECT_EQ(point->Unadvise(cookies[1]), CONNECT_E_NOCONNECTION);
        // An event that every connected sink hears: rendering without command bars.
        EXPECT_FALSE(is_menu ? Render(menu.Get(), nullptr) : Render(toolbar.Get(), nullptr));
        const std::vector<std::wstring> heard{L"CustomError(2, Object Not Created)"};
        EXPECT_EQ(sinks[0]->events, heard);
        EXPECT_EQ(sinks[1]->events, std::vector<std::wstring>{});
        EXPECT_EQ(sinks[2]->events, heard);
        Must(point->Advise(static_cast<IDispatch*>(sinks[1].Get()), &again), "Advise");
        EXPECT_TRUE(again && again != cookies[0] && again != cookies[2]) << again;
        for (DWORD cookie : {cookies[0], cookies[2], again}) EXPECT_EQ(point->Unadvise(cookie), S_OK);
    }
}

TEST_F(Events, ClassInfoNamesTheClassAndItsDefaultSource) {
    auto menu = NewMenu();
    ComPtr<IProvideClassInfo2> info = Required(menu.As<IProvideClassInfo2>(), "IProvideClassInfo2");
    GUID source{};
    EXPECT_EQ(info->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, &source), S_OK);
    EXPECT_EQ(source, DIID___xMenu);
    ComPtr<ITypeInfo> type;
    TYPEATTR* attr = nullptr;
    Must(info->GetClassInfo(type.Out()), "GetClassInfo");
    Must(type->GetTypeAttr(&attr), "GetTypeAttr");
    EXPECT_EQ(attr->typekind, TKIND_COCLASS);
    EXPECT_EQ(attr->guid, CLSID_xMenu);
    type->ReleaseTypeAttr(attr);
}

// Early and late bound alike: the assignment succeeds, the event reports, the value stays.
TEST_F(Events, CustomErrorArrivesWithNumberAndMessage) {
    auto menu = NewMenu();
    EventRecorder events(menu.Get(), DIID___xMenu);
    Must(menu->put_ArrayCount(100), "put_ArrayCount");
    EXPECT_EQ(menu->put_ArrayCount(101), S_OK);
    EXPECT_TRUE(Put(menu.Get(), L"ArrayCount", Variant::Short(101)).ok());
    EXPECT_EQ(events.Joined(), L"CustomError(3, MRU List Count Overflow); CustomError(3, MRU List Count Overflow)");
    EXPECT_EQ(Read(menu.Get(), &_xMenu::get_ArrayCount), 100);
}

TEST_F(Events, SinkMayDisconnectOthersAndReleaseTheSourceDuringDelivery) {
    auto menu = NewMenu();
    auto first = std::make_unique<EventRecorder>(menu.Get(), DIID___xMenu);
    auto second = std::make_unique<EventRecorder>(menu.Get(), DIID___xMenu);
    first->OnEvent([&](DISPID) {
        second->Disconnect();   // the next sink in this round is skipped
        first->Disconnect();    // and this one's own connection goes too
        menu.Reset();           // the host lets go of the node while it is raising
    });
    EXPECT_EQ(Click(menu.Get()), S_OK);
    EXPECT_EQ(first->Joined() + L"|" + second->Joined(), L"Click|");
}

}  // namespace
}  // namespace zuv::test
