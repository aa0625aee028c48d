// The native command bars in a real window: a menu and a toolbar tree are
// rendered through the component, read back through Win32 (menus, toolbar
// buttons, the accelerator table), changed, and clicked through the
// window's own message handling.
#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <optional>

#include "frame/error.h"
#include "support/nodes.h"
#include "zuvNativeBars.h"

namespace zuv::test {
namespace {

using Rows = std::vector<std::wstring>;
using Ids = std::vector<long>;

// Straight from the DLL beside the test: nothing needs to be registered.
Exports& NativeDll() {
    static Exports dll(L"zuvNativeBars.dll");
    return dll;
}
ComPtr<INativeCommandBars> NewBars() { return NativeDll().New<INativeCommandBars>(CLSID_NativeCommandBars); }
void OnExecute(INativeCommandBars* bars, void (STDMETHODCALLTYPE* handler)(void*, LONG), void* context) {
    Must(Required(ComPtr<INativeCommandBars>(bars).As<INativeCommandBarsHandler>(), "the handler interface")
             ->SetExecuteHandler(reinterpret_cast<void*>(handler), context), "SetExecuteHandler");
}
template <class Node>
bool RenderInto(Node* root, IDispatch* bars) { return Render(root, reinterpret_cast<ICommandBarsObject*>(bars)); }
const long CTRL = 8, SHIFT = 4, ALT = 16;

// --- Reading Win32 back ---------------------------------------------------------

// "1003 &Open...\tCtrl+O [x] [off]", "> &File" (a drop-down), "---".
std::wstring MenuRow(HMENU menu, int position) {
    wchar_t text[256] = L"";
    MENUITEMINFOW mii{};
    mii.cbSize = sizeof(mii), mii.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_ID | MIIM_STRING | MIIM_SUBMENU;
    mii.dwTypeData = text, mii.cch = 256;
    if (!GetMenuItemInfoW(menu, position, TRUE, &mii)) return L"(unreadable)";
    if (mii.fType & MFT_SEPARATOR) return L"---";
    std::wstring row = (mii.hSubMenu ? L"> " : std::to_wstring(mii.wID) + L" ") + text;
    return row + (mii.fState & MFS_CHECKED ? L" [x]" : L"") + (mii.fState & MFS_GRAYED ? L" [off]" : L"");
}
Rows MenuRows(HMENU menu) {
    Rows rows;
    for (int i = 0, n = GetMenuItemCount(menu); i < n; ++i) rows.push_back(MenuRow(menu, i));
    return rows;
}

// "2004 Bold [x]", "2005 Insert [v]" (a drop-down), "|" (a separator).
Rows ToolbarRows(HWND toolbar) {
    Rows rows;
    for (int i = 0, n = static_cast<int>(SendMessageW(toolbar, TB_BUTTONCOUNT, 0, 0)); i < n; ++i) {
        TBBUTTON b{};
        SendMessageW(toolbar, TB_GETBUTTON, i, reinterpret_cast<LPARAM>(&b));
        wchar_t text[128] = L"";
        SendMessageW(toolbar, TB_GETBUTTONTEXTW, b.idCommand, reinterpret_cast<LPARAM>(text));
        std::wstring row = std::to_wstring(b.idCommand) + L" " + text;
        for (auto [set, mark] : {std::pair{(b.fsState & TBSTATE_CHECKED) != 0, L" [x]"},
                                 {!(b.fsState & TBSTATE_ENABLED), L" [off]"},
                                 {(b.fsState & TBSTATE_HIDDEN) != 0, L" [hidden]"},
                                 {(b.fsStyle & BTNS_DROPDOWN) != 0, L" [v]"}})
            if (set) row += mark;
        rows.push_back(b.fsStyle & BTNS_SEP ? L"|" : row);
    }
    return rows;
}

// "Ctrl+Shift+S=1005", "VK114=1017"; "!" marks an entry that is not a virtual key.
Rows AcceleratorRows(INativeCommandBars* bars) {
    LONG handle = 0;
    Must(bars->get_Accelerators(&handle), "Accelerators");
    auto table = reinterpret_cast<HACCEL>(static_cast<LONG_PTR>(handle));
    std::vector<ACCEL> entries(table ? CopyAcceleratorTableW(table, nullptr, 0) : 0);
    if (!entries.empty()) CopyAcceleratorTableW(table, entries.data(), static_cast<int>(entries.size()));
    Rows rows;
    for (const ACCEL& a : entries) {
        std::wstring row = (a.fVirt & FVIRTKEY) ? L"" : L"!";
        for (auto [flag, name] : {std::pair{FCONTROL, L"Ctrl+"}, {FALT, L"Alt+"}, {FSHIFT, L"Shift+"}})
            if (a.fVirt & flag) row += name;
        bool plain = (a.key >= 'A' && a.key <= 'Z') || (a.key >= '0' && a.key <= '9');
        row += plain ? std::wstring(1, static_cast<wchar_t>(a.key)) : L"VK" + std::to_wstring(a.key);
        rows.push_back(row + L"=" + std::to_wstring(a.cmd));
    }
    return rows;
}

// --- The test window ------------------------------------------------------------------

std::vector<WORD> g_unhandled;     // WM_COMMAND numbers that reached the window itself
Rows g_opened;                     // the last drop-down that opened

LRESULT CALLBACK TestWindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_COMMAND: g_unhandled.push_back(LOWORD(wp)); return 0;
    case WM_INITMENUPOPUP: g_opened = MenuRows(reinterpret_cast<HMENU>(wp)); return 0;
    case WM_ENTERIDLE:   // a drop-down opened by a click is up: close it again
        if (wp == MSGF_MENU) EndMenu();
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

HWND NewWindow(DWORD style = WS_OVERLAPPEDWINDOW | WS_VISIBLE, HWND parent = nullptr) {
    static ATOM atom = [] {
        WNDCLASSW wc{};
        wc.lpfnWndProc = TestWindowProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"zuvNativeBarsTest";
        return RegisterClassW(&wc);
    }();
    // The first window of a fresh display can come too early for Wine's
    // desktop process (seen under qemu-user): try again for a while.
    for (int attempt = 0; attempt < 40; ++attempt) {
        if (HWND hwnd = CreateWindowExW(0, reinterpret_cast<LPCWSTR>(static_cast<ULONG_PTR>(atom)), L"Native bars test",
                                        style, 10, 10, 700, 450, parent, nullptr, GetModuleHandleW(nullptr), nullptr))
            return hwnd;
        Sleep(250);
    }
    throw TestStopped("no window could be created");
}
LONG Handle(HWND hwnd) { return static_cast<LONG>(reinterpret_cast<LONG_PTR>(hwnd)); }

// The window's message loop, run until the queue is empty.
void Pump() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

// A key press with modifiers, through the thread's queue and its loop.
void PressKey(HWND hwnd, std::initializer_list<BYTE> modifiers, BYTE key) {
    BYTE state[256] = {}, saved[256];
    GetKeyboardState(state);
    memcpy(saved, state, sizeof(state));
    for (BYTE m : modifiers) state[m] = 0x80;
    SetKeyboardState(state);
    PostMessageW(hwnd, (state[VK_MENU] & 0x80) ? WM_SYSKEYDOWN : WM_KEYDOWN, key, 1);
    Pump();
    SetKeyboardState(saved);
}

void STDMETHODCALLTYPE RecordId(void* context, LONG id) { static_cast<Ids*>(context)->push_back(id); }

// --- The fixture: an editor's trees rendered into a window ------------------------------

class NativeBarsTest : public ComTest {
protected:
    void SetUp() override {
        g_unhandled.clear();
        g_opened.clear();
        hwnd_ = NewWindow();
        SetForegroundWindow(hwnd_);
        SetActiveWindow(hwnd_);
        Must(bars_->Attach(Handle(hwnd_)), "Attach");
        OnExecute(bars_.Get(), &RecordId, &executed_);
        announced_.emplace(bars_.Get(), DIID__INativeCommandBarsEvents);

        m_.emplace(L"&File{&New &Open... &Save Save&As... - Recent - E&xit} "
                   L"&Edit{&Undo - Cu&t &Copy &Paste - &Find{&Find... Find&Next}} &View{&Status &Wrap &Debug} "
                   L"&Window{&Cascade - List} &Help{&About...}");
        for (auto [caption, modifiers, key] : {std::tuple{L"&New", CTRL, long('N')}, {L"&Open...", CTRL, 'O'},
                 {L"&Save", CTRL, 'S'}, {L"Save&As...", CTRL | SHIFT, 'S'}, {L"E&xit", ALT, VK_F4},
                 {L"&Undo", CTRL, 'Z'}, {L"Cu&t", CTRL, 'X'}, {L"&Copy", CTRL, 'C'}, {L"&Paste", CTRL, 'V'},
                 {L"&Find...", CTRL, 'F'}, {L"Find&Next", 0L, VK_F3}, {L"&About...", 0L, VK_F1}})
            Shortcut(Menu(caption), modifiers, key);
        MakeArray(Menu(L"Recent"), 3);
        Must(Menu(L"&Status")->put_Checked(VARIANT_TRUE), "Checked");
        Must(Menu(L"&Debug")->put_Visible(VARIANT_FALSE), "Visible");
        Must(Menu(L"List")->put_WindowsList(VARIANT_TRUE), "WindowsList");
        Must(m_->root->put_StartID(1000), "StartID");
        b_.emplace(L"New Open Save - Bold - Insert{&Date &Time}");
        Must(b_->root->put_StartID(2000), "StartID");
        ASSERT_TRUE(RenderInto(m_->root.Get(), bars_.Get()));
        ASSERT_TRUE(RenderInto(b_->root.Get(), bars_.Get()));
        // A pressed value, a tooltip and the generated entries' captions
        // reach the controls once rendered.
        Must(Bar(L"Bold")->put_Value(xToolBarValue_tblPressed), "Value");
        Must(Bar(L"Bold")->put_TooltipText(B(L"Bold text").Get()), "TooltipText");
        auto recent = Read(Menu(L"Recent"), &_xMenu::get_ArrayMenu);
        for (long i : {0, 1, 2})
            Must(ItemAt(recent.Get(), i)->put_Caption(B((L"&" + N(i + 1) + L" " + wchar_t(L'a' + i) + L".txt").c_str()).Get()),
                 "Caption");
        toolbar_ = Required(FindWindowExW(hwnd_, nullptr, TOOLBARCLASSNAMEW, nullptr), "the toolbar");
    }

    void TearDown() override {
        announced_.reset();
        bars_ = nullptr;
        m_.reset(), b_.reset();
        if (IsWindow(hwnd_)) DestroyWindow(hwnd_);
        Pump();
        EXPECT_EQ(NativeDll().can_unload_now(), S_OK) << "native command-bar objects still alive";
        ComTest::TearDown();
    }

    _xMenu* Menu(const wchar_t* caption) { return (*m_)[caption]; }
    _xToolBar* Bar(const wchar_t* caption) { return (*b_)[caption]; }
    HMENU TopMenu(int position) { return GetSubMenu(GetMenu(hwnd_), position); }
    // A press and release on a toolbar button: its middle, or its drop-down arrow.
    void ClickButton(long id, bool arrow = false) {
        RECT r{};
        SendMessageW(toolbar_, TB_GETRECT, id, reinterpret_cast<LPARAM>(&r));
        LPARAM at = MAKELPARAM(arrow ? r.right - 4 : (r.left + r.right) / 2, (r.top + r.bottom) / 2);
        SendMessageW(toolbar_, WM_LBUTTONDOWN, MK_LBUTTON, at);
        SendMessageW(toolbar_, WM_LBUTTONUP, 0, at);
        Pump();
    }

    HWND hwnd_ = nullptr, toolbar_ = nullptr;
    ComPtr<INativeCommandBars> bars_ = NewBars();
    std::optional<Tree<_xMenu>> m_;
    std::optional<Tree<_xToolBar>> b_;
    std::optional<EventRecorder> announced_;
    Ids executed_;
};

TEST_F(NativeBarsTest, MenusToolbarAndKeysMatchTheTrees) {
    EXPECT_EQ(MenuRows(GetMenu(hwnd_)), (Rows{L"> &File", L"> &Edit", L"> &View", L"> &Window", L"> &Help"}));
    const std::tuple<int, int, Rows> menus[] = {   // top, nested drop-down (-1: none), rows
        {0, -1, {L"1002 &New\tCtrl+N", L"1003 &Open...\tCtrl+O", L"1004 &Save\tCtrl+S", L"1005 Save&As...\tCtrl+Shift+S",
                 L"---", L"1006 &1 a.txt", L"1007 &2 b.txt", L"1008 &3 c.txt", L"---", L"1009 E&xit\tAlt+F4"}},
        {1, -1, {L"1011 &Undo\tCtrl+Z", L"---", L"1012 Cu&t\tCtrl+X", L"1013 &Copy\tCtrl+C", L"1014 &Paste\tCtrl+V",
                 L"---", L"> &Find"}},
        {1, 6, {L"1016 &Find...\tCtrl+F", L"1017 Find&Next\tF3"}},
        {2, -1, {L"1019 &Status [x]", L"1020 &Wrap"}},   // the hidden entry is left out
        {3, -1, {L"1023 &Cascade", L"---", L"65024 &1 Native bars test [x]"}},   // the open windows
        {4, -1, {L"1026 &About...\tF1"}},
    };
    for (auto& [top, sub, rows] : menus)
        EXPECT_EQ(MenuRows(sub < 0 ? TopMenu(top) : GetSubMenu(TopMenu(top), sub)), rows) << top << "/" << sub;
    EXPECT_EQ(ToolbarRows(toolbar_),
              (Rows{L"2001 New", L"2002 Open", L"2003 Save", L"|", L"2004 Bold [x]", L"|", L"2005 Insert [v]"}));
    EXPECT_EQ(AcceleratorRows(bars_.Get()),
              (Rows{L"Ctrl+N=1002", L"Ctrl+O=1003", L"Ctrl+S=1004", L"Ctrl+Shift+S=1005", L"Alt+VK115=1009",
                    L"Ctrl+Z=1011", L"Ctrl+X=1012", L"Ctrl+C=1013", L"Ctrl+V=1014", L"Ctrl+F=1016", L"VK114=1017",
                    L"VK112=1026"}));
    RECT r{};
    GetWindowRect(toolbar_, &r);
    EXPECT_EQ(Read(bars_.Get(), &INativeCommandBars::get_BarsHeight), r.bottom - r.top);
    EXPECT_GT(r.bottom - r.top, 10);
}

// A tool tip as the toolbar asks the window for it ("(none)" without one).
std::wstring ToolTip(HWND window, HWND toolbar, long id) {
    NMTTDISPINFOW info{};
    info.hdr = {reinterpret_cast<HWND>(SendMessageW(toolbar, TB_GETTOOLTIPS, 0, 0)), UINT_PTR(id), UINT(TTN_GETDISPINFOW)};
    SendMessageW(window, WM_NOTIFY, id, reinterpret_cast<LPARAM>(&info));
    return info.lpszText ? info.lpszText : L"(none)";
}

TEST_F(NativeBarsTest, PropertyChangesShowAtOnce) {
    EXPECT_EQ(ToolTip(hwnd_, toolbar_, 2004), L"Bold text");
    const std::tuple<std::function<HRESULT()>, int, int, const wchar_t*> changes[] = {
        // the change; where: a drop-down's position, -1 the toolbar, -2 the menu bar, -3 a tool tip; the row; what shows
        {[&] { return Menu(L"&Copy")->put_Enabled(VARIANT_FALSE); }, 1, 3, L"1013 &Copy\tCtrl+C [off]"},
        {[&] { return Menu(L"&Status")->put_Checked(VARIANT_FALSE); }, 2, 0, L"1019 &Status"},
        {[&] { return Menu(L"&Debug")->put_Visible(VARIANT_TRUE); }, 2, 2, L"1021 &Debug"},
        {[&] { return Menu(L"&Open...")->put_Caption(B(L"&Load").Get()); }, 0, 1, L"1003 &Load\tCtrl+O"},
        {[&] { return Menu(L"E&xit")->put_ID(5000); }, 0, 9, L"5000 E&xit"},
        {[&] { return Menu(L"&Help")->put_Enabled(VARIANT_FALSE); }, -2, 4, L"> &Help [off]"},
        {[&] { return bars_->put_WindowListText(B(L"More windows...").Get()); }, 3, 2, L"35000 More windows..."},
        {[&] { return Bar(L"Bold")->put_Value(xToolBarValue_tblUnPressed); }, -1, 4, L"2004 Bold"},
        {[&] { return Bar(L"Save")->put_Visible(VARIANT_FALSE); }, -1, 2, L"2003 Save [hidden]"},
        {[&] { return Bar(L"Open")->put_Enabled(VARIANT_FALSE); }, -1, 1, L"2002 Open [off]"},
        {[&] { return Bar(L"New")->put_Caption(B(L"Create").Get()); }, -1, 0, L"2001 Create"},
        {[&] { return Bar(L"New")->put_TooltipText(B(L"Create a document").Get()); }, -3, 2001, L"Create a document"},
        {[&] { return Bar(L"Open")->put_TooltipText(B(L"").Get()); }, -3, 2002, L"Open"},   // the caption
    };
    for (auto& [change, top, row, expected] : changes) {
        Must(change(), "the change");
        EXPECT_EQ(top == -3   ? ToolTip(hwnd_, toolbar_, row)
                  : top == -1 ? ToolbarRows(toolbar_).at(row)
                              : MenuRow(top == -2 ? GetMenu(hwnd_) : TopMenu(top), row),
                  expected);
    }
}

// Each way a command arrives, and what the handler and the connection point
// announce (the rows above show which node each ID is).
TEST_F(NativeBarsTest, CommandsReachTheHost) {
    auto command = [&](WPARAM id) { return [&, id] { SendMessageW(hwnd_, WM_COMMAND, id, 0); }; };
    const std::pair<std::function<void()>, Ids> cases[] = {
        {command(1003), {1003}},
        {command(1007), {1007}},   // a generated entry
        {[&] { PressKey(hwnd_, {VK_CONTROL}, 'O'); }, {1003}},
        {[&] { PressKey(hwnd_, {}, VK_F1); }, {1026}},
        {[&] { PressKey(hwnd_, {VK_CONTROL}, 'Q'); }, {}},
        {[&] { ClickButton(2004); }, {2004}},
        {command(2006), {2006}},   // a drop-down's entry
        {command(0xFE00), {}},     // an entry of the window list
        {command(4242), {}},       // someone else's command
        {[&] {
             Must(bars_->put_WindowListText(B(L"Windows...").Get()), "WindowListText");
             command(35000)();
         }, {35000}},
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(testing::Message() << "case " << i);
        executed_.clear();
        announced_->Clear();
        cases[i].first();
        EXPECT_EQ(executed_, cases[i].second);
        Rows expected;
        for (long id : cases[i].second) expected.push_back(L"ButtonClick(" + N(id) + L")");   // the Execute event, dispid 1
        EXPECT_EQ(announced_->Events(), expected) << "the connection point";
    }
    EXPECT_EQ(g_unhandled, (std::vector<WORD>{4242})) << "only commands that are not ours reach the window";
}

TEST_F(NativeBarsTest, DropDownOpensOnItsArrow) {
    ClickButton(2005, true);
    EXPECT_EQ(g_opened, (Rows{L"2006 &Date", L"2007 &Time"}));
}

// Changes while detached are kept and shown on the next attach.
TEST_F(NativeBarsTest, DetachKeepsChangesForTheNextAttach) {
    Must(bars_->Detach(), "Detach");
    EXPECT_EQ(GetMenu(hwnd_), nullptr);
    EXPECT_EQ(FindWindowExW(hwnd_, nullptr, TOOLBARCLASSNAMEW, nullptr), nullptr);
    Must(Menu(L"&Open...")->put_Caption(B(L"&Load").Get()), "Caption");
    Must(Bar(L"Bold")->put_Enabled(VARIANT_FALSE), "Enabled");
    Must(bars_->Attach(Handle(hwnd_)), "Attach");
    EXPECT_EQ(MenuRow(TopMenu(0), 1), L"1003 &Load\tCtrl+O");
    toolbar_ = Required(FindWindowExW(hwnd_, nullptr, TOOLBARCLASSNAMEW, nullptr), "the toolbar");
    EXPECT_EQ(ToolbarRows(toolbar_).at(4), L"2004 Bold [x] [off]");
}

// The window goes first: the bars let go of it and keep working.
TEST_F(NativeBarsTest, WindowGoingFirstIsLetGo) {
    DestroyWindow(hwnd_);
    EXPECT_EQ(Read(bars_.Get(), &INativeCommandBars::get_hWnd), 0);
    Must(Menu(L"&Open...")->put_Caption(B(L"&Load").Get()), "Caption");
    HWND other = NewWindow();
    Must(bars_->Attach(Handle(other)), "Attach");
    EXPECT_EQ(MenuRow(GetSubMenu(GetMenu(other), 0), 1), L"1003 &Load\tCtrl+O");
    DestroyWindow(other);
}

// Command IDs that do not fit WM_COMMAND's 16 bits travel as stand-in
// numbers and come back as themselves.
TEST_F(NativeBarsTest, WideIdsTravelAsStandIns) {
    auto bars = NewBars();
    HWND hwnd = NewWindow();
    Must(bars->Attach(Handle(hwnd)), "Attach");
    Ids ids;
    OnExecute(bars.Get(), &RecordId, &ids);
    Tree<_xMenu> t(L"&Top{&Wide &Negative}");
    Must(t.root->put_StartID(100000), "StartID");
    Shortcut(t[L"&Wide"], CTRL, 'W');
    ASSERT_TRUE(RenderInto(t.root.Get(), bars.Get()));
    Must(t[L"&Negative"]->put_ID(-7), "ID");
    // Stand-ins are handed out in order: Top 61440, Wide 61441, Negative 61442, then -7 61443.
    EXPECT_EQ(MenuRows(GetSubMenu(GetMenu(hwnd), 0)), (Rows{L"61441 &Wide\tCtrl+W", L"61443 &Negative"}));
    EXPECT_EQ(AcceleratorRows(bars.Get()), (Rows{L"Ctrl+W=61441"}));
    SendMessageW(hwnd, WM_COMMAND, 61441, 0);
    SendMessageW(hwnd, WM_COMMAND, 61443, 0);
    PressKey(hwnd, {VK_CONTROL}, 'W');
    EXPECT_EQ(ids, (Ids{100002, -7, 100002}));
    EXPECT_EQ(Find(t.root.Get(), 100002).Get(), t[L"&Wide"]);
    OnExecute(bars.Get(), nullptr, nullptr);
    DestroyWindow(hwnd);
}

// --- Calls the native bars refuse, from late-bound callers ------------------------------

class RefusedCallsTest : public NativeBarsTest {
protected:
    void SetUp() override {
        NativeBarsTest::SetUp();
        menu_bar_ = Read(bars_.Get(), &INativeCommandBars::get_ActiveMenuBar);
        controls_ = Required(ComPtr<IDispatch>(Object(Get(menu_bar_.Get(), L"Controls").value)), "Controls");
        keys_ = Read(bars_.Get(), &INativeCommandBars::get_KeyBindings);
        Must(Menu(L"&Open...")->get_CmdBarControl(reinterpret_cast<ICommandBarControl**>(open_.Out())), "CmdBarControl");
        Must(Menu(L"&File")->get_CmdBarPopup(reinterpret_cast<ICommandBarPopup**>(file_.Out())), "CmdBarPopup");
    }
    void TearDown() override {
        menu_bar_ = controls_ = keys_ = open_ = file_ = nullptr;
        NativeBarsTest::TearDown();
    }
    ComPtr<IDispatch> menu_bar_, controls_, keys_, open_, file_;
};

TEST_F(RefusedCallsTest, WhatTheBarsCannotShowFailsClearly) {
    const WORD get = DISPATCH_PROPERTYGET, put = DISPATCH_PROPERTYPUT, call = DISPATCH_METHOD;
    const DISPID add = IdOf(controls_.Get(), L"Add"), bar = IdOf(open_.Get(), L"CommandBar");
    const std::tuple<IDispatch*, DISPID, WORD, std::vector<Variant>, const wchar_t*> refused[] = {
        {menu_bar_.Get(), 18, call, {Variant::Long(1), Variant::Long(1)}, L"menu bar style (1, 1)"},
        {menu_bar_.Get(), 23, put, {Variant::Bool(true)}, L"bar option 23"},
        {menu_bar_.Get(), 16, call, {Variant::Long(1), Variant::Long(2)}, L"bar flags"},
        {controls_.Get(), add, call, {Variant::Long(9), Variant::Long(1), Variant::String(L"x")}, L"Control type 9"},
        {controls_.Get(), add, call, {Variant::Long(1), Variant::String(L"one"), Variant::String(L"x")}, L"Type mismatch"},
        {keys_.Get(), 1, call, {Variant::Long(1), Variant::Long(65), Variant::Long(5)}, L"Ctrl (8), Alt (16) and Shift (4)"},
        {keys_.Get(), 1, call, {Variant::Long(8), Variant::Long(0), Variant::Long(5)}, L"virtual-key code"},
        {open_.Get(), bar, get, {}, L"drop-down"},
        {bars_.Get(), IdOf(bars_.Get(), L"Add"), call, {Variant::String(L"Side"), Variant::Long(2)}, L"across the top"},
    };
    for (auto& [object, id, kind, args, says] : refused) {
        LateResult r = InvokeId(object, id, kind, args);
        EXPECT_EQ(r.hr, DISP_E_EXCEPTION) << says;
        EXPECT_NE(r.description.find(says), std::wstring::npos) << std::string(r.description.begin(), r.description.end());
    }
}

// Window handles that cannot carry bars.
TEST_F(NativeBarsTest, AWindowThatCannotCarryBarsIsRefused) {
    EXPECT_NE(bars_->Attach(0), S_OK);
    EXPECT_NE(bars_->Attach(Handle(NewWindow(WS_CHILD, hwnd_))), S_OK);
}

// Names the component resolves at run time.
TEST_F(RefusedCallsTest, NamesTheComponentUsesResolve) {
    for (auto [object, name] : {std::pair{menu_bar_.Get(), L"Controls"}, {controls_.Get(), L"Add"},
                                {file_.Get(), L"CommandBar"}, {open_.Get(), L"ToolBarID"}})
        EXPECT_NE(IdOf(object, name), DISPID_UNKNOWN) << std::string(name, name + wcslen(name));
}

// Objects outliving their command bars fail every call, and lose nothing else.
TEST_F(RefusedCallsTest, ControlsOutlivingTheBarsFailClearly) {
    announced_.reset();
    bars_ = nullptr;
    LateResult late = InvokeId(open_.Get(), 4, DISPATCH_PROPERTYPUT, {Variant::String(L"x")});
    EXPECT_EQ(late.hr, DISP_E_EXCEPTION);
    EXPECT_NE(late.description.find(L"released"), std::wstring::npos);
    // The node stores the value, then its forwarded put fails with that error.
    EXPECT_EQ(Menu(L"&Open...")->put_Caption(B(L"still a node").Get()), HresultOfNumber(91));
    EXPECT_EQ(Read(Menu(L"&Open..."), &_xMenu::get_Caption), L"still a node");
}

}  // namespace
}  // namespace zuv::test
