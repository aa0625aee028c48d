// The native command bars in a real window: the editor example's trees are
// rendered through the component, read back through Win32 (menus,
// toolbar buttons, the accelerator table), changed, and clicked through
// the window's own message handling.
#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include "editor_ui.h"
#include "support/com_test.h"
#include "frame/error.h"
#include "support/late_bound.h"
#include "zuvNativeBars.h"

namespace {

using zuv::Bstr;
using zuv::ComPtr;
using zuv::Variant;
using zuv::test::EventRecorder;
using Rows = std::vector<std::wstring>;

HMODULE NativeDll() {
    static HMODULE dll = LoadLibraryW(L"zuvNativeBars.dll");
    return dll;
}

HRESULT NativeCanUnloadNow() {
    auto fn = reinterpret_cast<HRESULT(WINAPI*)()>(reinterpret_cast<void*>(GetProcAddress(NativeDll(), "DllCanUnloadNow")));
    return fn ? fn() : E_FAIL;
}

// Straight from the DLL beside the test: nothing needs to be registered.
ComPtr<INativeCommandBars> NewBars() {
    using GetClass = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);
    auto get = reinterpret_cast<GetClass>(reinterpret_cast<void*>(GetProcAddress(NativeDll(), "DllGetClassObject")));
    ComPtr<IClassFactory> factory;
    ComPtr<INativeCommandBars> bars;
    if (get && SUCCEEDED(get(CLSID_NativeCommandBars, IID_IClassFactory, reinterpret_cast<void**>(factory.Out()))))
        factory->CreateInstance(nullptr, IID_INativeCommandBars, reinterpret_cast<void**>(bars.Out()));
    return bars;
}

// --- Reading Win32 back ---------------------------------------------------------

// "1003 &Open...\tCtrl+O [x] [off]", "> &File" (a drop-down), "---".
std::wstring MenuRow(HMENU menu, int position) {
    wchar_t text[256] = L"";
    MENUITEMINFOW mii{};
    mii.cbSize = sizeof(mii);
    mii.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_ID | MIIM_STRING | MIIM_SUBMENU;
    mii.dwTypeData = text;
    mii.cch = 256;
    if (!GetMenuItemInfoW(menu, position, TRUE, &mii)) return L"(unreadable)";
    if (mii.fType & MFT_SEPARATOR) return L"---";
    std::wstring row = mii.hSubMenu ? L"> " : std::to_wstring(mii.wID) + L" ";
    row += text;
    if (mii.fState & MFS_CHECKED) row += L" [x]";
    if (mii.fState & MFS_GRAYED) row += L" [off]";
    return row;
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
        if (b.fsStyle & BTNS_SEP) {
            rows.push_back(L"|");
            continue;
        }
        wchar_t text[128] = L"";
        SendMessageW(toolbar, TB_GETBUTTONTEXTW, b.idCommand, reinterpret_cast<LPARAM>(text));
        std::wstring row = std::to_wstring(b.idCommand) + L" " + text;
        if (b.fsState & TBSTATE_CHECKED) row += L" [x]";
        if (!(b.fsState & TBSTATE_ENABLED)) row += L" [off]";
        if (b.fsState & TBSTATE_HIDDEN) row += L" [hidden]";
        if (b.fsStyle & BTNS_DROPDOWN) row += L" [v]";
        rows.push_back(row);
    }
    return rows;
}

// "Ctrl+Shift+S=1005", "VK114=1017"; "!" marks an entry that is not a virtual key.
Rows AcceleratorRows(HACCEL table) {
    Rows rows;
    int n = table ? CopyAcceleratorTableW(table, nullptr, 0) : 0;
    std::vector<ACCEL> entries(n);
    if (n) CopyAcceleratorTableW(table, entries.data(), n);
    for (const ACCEL& a : entries) {
        std::wstring row = (a.fVirt & FVIRTKEY) ? L"" : L"!";
        if (a.fVirt & FCONTROL) row += L"Ctrl+";
        if (a.fVirt & FALT) row += L"Alt+";
        if (a.fVirt & FSHIFT) row += L"Shift+";
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
    case WM_COMMAND:
        g_unhandled.push_back(LOWORD(wp));
        return 0;
    case WM_INITMENUPOPUP:
        g_opened = MenuRows(reinterpret_cast<HMENU>(wp));
        return 0;
    case WM_ENTERIDLE:
        // A drop-down opened by a click is up: close it again.
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
        HWND hwnd = CreateWindowExW(0, reinterpret_cast<LPCWSTR>(static_cast<ULONG_PTR>(atom)), L"Native bars test",
                                    style, 10, 10, 700, 450, parent, nullptr, GetModuleHandleW(nullptr), nullptr);
        if (hwnd) return hwnd;
        Sleep(250);
    }
    return nullptr;
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
    BYTE state[256] = {};
    GetKeyboardState(state);
    BYTE saved[256];
    memcpy(saved, state, sizeof(state));
    for (BYTE m : modifiers) state[m] = 0x80;
    SetKeyboardState(state);
    PostMessageW(hwnd, (state[VK_MENU] & 0x80) ? WM_SYSKEYDOWN : WM_KEYDOWN, key, 1);
    Pump();
    SetKeyboardState(saved);
}

// Execute notifications from the connection point.
class ExecuteSink final : public IDispatch {
public:
    std::vector<long> ids;
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        *ppv = (riid == IID_IUnknown || riid == IID_IDispatch || riid == DIID__INativeCommandBarsEvents)
                   ? static_cast<IDispatch*>(this) : nullptr;
        if (!*ppv) return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++refs_; }
    STDMETHODIMP_(ULONG) Release() override {
        ULONG r = --refs_;
        if (!r) delete this;
        return r;
    }
    STDMETHODIMP GetTypeInfoCount(UINT* n) override { *n = 0; return S_OK; }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* p, VARIANT*, EXCEPINFO*, UINT*) override {
        if (id == 1 && p && p->cArgs == 1 && p->rgvarg[0].vt == VT_I4) ids.push_back(p->rgvarg[0].lVal);
        else ids.push_back(-1);
        return S_OK;
    }

private:
    ULONG refs_ = 1;
};

// --- The fixture: the editor's trees rendered into a window --------------------------

class NativeBarsTest : public zuv::test::ComTest {
protected:
    void SetUp() override {
        g_unhandled.clear();
        g_opened.clear();
        hwnd_ = NewWindow();
        ASSERT_TRUE(hwnd_);
        SetForegroundWindow(hwnd_);
        SetActiveWindow(hwnd_);
        bars_ = NewBars();
        ASSERT_TRUE(bars_);
        ASSERT_EQ(bars_->Attach(Handle(hwnd_)), S_OK);
        ComPtr<INativeCommandBarsHandler> handler;
        ASSERT_EQ(bars_->QueryInterface(IID_INativeCommandBarsHandler, reinterpret_cast<void**>(handler.Out())), S_OK);
        ASSERT_EQ(handler->SetExecuteHandler(reinterpret_cast<void*>(&OnExecute), this), S_OK);
        ComPtr<IConnectionPointContainer> container;
        ASSERT_EQ(bars_->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(container.Out())), S_OK);
        ASSERT_EQ(container->FindConnectionPoint(DIID__INativeCommandBarsEvents, point_.Out()), S_OK);
        sink_ = ComPtr<ExecuteSink>::Adopt(new ExecuteSink);
        ASSERT_EQ(point_->Advise(static_cast<IDispatch*>(sink_.Get()), &cookie_), S_OK);

        ASSERT_NO_THROW(ui_ = editor::BuildUi());
        ASSERT_TRUE(editor::Render(ui_, bars_.Get()));
        const wchar_t* recent[] = {L"a.txt", L"b.txt", L"c.txt"};
        ASSERT_NO_THROW(editor::ShowRecentFiles(ui_, recent, 3));
        toolbar_ = FindWindowExW(hwnd_, nullptr, TOOLBARCLASSNAMEW, nullptr);
        ASSERT_TRUE(toolbar_);
    }

    void TearDown() override {
        if (point_) point_->Unadvise(cookie_);
        point_ = nullptr;
        bars_ = nullptr;
        ui_ = editor::Ui();
        if (IsWindow(hwnd_)) DestroyWindow(hwnd_);
        Pump();
        EXPECT_EQ(NativeCanUnloadNow(), S_OK) << "native command-bar objects still alive after the test";
        ComTest::TearDown();
    }

    static void STDMETHODCALLTYPE OnExecute(void* context, LONG id) {
        auto* self = static_cast<NativeBarsTest*>(context);
        self->executed_.push_back(id);
        try {
            editor::Dispatch(self->ui_, id);
        } catch (...) {
            self->executed_.push_back(-1);
        }
    }

    HMENU TopMenu(int position) { return GetSubMenu(GetMenu(hwnd_), position); }
    RECT ButtonRect(long id) {
        RECT r{};
        SendMessageW(toolbar_, TB_GETRECT, id, reinterpret_cast<LPARAM>(&r));
        return r;
    }

    HWND hwnd_ = nullptr, toolbar_ = nullptr;
    ComPtr<INativeCommandBars> bars_;
    ComPtr<IConnectionPoint> point_;
    ComPtr<ExecuteSink> sink_;
    DWORD cookie_ = 0;
    editor::Ui ui_;
    std::vector<long> executed_;
};

TEST_F(NativeBarsTest, MenusToolbarAndKeysMatchTheTrees) {
    EXPECT_EQ(MenuRows(GetMenu(hwnd_)), (Rows{L"> &File", L"> &Edit", L"> &View", L"> &Window", L"> &Help"}));
    struct Expected {
        int top;
        int sub;   // -1: the top-level drop-down itself; else the position of a nested drop-down
        Rows rows;
    };
    const Expected menus[] = {
        {0, -1, {L"1002 &New\tCtrl+N", L"1003 &Open...\tCtrl+O", L"1004 &Save\tCtrl+S",
                 L"1005 Save &As...\tCtrl+Shift+S", L"---", L"1006 &1 a.txt", L"1007 &2 b.txt", L"1008 &3 c.txt",
                 L"---", L"1009 E&xit\tAlt+F4"}},
        {1, -1, {L"1011 &Undo\tCtrl+Z", L"---", L"1012 Cu&t\tCtrl+X", L"1013 &Copy\tCtrl+C", L"1014 &Paste\tCtrl+V",
                 L"---", L"> &Find"}},
        {1, 6, {L"1016 &Find...\tCtrl+F", L"1017 Find &Next\tF3"}},
        {2, -1, {L"1019 &Status Bar [x]", L"1020 &Word Wrap"}},   // the hidden Debug Pane is left out
        {3, -1, {L"1023 &Cascade", L"---", L"65024 &1 Native bars test [x]"}},   // the open windows
        {4, -1, {L"1026 &About Editor...\tF1"}},
    };
    for (const Expected& e : menus) {
        HMENU menu = TopMenu(e.top);
        if (e.sub >= 0) menu = GetSubMenu(menu, e.sub);
        EXPECT_EQ(MenuRows(menu), e.rows) << "menu " << e.top << "/" << e.sub;
    }
    EXPECT_EQ(ToolbarRows(toolbar_),
              (Rows{L"2001 New", L"2002 Open", L"2003 Save", L"|", L"2004 Bold [x]", L"|", L"2005 Insert [v]"}));
    LONG table = 0;
    ASSERT_EQ(bars_->get_Accelerators(&table), S_OK);
    EXPECT_EQ(AcceleratorRows(reinterpret_cast<HACCEL>(static_cast<LONG_PTR>(table))),
              (Rows{L"Ctrl+N=1002", L"Ctrl+O=1003", L"Ctrl+S=1004", L"Ctrl+Shift+S=1005", L"Alt+VK115=1009",
                    L"Ctrl+Z=1011", L"Ctrl+X=1012", L"Ctrl+C=1013", L"Ctrl+V=1014", L"Ctrl+F=1016", L"VK114=1017",
                    L"VK112=1026"}));
    LONG height = 0;
    ASSERT_EQ(bars_->get_BarsHeight(&height), S_OK);
    RECT r{};
    GetWindowRect(toolbar_, &r);
    EXPECT_EQ(height, r.bottom - r.top);
    EXPECT_GT(height, 10);
}

TEST_F(NativeBarsTest, PropertyChangesShowAtOnce) {
    using Act = std::function<HRESULT()>;
    struct Change {
        const char* what;
        Act act;
        int top;            // menu drop-down position, or -1: the toolbar, -2: the menu bar
        int row;
        const wchar_t* expected;
    };
    const Change changes[] = {
        {"menu entry disabled", [this] { return ui_.copy->put_Enabled(VARIANT_FALSE); }, 1, 3,
         L"1013 &Copy\tCtrl+C [off]"},
        {"check mark removed", [this] { return ui_.status_bar->put_Checked(VARIANT_FALSE); }, 2, 0,
         L"1019 &Status Bar"},
        {"hidden entry shown", [this] { return ui_.debug_pane->put_Visible(VARIANT_TRUE); }, 2, 2,
         L"1021 &Debug Pane"},
        {"caption", [this] { return ui_.open->put_Caption(Bstr(L"&Open File...").Get()); }, 0, 1,
         L"1003 &Open File...\tCtrl+O"},
        {"command ID", [this] { return ui_.exit->put_ID(5000); }, 0, 9, L"5000 E&xit"},
        {"top-level popup disabled", [this] { return ui_.help->put_Enabled(VARIANT_FALSE); }, -2, 4,
         L"> &Help [off]"},
        {"window list placeholder",
         [this] { return bars_->put_WindowListText(Bstr(L"More windows...").Get()); }, 3, 2,
         L"35000 More windows..."},
        {"button released", [this] { return ui_.tb_bold->put_Value(xToolBarValue_tblUnPressed); },
         -1, 4, L"2004 Bold"},
        {"button hidden", [this] { return ui_.tb_save->put_Visible(VARIANT_FALSE); }, -1, 2,
         L"2003 Save [hidden]"},
        {"button disabled", [this] { return ui_.tb_open->put_Enabled(VARIANT_FALSE); }, -1, 1,
         L"2002 Open [off]"},
        {"button caption", [this] { return ui_.tb_new->put_Caption(Bstr(L"Create").Get()); }, -1, 0,
         L"2001 Create"},
    };
    for (const Change& c : changes) {
        ASSERT_EQ(c.act(), S_OK) << c.what;
        std::wstring row = c.top == -1   ? ToolbarRows(toolbar_).at(c.row)
                           : c.top == -2 ? MenuRow(GetMenu(hwnd_), c.row)
                                         : MenuRow(TopMenu(c.top), c.row);
        EXPECT_EQ(row, c.expected) << c.what;
    }
    // Tool tips: the node's text, and the caption where the node has none.
    ASSERT_EQ(ui_.tb_new->put_TooltipText(Bstr(L"Create a document").Get()), S_OK);
    ASSERT_EQ(ui_.tb_open->put_TooltipText(Bstr(L"").Get()), S_OK);
    const std::pair<long, const wchar_t*> tips[] = {{2001, L"Create a document"}, {2002, L"Open"}, {2004, L"Bold text"}};
    for (auto [id, text] : tips) {
        NMTTDISPINFOW info{};
        info.hdr.hwndFrom = reinterpret_cast<HWND>(SendMessageW(toolbar_, TB_GETTOOLTIPS, 0, 0));
        info.hdr.idFrom = id;
        info.hdr.code = TTN_GETDISPINFOW;
        SendMessageW(hwnd_, WM_NOTIFY, id, reinterpret_cast<LPARAM>(&info));
        EXPECT_STREQ(info.lpszText ? info.lpszText : L"(none)", text) << id;
    }
}

TEST_F(NativeBarsTest, CommandsReachTheNodes) {
    EventRecorder open(ui_.open.Get(), DIID___xMenu), recent(ui_.recent.Get(), DIID___xMenu);
    EventRecorder about(ui_.about.Get(), DIID___xMenu), toolbar(ui_.toolbar.Get(), DIID___xToolBar);
    auto caption = [](IDispatch* d) {
        ComPtr<_xToolBar> node;
        Bstr text;
        if (d && SUCCEEDED(d->QueryInterface(IID__xToolBar, reinterpret_cast<void**>(node.Out()))))
            node->get_Caption(text.Out());
        return text.Str();
    };
    auto click = [&](long id) {
        RECT r = ButtonRect(id);
        LPARAM at = MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
        SendMessageW(toolbar_, WM_LBUTTONDOWN, MK_LBUTTON, at);
        SendMessageW(toolbar_, WM_LBUTTONUP, 0, at);
        Pump();
    };
    struct Case {
        const char* what;
        std::function<void()> deliver;
        std::vector<long> executed;
        std::wstring events;   // what the nodes raised
    };
    const Case cases[] = {
        {"menu entry", [&] { SendMessageW(hwnd_, WM_COMMAND, 1003, 0); }, {1003}, L"open: Click"},
        {"menu-array entry", [&] { SendMessageW(hwnd_, WM_COMMAND, 1007, 0); }, {1007}, L"recent: ArrayClick(1)"},
        {"accelerator Ctrl+O", [&] { PressKey(hwnd_, {VK_CONTROL}, 'O'); }, {1003}, L"open: Click"},
        {"accelerator F1", [&] { PressKey(hwnd_, {}, VK_F1); }, {1026}, L"about: Click"},
        {"unbound key", [&] { PressKey(hwnd_, {VK_CONTROL}, 'Q'); }, {}, L""},
        {"toolbar button", [&] { click(2004); }, {2004}, L"toolbar: ButtonClick(Bold)"},
        {"drop-down entry", [&] { SendMessageW(hwnd_, WM_COMMAND, 2006, 0); }, {2006}, L"toolbar: ButtonClick(&Date)"},
        {"window-list entry", [&] { SendMessageW(hwnd_, WM_COMMAND, 0xFE00, 0); }, {}, L""},
        {"someone else's command", [&] { SendMessageW(hwnd_, WM_COMMAND, 4242, 0); }, {}, L""},
        {"window-list placeholder",
         [&] {
             bars_->put_WindowListText(Bstr(L"Windows...").Get());
             SendMessageW(hwnd_, WM_COMMAND, 35000, 0);
         },
         {35000}, L""},
    };
    for (const Case& c : cases) {
        executed_.clear();
        sink_->ids.clear();
        open.Clear(), recent.Clear(), about.Clear(), toolbar.Clear();
        c.deliver();
        EXPECT_EQ(executed_, c.executed) << c.what;
        EXPECT_EQ(sink_->ids, c.executed) << c.what << " (connection point)";
        std::wstring events;
        for (auto [name, rec] : {std::pair{L"open", &open}, {L"recent", &recent}, {L"about", &about}}) {
            if (!rec->Events().empty()) events += std::wstring(name) + L": " + rec->Joined();
        }
        if (!toolbar.Events().empty())
            events += L"toolbar: ButtonClick(" + caption(toolbar.Objects().empty() ? nullptr : toolbar.Objects()[0].Get()) + L")";
        EXPECT_EQ(events, c.events) << c.what;
    }
    EXPECT_EQ(g_unhandled, (std::vector<WORD>{4242})) << "only commands that are not ours reach the window";

    // The drop-down opens on its arrow and shows its entries.
    RECT r = ButtonRect(2005);
    LPARAM arrow = MAKELPARAM(r.right - 4, (r.top + r.bottom) / 2);
    SendMessageW(toolbar_, WM_LBUTTONDOWN, MK_LBUTTON, arrow);
    SendMessageW(toolbar_, WM_LBUTTONUP, 0, arrow);
    Pump();
    EXPECT_EQ(g_opened, (Rows{L"2006 &Date", L"2007 &Time"}));
}

TEST_F(NativeBarsTest, DetachAttachAndTheWindowGoing) {
    ASSERT_EQ(bars_->Detach(), S_OK);
    EXPECT_EQ(GetMenu(hwnd_), nullptr);
    EXPECT_EQ(FindWindowExW(hwnd_, nullptr, TOOLBARCLASSNAMEW, nullptr), nullptr);
    // Changes while detached are kept and shown on the next attach.
    ASSERT_EQ(ui_.open->put_Caption(Bstr(L"&Load").Get()), S_OK);
    ASSERT_EQ(ui_.tb_bold->put_Enabled(VARIANT_FALSE), S_OK);
    ASSERT_EQ(bars_->Attach(Handle(hwnd_)), S_OK);
    EXPECT_EQ(MenuRow(TopMenu(0), 1), L"1003 &Load\tCtrl+O");
    toolbar_ = FindWindowExW(hwnd_, nullptr, TOOLBARCLASSNAMEW, nullptr);
    ASSERT_TRUE(toolbar_);
    EXPECT_EQ(ToolbarRows(toolbar_).at(4), L"2004 Bold [x] [off]");

    // The window goes first: the bars let go of it and keep working.
    DestroyWindow(hwnd_);
    LONG hwnd = -1;
    ASSERT_EQ(bars_->get_hWnd(&hwnd), S_OK);
    EXPECT_EQ(hwnd, 0);
    EXPECT_EQ(ui_.open->put_Caption(Bstr(L"&Open").Get()), S_OK);
    HWND other = NewWindow();
    ASSERT_EQ(bars_->Attach(Handle(other)), S_OK);
    EXPECT_EQ(MenuRow(GetSubMenu(GetMenu(other), 0), 1), L"1003 &Open\tCtrl+O");
    DestroyWindow(other);
}

void STDMETHODCALLTYPE RecordId(void* context, LONG id) { static_cast<std::vector<long>*>(context)->push_back(id); }

// Command IDs that do not fit WM_COMMAND's 16 bits travel as stand-in
// numbers and come back as themselves.
TEST_F(NativeBarsTest, WideIdsTravelAsStandIns) {
    auto bars = NewBars();
    ASSERT_TRUE(bars);
    HWND hwnd = NewWindow();
    ASSERT_EQ(bars->Attach(Handle(hwnd)), S_OK);
    std::vector<long> ids;
    ComPtr<INativeCommandBarsHandler> handler;
    ASSERT_EQ(bars->QueryInterface(IID_INativeCommandBarsHandler, reinterpret_cast<void**>(handler.Out())), S_OK);
    ASSERT_EQ(handler->SetExecuteHandler(reinterpret_cast<void*>(&RecordId), &ids), S_OK);

    ComPtr<_xMenu> root = zuv::test::NewMenu(), top = zuv::test::NewMenu(), wide = zuv::test::NewMenu(),
                   negative = zuv::test::NewMenu();
    ASSERT_EQ(root->put_StartID(100000), S_OK);
    for (auto [parent, child, caption] : {std::tuple{root.Get(), top.Get(), L"&Top"}, {top.Get(), wide.Get(), L"&Wide"},
                                          {top.Get(), negative.Get(), L"&Negative"}}) {
        ComPtr<_xMenuCollection> subs;
        ASSERT_EQ(parent->get_SubMenus(subs.Out()), S_OK);
        ASSERT_EQ(child->put_Caption(Bstr(caption).Get()), S_OK);
        _xMenu* raw = child;
        Bstr key;
        ComPtr<_xMenu> added;
        ASSERT_EQ(subs->Add(&raw, key.Out(), added.Out()), S_OK);
    }
    ASSERT_EQ(wide->put_ShortCutFirstKey(xMenuShortCutFirstKeys_CTRL), S_OK);
    ASSERT_EQ(wide->put_ShortCutSecondKey(static_cast<xMenuShortCutSecondKeys>('W')), S_OK);
    IDispatch* raw_bars = bars.Get();
    VARIANT_BOOL ok = VARIANT_FALSE;
    ASSERT_EQ(root->RenderMenu(reinterpret_cast<ICommandBarsObject**>(&raw_bars), &ok), S_OK);
    ASSERT_TRUE(ok);
    ASSERT_EQ(negative->put_ID(-7), S_OK);

    HMENU menu = GetSubMenu(GetMenu(hwnd), 0);
    // Stand-ins are handed out in order: Top 61440, Wide 61441, Negative 61442, then -7 61443.
    EXPECT_EQ(MenuRows(menu), (Rows{L"61441 &Wide\tCtrl+W", L"61443 &Negative"}));
    LONG table = 0;
    ASSERT_EQ(bars->get_Accelerators(&table), S_OK);
    EXPECT_EQ(AcceleratorRows(reinterpret_cast<HACCEL>(static_cast<LONG_PTR>(table))), (Rows{L"Ctrl+W=61441"}));
    SendMessageW(hwnd, WM_COMMAND, 61441, 0);
    SendMessageW(hwnd, WM_COMMAND, 61443, 0);
    PressKey(hwnd, {VK_CONTROL}, 'W');
    EXPECT_EQ(ids, (std::vector<long>{100002, -7, 100002}));
    ComPtr<_xMenu> found;
    ASSERT_EQ(root->GetMenu(100002, found.Out()), S_OK);
    EXPECT_EQ(found.Get(), wide.Get());
    handler->SetExecuteHandler(nullptr, nullptr);
    DestroyWindow(hwnd);
}

// --- Calls the native bars refuse, from late-bound callers ------------------------------

struct Call {
    HRESULT hr;
    std::wstring description;
};

Call Invoke(IDispatch* object, const wchar_t* name_or_null, DISPID id, WORD kind, std::vector<Variant> args) {
    if (name_or_null) {
        LPOLESTR names[] = {const_cast<LPOLESTR>(name_or_null)};
        HRESULT hr = object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
        if (FAILED(hr)) return {hr, L"(name)"};
    }
    std::vector<VARIANT> reversed;
    for (auto it = args.rbegin(); it != args.rend(); ++it) reversed.push_back(*it->Get());
    DISPID put = DISPID_PROPERTYPUT;
    DISPPARAMS params{reversed.data(), kind == DISPATCH_PROPERTYPUT ? &put : nullptr,
                      static_cast<UINT>(reversed.size()), kind == DISPATCH_PROPERTYPUT ? 1u : 0u};
    Variant result;
    EXCEPINFO info{};
    UINT arg = 0;
    HRESULT hr = object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, kind, &params, result.Out(), &info, &arg);
    Call call{hr, info.bstrDescription ? info.bstrDescription : L""};
    SysFreeString(info.bstrSource);
    SysFreeString(info.bstrDescription);
    SysFreeString(info.bstrHelpFile);
    return call;
}

TEST_F(NativeBarsTest, RefusedCallsFailClearly) {
    ComPtr<IDispatch> menu_bar, key_bindings, open_control, file_popup, controls;
    ASSERT_EQ(bars_->get_ActiveMenuBar(menu_bar.Out()), S_OK);
    ASSERT_EQ(bars_->get_KeyBindings(key_bindings.Out()), S_OK);
    ASSERT_EQ(ui_.open->get_CmdBarControl(reinterpret_cast<ICommandBarControl**>(open_control.Out())), S_OK);
    ASSERT_EQ(ui_.file->get_CmdBarPopup(reinterpret_cast<ICommandBarPopup**>(file_popup.Out())), S_OK);
    Variant got;
    DISPPARAMS none{};
    ASSERT_EQ(menu_bar->Invoke(2, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, got.Out(), nullptr, nullptr), S_OK);
    controls = ComPtr<IDispatch>(got.Get()->pdispVal);
    ASSERT_TRUE(controls);

    const WORD get = DISPATCH_PROPERTYGET, put = DISPATCH_PROPERTYPUT, call = DISPATCH_METHOD;
    struct Refused {
        const char* what;
        IDispatch* object;
        const wchar_t* name;
        DISPID id;
        WORD kind;
        std::vector<Variant> args;
        const wchar_t* description;   // a part of it
    };
    const Refused refused[] = {
        {"unknown window-button style", menu_bar.Get(), nullptr, 18, call, {Variant::Long(1), Variant::Long(1)},
         L"menu bar style (1, 1)"},
        {"option turned on", menu_bar.Get(), nullptr, 23, put, {Variant::Bool(true)}, L"bar option 23"},
        {"other bar flags", menu_bar.Get(), nullptr, 16, call, {Variant::Long(1), Variant::Long(2)}, L"bar flags"},
        {"control type", controls.Get(), L"Add", 0, call, {Variant::Long(9), Variant::Long(1), Variant::String(L"x")},
         L"Control type 9"},
        {"ID that is no number", controls.Get(), L"Add", 0, call,
         {Variant::Long(1), Variant::String(L"one"), Variant::String(L"x")}, L"Type mismatch"},
        {"modifier flags", key_bindings.Get(), nullptr, 1, call, {Variant::Long(1), Variant::Long(65), Variant::Long(5)},
         L"Ctrl (8), Alt (16) and Shift (4)"},
        {"key code", key_bindings.Get(), nullptr, 1, call, {Variant::Long(8), Variant::Long(0), Variant::Long(5)},
         L"virtual-key code"},
        {"command bar of a plain entry", open_control.Get(), L"CommandBar", 0, get, {}, L"drop-down"},
        {"toolbar elsewhere than the top", bars_.Get(), L"Add", 0, call, {Variant::String(L"Side"), Variant::Long(2)},
         L"across the top"},
    };
    for (const Refused& r : refused) {
        Call c = Invoke(r.object, r.name, r.id, r.kind, r.args);
        EXPECT_EQ(c.hr, DISP_E_EXCEPTION) << r.what;
        EXPECT_NE(c.description.find(r.description), std::wstring::npos) << r.what << ": " << std::string(c.description.begin(), c.description.end());
    }
    // Window handles that cannot carry bars.
    HWND child = NewWindow(WS_CHILD, hwnd_);
    EXPECT_NE(bars_->Attach(0), S_OK);
    EXPECT_NE(bars_->Attach(Handle(child)), S_OK);
    // Names the component resolves at run time.
    for (auto [object, name] : {std::pair{menu_bar.Get(), L"Controls"}, {controls.Get(), L"Add"},
                                {file_popup.Get(), L"CommandBar"}, {open_control.Get(), L"ToolBarID"}}) {
        DISPID id = 0;
        LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
        EXPECT_EQ(object->GetIDsOfNames(IID_NULL, names, 1, 0, &id), S_OK) << std::string(name, name + wcslen(name));
    }
    // Objects outliving their command bars fail every call, and lose nothing else.
    ASSERT_EQ(point_->Unadvise(cookie_), S_OK);
    point_ = nullptr;
    bars_ = nullptr;
    Call late = Invoke(open_control.Get(), nullptr, 4, put, {Variant::String(L"x")});
    EXPECT_EQ(late.hr, DISP_E_EXCEPTION);
    EXPECT_NE(late.description.find(L"released"), std::wstring::npos);
    // The node stores the value, then its forwarded put fails with that error.
    EXPECT_EQ(ui_.open->put_Caption(Bstr(L"still a node").Get()), zuv::HresultOfNumber(91));
    Bstr kept;
    ASSERT_EQ(ui_.open->get_Caption(kept.Out()), S_OK);
    EXPECT_EQ(kept.Str(), L"still a node");
}

}  // namespace
