// The component's host-call table against the stand-in host: the calls it
// makes as the host records them, and how host failures come back.
#include <windows.h>
#include <gtest/gtest.h>

#include "core/host_calls.h"
#include "host/xchost_client.h"

namespace {

using zuv::ComPtr;
namespace host = zuv::host;

TEST(HostCalls, ReachTheHostWithTheRecordedArguments) {
    ComPtr<IDispatch> cb = xchost::CreateHost();
    ComPtr<IDispatch> toolbar = host::AddToolBar(cb.Get());
    zuv::Bstr caption(L"Save");
    long id = 7;
    ComPtr<IDispatch> popup =
        host::Cast(host::AddControl(host::Controls(toolbar.Get()).Get(), false, host::type::kDropDownButton, &id, 0,
                                    caption.Get(), true),
                   host::kIidPopup);
    ComPtr<IDispatch> drop_down = host::PopupCommandBarByName(popup.Get());
    host::AddControl(host::ControlsByName(drop_down.Get()).Get(), true, host::type::kCommand, nullptr, 8,
                     caption.Get(), false);
    host::PutToolBarID(popup.Get(), 3);
    EXPECT_EQ(host::GetLong(popup.Get(), host::id::kId), 7);
    host::AddKeyBinding(cb.Get(), 8, 83, 7);

    std::vector<std::wstring> expected = {
        L"CommandBars call 2 (String \"Standard\", Long 0)",
        L"ToolBar1 get 2",
        L"ToolBar1.Controls call 2 (Long 4, Long& 7, String \"Save\", Boolean False)",
        L"Control#1 name \"CommandBar\"",
        L"Control#1 get 50",
        L"Control#1.CommandBar name \"Controls\"",
        L"Control#1.CommandBar get 2",
        L"Control#1.CommandBar.Controls name \"Add\"",
        L"Control#1.CommandBar.Controls call 2 (Long 1, Long 8, String \"Save\")",
        L"Control#1 name \"ToolBarID\"",
        L"Control#1 put ToolBarID (Long 3)",
        L"Control#1 get 6",
        L"CommandBars get 10",
        L"KeyBindings call 1 (Long 8, Long 83, Long 7)",
    };
    EXPECT_EQ(xchost::LogLines(cb.Get()), expected);
}

TEST(HostCalls, HostFailuresKeepTheirNumberAndDescription) {
    ComPtr<IDispatch> cb = xchost::CreateHost();
    xchost::FailCall(cb.Get(), L"MenuBar", L"put 24", 1, 1004, L"Bar is locked");
    ComPtr<IDispatch> bar = host::MenuBar(cb.Get());
    try {
        host::PutBool(bar.Get(), host::id::kBarFlagB, false);
        ADD_FAILURE() << "the put did not fail";
    } catch (const zuv::RuntimeError& e) {
        EXPECT_EQ(e.Number(), 1004);
        EXPECT_EQ(e.Description(), L"Bar is locked");
    }
    // An object of the wrong kind is run-time error 13.
    xchost::WrongKind(cb.Get(), L"*", L"get 4", 1);
    try {
        host::MenuBar(cb.Get());
        ADD_FAILURE() << "the cast did not fail";
    } catch (const zuv::RuntimeError& e) {
        EXPECT_EQ(e.Number(), 13);
    }
    // A destroyed control keeps the host's HRESULT as the number.
    ComPtr<IDispatch> control = host::Cast(
        host::AddControl(host::Controls(bar.Get()).Get(), false, host::type::kMenuBarPopup, nullptr, 5,
                         zuv::Bstr(L"File").Get(), false),
        host::kIidPopup);
    xchost::DestroyControl(cb.Get(), 5);
    try {
        host::PutBool(control.Get(), host::id::kEnabled, false);
        ADD_FAILURE() << "the put did not fail";
    } catch (const zuv::RuntimeError& e) {
        EXPECT_EQ(e.Hresult(), static_cast<HRESULT>(0x8000FFFF));
        EXPECT_EQ(e.Number(), static_cast<long>(0x8000FFFF));
        EXPECT_EQ(e.Description(), L"The control has been destroyed");
    }
}

}  // namespace
