// The stand-in command bars as the component's tests rely on them: the call
// log (every call, in order, with typed arguments, failures marked),
// injected failures and wrong kinds, destroyed controls.
#include "standin_host/xchost_client.h"
#include "support/com_test.h"
#include "support/late_bound.h"

namespace zuv::test {
namespace {

using Lines = std::vector<std::wstring>;

ComPtr<IDispatch> Obj(const LateResult& r) {
    Must(r.hr, "a call on the stand-in");
    return Required(ComPtr<IDispatch>(Object(r.value)), "the object answered");
}

class HostTest : public ::testing::Test {
protected:
    void TearDown() override {
        host = nullptr;
        // Every object of the host is gone once the clients let go.
        EXPECT_EQ(ComponentCanUnloadNow(L"xchost.dll"), S_OK);
    }
    ComPtr<IDispatch> Get(IDispatch* object, DISPID id) { return Obj(InvokeId(object, id, DISPATCH_PROPERTYGET)); }
    ComPtr<IDispatch> MenuBar() { return Get(host.Get(), 4); }
    ComPtr<IDispatch> Add(IDispatch* bar, long type, long id, const wchar_t* caption) {
        return Obj(InvokeId(Get(bar, 2).Get(), 2, DISPATCH_METHOD,
                            {Variant::Long(type), Variant::Long(id), Variant::String(caption)}));
    }
    // The last n lines of the log.
    Lines Last(size_t n) {
        Lines log = xchost::LogLines(host.Get());
        return Lines(log.end() - static_cast<std::ptrdiff_t>(std::min(n, log.size())), log.end());
    }

    ComPtr<IDispatch> host = xchost::CreateHost();
};

TEST_F(HostTest, RecordsEveryCallInOrderWithItsTypedArguments) {
    ComPtr<IDispatch> bar = MenuBar();
    Must(InvokeId(bar.Get(), 23, DISPATCH_PROPERTYPUT, {Variant::Bool(false)}).hr, "put 23");
    Must(InvokeId(bar.Get(), 16, DISPATCH_METHOD, {Variant::Long(4194304), Variant::Long(4194304)}).hr, "call 16");
    ComPtr<IDispatch> controls = Obj(InvokeName(bar.Get(), L"Controls", DISPATCH_PROPERTYGET));
    long id = 1001;
    Variant args[] = {Variant::Long(2), Variant::LongRef(&id), Variant::String(L"Fi\"le")};
    ComPtr<IDispatch> popup = Obj(InvokeRaw(controls.Get(), IdOf(controls.Get(), L"Add"), DISPATCH_METHOD, args[0].Get(), 3));
    Must(InvokeId(Get(host.Get(), 10).Get(), 1, DISPATCH_METHOD, {Variant::Long(8), Variant::Long(79), Variant::Long(1001)}).hr,
         "KeyBindings.Add");
    // Inspection leaves no trace.
    EXPECT_EQ(xchost::FindControl(host.Get(), 1001), L"Control#1");
    EXPECT_EQ(xchost::LogLines(host.Get()),
              (Lines{L"CommandBars get 4", L"MenuBar put 23 (Boolean False)", L"MenuBar call 16 (Long 4194304, Long 4194304)",
                     L"MenuBar name \"Controls\"", L"MenuBar get 2", L"MenuBar.Controls name \"Add\"",
                     L"MenuBar.Controls call 2 (Long 2, Long& 1001, String \"Fi\"\"le\")", L"CommandBars get 10",
                     L"KeyBindings call 1 (Long 8, Long 79, Long 1001)"}));
    xchost::ClearLog(host.Get());
    EXPECT_TRUE(xchost::LogLines(host.Get()).empty());
}

TEST_F(HostTest, WithRecordingOffCallsTakeEffectWithoutLines) {
    xchost::PutByName(host.Get(), L"Recording", false);
    Add(MenuBar().Get(), 1, 1002, L"Quiet");
    EXPECT_TRUE(xchost::LogLines(host.Get()).empty());
    EXPECT_EQ(xchost::FindControl(host.Get(), 1002), L"Control#1");
}

TEST_F(HostTest, RefusedCallsAreRecordedWithTheirError) {
    ComPtr<IDispatch> control = Add(MenuBar().Get(), 1, 5, L"c");
    EXPECT_EQ(InvokeId(control.Get(), 6, DISPATCH_PROPERTYPUT, {Variant::String(L"abc")}).hr, DISP_E_TYPEMISMATCH);
    EXPECT_EQ(InvokeId(host.Get(), 4, DISPATCH_METHOD).hr, DISP_E_MEMBERNOTFOUND);   // a property, not a method
    EXPECT_EQ(InvokeId(control.Get(), 99, DISPATCH_PROPERTYPUT, {Variant::Long(1)}).hr, DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(IdOf(control.Get(), L"NoSuchMember"), DISPID_UNKNOWN);
    EXPECT_EQ(Last(4), (Lines{L"Control#1 put 6 (String \"abc\") -> error 0x80020005", L"CommandBars call 4 -> error 0x80020003",
                              L"Control#1 put 99 (Long 1) -> error 0x80020003",
                              L"Control#1 name \"NoSuchMember\" -> error 0x80020006"}));
}

TEST_F(HostTest, FailCallFailsTheNthMatchingCallOnce) {
    ComPtr<IDispatch> control = Add(MenuBar().Get(), 1, 5, L"c");
    xchost::FailCall(host.Get(), L"Control#1", L"put 13", 2, 91, L"Refused");
    Must(InvokeId(control.Get(), 14, DISPATCH_PROPERTYPUT, {Variant::Bool(true)}).hr, "put 14");   // no match
    Must(InvokeId(control.Get(), 13, DISPATCH_PROPERTYPUT, {Variant::Bool(true)}).hr, "put 13");
    LateResult failed = InvokeId(control.Get(), 13, DISPATCH_PROPERTYPUT, {Variant::Bool(false)});
    EXPECT_EQ(failed.hr, DISP_E_EXCEPTION);
    EXPECT_EQ(failed.scode, static_cast<HRESULT>(0x800A005B));
    EXPECT_EQ(failed.description + L"|" + failed.source, L"Refused|XCHost");
    // The refused put changed nothing, and the rule is spent.
    EXPECT_EQ(xchost::Text(xchost::ControlProp(host.Get(), L"Control#1", L"Enabled")), L"True");
    Must(InvokeId(control.Get(), 13, DISPATCH_PROPERTYPUT, {Variant::Bool(false)}).hr, "put 13");
    EXPECT_EQ(Last(3), (Lines{L"Control#1 put 13 (Boolean True)", L"Control#1 put 13 (Boolean False) -> error 0x800A005B",
                              L"Control#1 put 13 (Boolean False)"}));
    // A number outside 1..65535 is the HRESULT itself; members match by name too.
    xchost::FailCall(host.Get(), L"*", L"get CommandBar", 1, static_cast<long>(E_ACCESSDENIED), L"");
    EXPECT_EQ(InvokeId(Add(MenuBar().Get(), 2, 6, L"p").Get(), 50, DISPATCH_PROPERTYGET).scode, E_ACCESSDENIED);
    // Name lookups fail with the error information of the thread.
    xchost::FailCall(host.Get(), L"MenuBar", L"name Controls", 1, 438, L"No Controls");
    DISPID id = 0;
    LPOLESTR names[] = {const_cast<LPOLESTR>(L"Controls")};
    EXPECT_EQ(MenuBar()->GetIDsOfNames(IID_NULL, names, 1, 0, &id), static_cast<HRESULT>(0x800A01B6));
}

TEST_F(HostTest, WrongKindHandsBackAnObjectOfNoRole) {
    ComPtr<IDispatch> bar = MenuBar();
    xchost::WrongKind(host.Get(), L"MenuBar.Controls", L"call Add", 1);
    ComPtr<IDispatch> stray = Add(bar.Get(), 2, 7, L"File");
    EXPECT_EQ(InvokeId(stray.Get(), 50, DISPATCH_PROPERTYGET).hr, DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(Last(2), (Lines{L"MenuBar.Controls call 2 (Long 2, Long 7, String \"File\") -> wrong kind",
                              L"Stray#1 get 50 -> error 0x80020003"}));
    // The control itself was added; the rule is spent.
    EXPECT_EQ(xchost::FindControl(host.Get(), 7), L"Control#1");
    EXPECT_EQ(xchost::Label(Get(Add(bar.Get(), 2, 8, L"Edit").Get(), 50).Get()), L"Control#2.CommandBar");
}

TEST_F(HostTest, DestroyedControlsAndOrphansFailEveryCall) {
    ComPtr<IDispatch> bar = MenuBar();
    ComPtr<IDispatch> popup = Add(bar.Get(), 2, 10, L"File");
    ComPtr<IDispatch> inner = Add(Get(popup.Get(), 50).Get(), 1, 11, L"Open");
    ComPtr<IDispatch> other = Add(bar.Get(), 2, 12, L"Edit");
    EXPECT_EQ(xchost::DestroyControl(host.Get(), 10), 1);
    EXPECT_EQ(xchost::DestroyControl(host.Get(), 10), 0);
    auto caption = [](IDispatch* control) {
        LateResult r = InvokeId(control, 4, DISPATCH_PROPERTYPUT, {Variant::String(L"x")});
        return r.hr == DISP_E_EXCEPTION && r.scode == static_cast<HRESULT>(0x8000FFFF) ? r.description : L"accepted";
    };
    EXPECT_EQ(caption(popup.Get()), L"The control has been destroyed");
    EXPECT_EQ(caption(inner.Get()), L"The control has been destroyed");
    EXPECT_EQ(Last(1), Lines{L"Control#2 put 4 (String \"x\") -> error 0x8000FFFF"});
    EXPECT_EQ(caption(other.Get()), L"accepted");
    // Deep drop-downs are destroyed and released without recursion.
    xchost::PutByName(host.Get(), L"Recording", false);
    for (long i = 1; i <= 20000; ++i) bar = Get(Add(bar.Get(), 3, 100 + i, L"x").Get(), 50);
    EXPECT_EQ(xchost::DestroyControl(host.Get(), 101), 1);
    // Objects that outlive the command-bars object fail alike.
    host = nullptr;
    EXPECT_EQ(caption(other.Get()), L"The command bars object has been released");
}

}  // namespace
}  // namespace zuv::test
