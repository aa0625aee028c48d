// The stand-in command bars: what it records, the roles of what it hands
// out, argument checks, injected failures, destroyed controls and the dump.
#include <windows.h>
#include <gtest/gtest.h>

#include "standin_host/xchost_client.h"
#include "support/late_bound.h"

namespace {

using zuv::ComPtr;
using zuv::Variant;
using namespace zuv::test;
using xchost::LogLines;

const IID kCommandBarsObject = {0x1616DC35, 0xB997, 0x432B, {0xAB, 0x4F, 0x43, 0x93, 0x41, 0xA7, 0x69, 0xE5}};
const IID kCommandBar = {0x723CBB00, 0x0690, 0x4528, {0x86, 0x56, 0xE3, 0x3E, 0x61, 0xF3, 0x93, 0x77}};
const IID kControls = {0xD87BCC77, 0x27BF, 0x4CB1, {0x9A, 0xBF, 0x17, 0x88, 0xD9, 0x83, 0x52, 0x23}};
const IID kControl = {0x1FC5479A, 0x9E07, 0x4079, {0x92, 0x4A, 0x4C, 0xB1, 0xC1, 0x1F, 0xC7, 0x00}};
const IID kPopup = {0x09028A35, 0x789A, 0x40D9, {0xB5, 0x64, 0x75, 0x77, 0xDA, 0x54, 0x93, 0x19}};
const IID kButton = {0x324B467B, 0x1E0F, 0x446D, {0xB9, 0x2B, 0xBE, 0xDB, 0xEF, 0x77, 0x30, 0x2F}};
const IID kKeyBindings = {0x4BE5CC96, 0x7369, 0x4EAB, {0x9B, 0x25, 0x1D, 0x5C, 0x52, 0x91, 0x6D, 0x86}};

// The roles an object answers, as "bar+control" ("" for none).
std::wstring Roles(IDispatch* object) {
    const struct {
        const IID* iid;
        const wchar_t* name;
    } roles[] = {{&kCommandBarsObject, L"bars"}, {&kCommandBar, L"bar"}, {&kControls, L"controls"},
                 {&kControl, L"control"}, {&kPopup, L"popup"}, {&kButton, L"button"}, {&kKeyBindings, L"keys"}};
    std::wstring text;
    for (const auto& r : roles) {
        ComPtr<IUnknown> p;
        if (object->QueryInterface(*r.iid, reinterpret_cast<void**>(p.Out())) == S_OK && p)
            text += (text.empty() ? L"" : L"+") + std::wstring(r.name);
    }
    return text;
}

ComPtr<IDispatch> Obj(const LateResult& r) {
    EXPECT_TRUE(r.ok()) << std::hex << r.hr;
    return ComPtr<IDispatch>(Object(r.value));
}
bool PutId(IDispatch* object, DISPID id, Variant value) {
    return InvokeId(object, id, DISPATCH_PROPERTYPUT, {std::move(value)}).ok();
}
LateResult CallId(IDispatch* object, DISPID id, std::initializer_list<Variant> args) {
    return InvokeId(object, id, DISPATCH_METHOD, args);
}

class HostTest : public ::testing::Test {
protected:
    void TearDown() override {
        host = nullptr;
        // Every object of the host is gone once the clients let go.
        using Fn = HRESULT(WINAPI*)();
        auto can_unload = reinterpret_cast<Fn>(
            reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"xchost.dll"), "DllCanUnloadNow")));
        ASSERT_TRUE(can_unload);
        EXPECT_EQ(can_unload(), S_OK);
    }

    ComPtr<IDispatch> Get(IDispatch* object, DISPID id) { return Obj(InvokeId(object, id, DISPATCH_PROPERTYGET)); }
    ComPtr<IDispatch> MenuBar() { return Get(host.Get(), 4); }
    ComPtr<IDispatch> Add(IDispatch* bar, long type, long id, const wchar_t* caption) {
        return Obj(CallId(Get(bar, 2).Get(), 2, {Variant::Long(type), Variant::Long(id), Variant::String(caption)}));
    }
    ComPtr<IDispatch> NewToolBar() { return Obj(CallId(host.Get(), 2, {Variant::String(L"Standard"), Variant::Long(0)})); }
    std::wstring Prop(const wchar_t* label, const wchar_t* property) {
        return xchost::Text(xchost::ControlProp(host.Get(), label, property));
    }

    ComPtr<IDispatch> host = xchost::CreateHost();
};

TEST_F(HostTest, RecordsEveryCallInOrderWithItsTypedArguments) {
    ComPtr<IDispatch> bar = MenuBar();
    EXPECT_TRUE(PutId(bar.Get(), 23, Variant::Bool(false)));
    EXPECT_TRUE(CallId(bar.Get(), 16, {Variant::Long(4194304), Variant::Long(4194304)}).ok());
    ComPtr<IDispatch> controls = Obj(InvokeName(bar.Get(), L"Controls", DISPATCH_PROPERTYGET));
    long id = 1001;
    Variant args[] = {Variant::Long(2), Variant::LongRef(&id), Variant::String(L"Fi\"le")};
    ComPtr<IDispatch> popup = Obj(InvokeRaw(controls.Get(), IdOf(controls.Get(), L"Add"), DISPATCH_METHOD, args[0].Get(), 3));
    EXPECT_TRUE(CallId(Get(host.Get(), 10).Get(), 1, {Variant::Long(8), Variant::Long(79), Variant::Long(1001)}).ok());
    EXPECT_EQ(LogLines(host.Get()), (std::vector<std::wstring>{
                                        L"CommandBars get 4", L"MenuBar put 23 (Boolean False)",
                                        L"MenuBar call 16 (Long 4194304, Long 4194304)", L"MenuBar name \"Controls\"",
                                        L"MenuBar get 2", L"MenuBar.Controls name \"Add\"",
                                        L"MenuBar.Controls call 2 (Long 2, Long& 1001, String \"Fi\"\"le\")",
                                        L"CommandBars get 10", L"KeyBindings call 1 (Long 8, Long 79, Long 1001)"}));

    // The same objects each time; the drop-down is made on first use.
    EXPECT_EQ(MenuBar(), bar);
    EXPECT_EQ(Get(bar.Get(), 2), controls);
    ComPtr<IDispatch> drop_down = Get(popup.Get(), 50);
    EXPECT_EQ(Obj(InvokeName(popup.Get(), L"CommandBar", DISPATCH_PROPERTYGET)), drop_down);
    EXPECT_EQ(xchost::Label(drop_down.Get()), L"Control#1.CommandBar");

    xchost::ClearLog(host.Get());
    EXPECT_TRUE(LogLines(host.Get()).empty());
    // With recording off the calls still take effect but leave no lines.
    xchost::PutByName(host.Get(), L"Recording", false);
    Add(bar.Get(), 1, 1002, L"Quiet");
    EXPECT_TRUE(LogLines(host.Get()).empty());
    EXPECT_EQ(xchost::FindControl(host.Get(), 1002), L"Control#2");
}

TEST_F(HostTest, ObjectsAnswerTheIdentifiersOfTheirRole) {
    ComPtr<IDispatch> bar = MenuBar();
    EXPECT_EQ(Roles(host.Get()), L"bars");
    EXPECT_EQ(Roles(bar.Get()), L"bar");
    EXPECT_EQ(Roles(Get(bar.Get(), 2).Get()), L"controls");
    EXPECT_EQ(Roles(Get(host.Get(), 10).Get()), L"keys");
    ComPtr<IDispatch> button = Add(bar.Get(), 1, 1, L"b");
    EXPECT_EQ(Roles(button.Get()), L"control+button");
    EXPECT_EQ(InvokeId(button.Get(), 50, DISPATCH_PROPERTYGET).hr, DISP_E_MEMBERNOTFOUND);
    for (long type : {2, 3, 4}) {
        ComPtr<IDispatch> popup = Add(bar.Get(), type, 2, L"p");
        EXPECT_EQ(Roles(popup.Get()), L"control+popup") << type;
        EXPECT_EQ(Roles(Get(popup.Get(), 50).Get()), L"bar") << type;
    }
    ComPtr<IDispatch> toolbar = NewToolBar();
    EXPECT_EQ(Roles(toolbar.Get()), L"bar");
    EXPECT_EQ(xchost::Label(toolbar.Get()), L"ToolBar1");
}

TEST_F(HostTest, ChecksInvokeKindsCountsAndTypes) {
    ComPtr<IDispatch> control = Add(MenuBar().Get(), 1, 5, L"c");
    // Values are converted to the member's type and read back.
    EXPECT_TRUE(PutId(control.Get(), 6, Variant::String(L"42")));
    EXPECT_EQ(Long(InvokeId(control.Get(), 6, DISPATCH_PROPERTYGET).value), 42);
    EXPECT_TRUE(PutId(control.Get(), 13, Variant::Short(0)));
    EXPECT_EQ(InvokeId(control.Get(), 13, DISPATCH_PROPERTYGET).value.Type(), VT_BOOL);
    EXPECT_EQ(Prop(L"Control#1", L"Enabled"), L"False");

    EXPECT_EQ(InvokeId(control.Get(), 6, DISPATCH_PROPERTYPUT, {Variant::String(L"abc")}).hr, DISP_E_TYPEMISMATCH);
    LateResult bad_arg =
        CallId(Get(MenuBar().Get(), 2).Get(), 2, {Variant::Long(1), Variant::String(L"x"), Variant::String(L"c")});
    EXPECT_EQ(bad_arg.hr, DISP_E_TYPEMISMATCH);
    EXPECT_EQ(bad_arg.arg_error, 1u);   // rgvarg index of the second argument
    EXPECT_EQ(CallId(MenuBar().Get(), 16, {Variant::Long(1)}).hr, DISP_E_BADPARAMCOUNT);
    EXPECT_EQ(InvokeId(MenuBar().Get(), 23, DISPATCH_PROPERTYGET).hr, DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(CallId(host.Get(), 4, {}).hr, DISP_E_MEMBERNOTFOUND);   // a property, not a method
    EXPECT_EQ(InvokeId(control.Get(), 99, DISPATCH_PROPERTYPUT, {Variant::Long(1)}).hr, DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(IdOf(control.Get(), L"NoSuchMember"), DISPID_UNKNOWN);

    std::vector<std::wstring> log = LogLines(host.Get());
    ASSERT_GE(log.size(), 3u);
    EXPECT_EQ(std::vector<std::wstring>(log.end() - 3, log.end()),
              (std::vector<std::wstring>{L"CommandBars call 4 -> error 0x80020003",
                                         L"Control#1 put 99 (Long 1) -> error 0x80020003",
                                         L"Control#1 name \"NoSuchMember\" -> error 0x80020006"}));
}

TEST_F(HostTest, FailCallFailsTheNthMatchingCallThroughExcepinfo) {
    ComPtr<IDispatch> control = Add(MenuBar().Get(), 1, 5, L"c");
    xchost::FailCall(host.Get(), L"Control#1", L"put 13", 2, 91, L"Refused");
    EXPECT_TRUE(PutId(control.Get(), 14, Variant::Bool(true)));   // no match
    EXPECT_TRUE(PutId(control.Get(), 13, Variant::Bool(true)));
    LateResult failed = InvokeId(control.Get(), 13, DISPATCH_PROPERTYPUT, {Variant::Bool(false)});
    EXPECT_EQ(failed.hr, DISP_E_EXCEPTION);
    EXPECT_EQ(failed.scode, static_cast<HRESULT>(0x800A005B));
    EXPECT_EQ(failed.description, L"Refused");
    EXPECT_EQ(failed.source, L"XCHost");
    EXPECT_EQ(LogLines(host.Get()).back(), L"Control#1 put 13 (Boolean False) -> error 0x800A005B");
    // The refused put changed nothing, and the rule is spent.
    EXPECT_EQ(Prop(L"Control#1", L"Enabled"), L"True");
    EXPECT_TRUE(PutId(control.Get(), 13, Variant::Bool(false)));

    // A number outside 1..65535 is the HRESULT itself; members match by name too.
    xchost::FailCall(host.Get(), L"*", L"get CommandBar", 1, static_cast<long>(E_ACCESSDENIED), L"");
    ComPtr<IDispatch> popup = Add(MenuBar().Get(), 2, 6, L"p");
    EXPECT_EQ(InvokeId(popup.Get(), 50, DISPATCH_PROPERTYGET).scode, E_ACCESSDENIED);

    // Name lookups fail with the error information of the thread.
    xchost::FailCall(host.Get(), L"MenuBar", L"name Controls", 1, 438, L"No Controls");
    DISPID id = 0;
    LPOLESTR names[] = {const_cast<LPOLESTR>(L"Controls")};
    ComPtr<IDispatch> bar = MenuBar();
    ASSERT_TRUE(bar);
    EXPECT_EQ(bar->GetIDsOfNames(IID_NULL, names, 1, 0, &id), static_cast<HRESULT>(0x800A01B6));
    ComPtr<IErrorInfo> info;
    ASSERT_EQ(GetErrorInfo(0, info.Out()), S_OK);
    zuv::Bstr description;
    info->GetDescription(description.Out());
    EXPECT_EQ(description.Str(), L"No Controls");

    for (const wchar_t* selector : {L"put", L"fetch 13", L"put 13 extra", L""})
        EXPECT_THROW(xchost::FailCall(host.Get(), L"*", selector, 1, 5), xchost::CallError) << selector;
    EXPECT_THROW(xchost::FailCall(host.Get(), L"*", L"put 13", 0, 5), xchost::CallError);
    EXPECT_THROW(xchost::WrongKind(host.Get(), L"*", L"name Add", 1), xchost::CallError);
}

TEST_F(HostTest, WrongKindHandsBackAnObjectOfNoRole) {
    ComPtr<IDispatch> bar = MenuBar();
    xchost::WrongKind(host.Get(), L"MenuBar.Controls", L"call Add", 1);
    ComPtr<IDispatch> stray = Add(bar.Get(), 2, 7, L"File");
    ASSERT_TRUE(stray);
    EXPECT_EQ(Roles(stray.Get()), L"");
    EXPECT_EQ(InvokeId(stray.Get(), 50, DISPATCH_PROPERTYGET).hr, DISP_E_MEMBERNOTFOUND);
    std::vector<std::wstring> log = LogLines(host.Get());
    EXPECT_EQ(log[log.size() - 2], L"MenuBar.Controls call 2 (Long 2, Long 7, String \"File\") -> wrong kind");
    EXPECT_EQ(log.back(), L"Stray#1 get 50 -> error 0x80020003");
    // The control itself was added; the rule is spent.
    EXPECT_EQ(xchost::FindControl(host.Get(), 7), L"Control#1");
    EXPECT_EQ(Roles(Add(bar.Get(), 2, 8, L"Edit").Get()), L"control+popup");
}

TEST_F(HostTest, DestroyedControlsAndOrphansFailEveryCall) {
    ComPtr<IDispatch> bar = MenuBar();
    ComPtr<IDispatch> popup = Add(bar.Get(), 2, 10, L"File");
    ComPtr<IDispatch> inner = Add(Get(popup.Get(), 50).Get(), 1, 11, L"Open");
    ComPtr<IDispatch> other = Add(bar.Get(), 2, 12, L"Edit");
    EXPECT_EQ(xchost::DestroyControl(host.Get(), 10), 1);
    auto expect_destroyed = [](IDispatch* gone, const wchar_t* why = L"The control has been destroyed") {
        LateResult r = InvokeId(gone, 4, DISPATCH_PROPERTYPUT, {Variant::String(L"x")});
        EXPECT_EQ(r.hr, DISP_E_EXCEPTION);
        EXPECT_EQ(r.scode, static_cast<HRESULT>(0x8000FFFF));
        EXPECT_EQ(r.description, why);
    };
    expect_destroyed(popup.Get());
    expect_destroyed(inner.Get());
    EXPECT_EQ(LogLines(host.Get()).back(), L"Control#2 put 4 (String \"x\") -> error 0x8000FFFF");
    EXPECT_TRUE(PutId(other.Get(), 4, Variant::String(L"y")));
    EXPECT_EQ(xchost::Text(xchost::CallByName(host.Get(), L"ControlCount", L"MenuBar")), L"1");
    EXPECT_EQ(xchost::DestroyControl(host.Get(), 10), 0);
    EXPECT_EQ(xchost::DestroyControl(host.Get(), L"control#3"), 1);
    EXPECT_EQ(xchost::Dump(host.Get()), L"MenuBar \"Menu Bar\"\nKeyBindings\n");

    // Deep drop-downs are destroyed and released without recursion.
    xchost::PutByName(host.Get(), L"Recording", false);
    for (long i = 1; i <= 20000; ++i) bar = Get(Add(bar.Get(), 3, 100 + i, L"x").Get(), 50);
    EXPECT_EQ(xchost::DestroyControl(host.Get(), 101), 1);
    EXPECT_EQ(Prop(L"Control#20003", L"Destroyed"), L"True");

    // Objects that outlive the command-bars object fail alike.
    host = nullptr;
    expect_destroyed(other.Get(), L"The command bars object has been released");
}

TEST_F(HostTest, DumpAndLookupsShowTheBuiltUserInterface) {
    ComPtr<IDispatch> bar = MenuBar();
    EXPECT_TRUE(PutId(bar.Get(), 24, Variant::Bool(false)));
    EXPECT_TRUE(CallId(bar.Get(), 18, {Variant::Long(4864), Variant::Long(8192)}).ok());
    ComPtr<IDispatch> file = Add(bar.Get(), 2, 1001, L"File");
    EXPECT_TRUE(PutId(file.Get(), 28, Variant::Long(1)));
    ComPtr<IDispatch> open = Add(Get(file.Get(), 50).Get(), 1, 1002, L"Open");
    EXPECT_TRUE(PutId(open.Get(), 3, Variant::Bool(true)) && PutId(open.Get(), 14, Variant::Bool(true)) &&
                PutId(open.Get(), 10, Variant::String(L"Open a file")));
    ComPtr<IDispatch> save = Add(NewToolBar().Get(), 1, 1003, L"Save");
    xchost::PutByName(save.Get(), L"ToolBarID", 9L);
    ComPtr<IDispatch> keys = Get(host.Get(), 10);
    EXPECT_TRUE(CallId(keys.Get(), 1, {Variant::Long(12), Variant::Long(112), Variant::Long(1002)}).ok());
    EXPECT_TRUE(CallId(keys.Get(), 1, {Variant::Long(8), Variant::Long(0), Variant::Long(1003)}).ok());

    EXPECT_EQ(xchost::Dump(host.Get()),
              L"MenuBar \"Menu Bar\" {24=False 18(4864, 8192)}\n"
              L"  Control#1 type=2 id=1001 \"File\" checked=False enabled=True visible=True group=False style=1\n"
              L"    Control#1.CommandBar\n"
              L"      Control#2 type=1 id=1002 \"Open\" checked=True enabled=True visible=True group=True"
              L" tooltip=\"Open a file\"\n"
              L"ToolBar1 \"Standard\"\n"
              L"  Control#3 type=1 id=1003 \"Save\" checked=False enabled=True visible=True group=False toolbarid=9\n"
              L"KeyBindings\n"
              L"  Ctrl+Shift+F1 (12, 112) -> 1002\n"
              L"  Ctrl+#0 (8, 0) -> 1003\n");

    IDispatch* h = host.Get();
    EXPECT_EQ(xchost::Text(xchost::CallByName(h, L"Bar", 2)), L"Standard");
    EXPECT_EQ(xchost::Text(xchost::CallByName(h, L"Control", 1, 1)), L"Control#1");
    EXPECT_EQ(xchost::FindControl(h, 4242), L"");
    EXPECT_THROW(xchost::CallByName(h, L"Control", 1, 2), xchost::CallError);
    // Inspection leaves no trace in the log.
    EXPECT_EQ(LogLines(h).back(), L"KeyBindings call 1 (Long 8, Long 0, Long 1003)");
}

TEST(HostRegistration, RegistersTheStandInTypeLibraries) {
    const GUID command_bars = {0x555E8FCC, 0x830E, 0x45CC, {0xAF, 0x00, 0xA0, 0x12, 0xD5, 0xAE, 0x74, 0x51}};
    const GUID collection = {0x000204EF, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
    const IID collection_iid = {0xA4C46780, 0x499F, 0x101B, {0xBB, 0x78, 0x00, 0xAA, 0x00, 0x38, 0x3C, 0xBB}};
    ComPtr<ITypeLib> lib;
    ComPtr<ITypeInfo> info;
    ASSERT_EQ(LoadRegTypeLib(command_bars, 10, 3, 0, lib.Out()), S_OK);
    EXPECT_EQ(lib->GetTypeInfoOfGuid(kPopup, info.Out()), S_OK);
    ASSERT_EQ(LoadRegTypeLib(collection, 6, 0, 0, lib.Out()), S_OK);
    EXPECT_EQ(lib->GetTypeInfoOfGuid(collection_iid, info.Out()), S_OK);
}

}  // namespace
