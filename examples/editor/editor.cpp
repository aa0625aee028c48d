// Editor: a small window whose whole menu bar and toolbar are node trees,
// rendered through the component into the native command bars.  Clicks come
// back as the command bars' execute notification, go through the trees
// (GetMenu / GetToolBar, RaiseClickEvent) and arrive as the nodes' events.
//
//   editor.exe [--exit-after <ms>] [--check]
//     --exit-after  closes the window after that many milliseconds
//     --check       prints what the window shows and exits 0 when the menus
//                   and the toolbar are there ("editor: ok")
//     --open-menu   opens the File menu once the window is up (screenshots)
#include <windows.h>
#include <commctrl.h>
#include <ole2.h>
#include <olectl.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "frame/error.h"
#include "editor_ui.h"
#include "examples/example_nodes.h"
#include "zuvNativeBars.h"

using zuv::Bstr;
using zuv::ComPtr;

namespace {

std::vector<example::Connection> g_connections;

void Connect(IUnknown* source, REFIID events, example::EventHandler handler) {
    g_connections.emplace_back(source, events, std::move(handler));
}

void DisconnectAll() { g_connections.clear(); }

const char* g_stage = "start";   // what Run was doing, for the error message

struct App {
    HWND window = nullptr, text = nullptr, status = nullptr;
    ComPtr<INativeCommandBars> bars;
    editor::Ui ui;
    std::wstring last;
} g_app;

void SetStatus(const std::wstring& text) {
    if (g_app.status) SendMessageW(g_app.status, SB_SETTEXTW, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

void Layout() {
    RECT r{};
    GetClientRect(g_app.window, &r);
    SendMessageW(g_app.status, WM_SIZE, 0, 0);
    RECT s{};
    GetWindowRect(g_app.status, &s);
    LONG top = 0;
    if (g_app.bars) g_app.bars->get_BarsHeight(&top);
    MoveWindow(g_app.text, 0, top, r.right, r.bottom - top - (s.bottom - s.top), TRUE);
}

void Toggle(_xMenu* node) {
    VARIANT_BOOL checked = VARIANT_FALSE;
    node->get_Checked(&checked);
    node->put_Checked(checked ? VARIANT_FALSE : VARIANT_TRUE);
}

// The command bars' execute notification: the trees turn the ID into the
// node and raise its event; the status bar shows what was clicked.
void STDMETHODCALLTYPE OnExecute(void*, LONG id) {
    try {
        std::wstring caption = editor::Dispatch(g_app.ui, id);
        if (!caption.empty() && g_app.window) {
            std::wstring plain;
            for (wchar_t c : caption)
                if (c != L'&') plain += c;
            SetStatus(L"Last command: " + plain + L" (" + std::to_wstring(id) + L")");
        }
    } catch (const zuv::RuntimeError& e) {
        SetStatus(L"Error " + std::to_wstring(e.Number()) + L": " + e.Description());
    }
}

void ConnectEvents() {
    editor::Ui& ui = g_app.ui;
    Connect(ui.status_bar.Get(), DIID___xMenu, [](DISPID id, DISPPARAMS*) {
        if (id != 1) return;
        Toggle(g_app.ui.status_bar.Get());
        VARIANT_BOOL on = VARIANT_FALSE;
        g_app.ui.status_bar->get_Checked(&on);
        ShowWindow(g_app.status, on ? SW_SHOW : SW_HIDE);
        Layout();
    });
    Connect(ui.word_wrap.Get(), DIID___xMenu, [](DISPID id, DISPPARAMS*) {
        if (id == 1) Toggle(g_app.ui.word_wrap.Get());
    });
    Connect(ui.recent.Get(), DIID___xMenu, [](DISPID id, DISPPARAMS* p) {
        if (id == 2 && p && p->cArgs == 1)
            SetWindowTextW(g_app.window, (L"Editor - recent file " + std::to_wstring(p->rgvarg[0].iVal)).c_str());
    });
    Connect(ui.exit.Get(), DIID___xMenu, [](DISPID id, DISPPARAMS*) {
        if (id == 1) PostMessageW(g_app.window, WM_CLOSE, 0, 0);
    });
    Connect(ui.about.Get(), DIID___xMenu, [](DISPID id, DISPPARAMS*) {
        if (id == 1) SetWindowTextW(g_app.window, L"Editor - node trees in a native window");
    });
    Connect(ui.toolbar.Get(), DIID___xToolBar, [](DISPID id, DISPPARAMS* p) {
        if (id != 1 || !p || p->cArgs != 1 || p->rgvarg[0].vt != VT_DISPATCH) return;
        if (p->rgvarg[0].pdispVal == static_cast<IDispatch*>(g_app.ui.tb_bold.Get())) {
            xToolBarValue v = xToolBarValue_tblUnPressed;
            g_app.ui.tb_bold->get_Value(&v);
            g_app.ui.tb_bold->put_Value(v ? xToolBarValue_tblUnPressed : xToolBarValue_tblPressed);
        }
    });
}

LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_SIZE:
        if (g_app.text) Layout();
        return 0;
    case WM_TIMER:
        DestroyWindow(hwnd);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

// What the window shows, read back from Win32.
bool Check() {
    HMENU menu = GetMenu(g_app.window);
    int menus = menu ? GetMenuItemCount(menu) : 0;
    HWND toolbar = FindWindowExW(g_app.window, nullptr, TOOLBARCLASSNAMEW, nullptr);
    int buttons = toolbar ? static_cast<int>(SendMessageW(toolbar, TB_BUTTONCOUNT, 0, 0)) : 0;
    std::printf("editor: %d menus, %d toolbar buttons\n", menus, buttons);
    // Where they are on the screen, for a screenshot check.
    MENUBARINFO bar{};
    bar.cbSize = sizeof(bar);
    RECT tb{};
    if (GetMenuBarInfo(g_app.window, OBJID_MENU, 0, &bar) && toolbar && GetWindowRect(toolbar, &tb)) {
        const RECT& m = bar.rcBar;
        std::printf("editor: menu bar %ldx%ld+%ld+%ld\n", m.right - m.left, m.bottom - m.top, m.left, m.top);
        std::printf("editor: toolbar %ldx%ld+%ld+%ld\n", tb.right - tb.left, tb.bottom - tb.top, tb.left, tb.top);
    }
    return menus == 5 && buttons == 7;
}

int Run(int exit_after, bool check, bool open_menu) {
    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_BAR_CLASSES};
    InitCommonControlsEx(&icc);
    WNDCLASSW wc{};
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = L"zuvEditor";
    RegisterClassW(&wc);
    // The first window on a display that has only just started can come too
    // early for Wine's desktop process: try again for a while
    // (up to 30 s: under qemu-user its display driver can take that long).
    for (int attempt = 0; attempt < 120 && !g_app.window; ++attempt) {
        g_app.window = CreateWindowExW(0, wc.lpszClassName, L"Editor - untitled.txt", WS_OVERLAPPEDWINDOW, 20, 20,
                                       760, 520, nullptr, nullptr, wc.hInstance, nullptr);
        if (!g_app.window) Sleep(250);
    }
    g_app.text = CreateWindowExW(WS_EX_CLIENTEDGE, L"EDIT",
                                 L"Every menu and toolbar button of this window is an xMenu or xToolBar node.\r\n"
                                 L"Try Ctrl+O, F1, the View menu or the Insert drop-down.",
                                 WS_CHILD | WS_VISIBLE | ES_MULTILINE | WS_VSCROLL, 0, 0, 0, 0, g_app.window,
                                 nullptr, wc.hInstance, nullptr);
    g_app.status = CreateWindowExW(0, STATUSCLASSNAMEW, L"Ready", WS_CHILD | WS_VISIBLE, 0, 0, 0, 0, g_app.window,
                                   nullptr, wc.hInstance, nullptr);

    g_stage = "creating the native command bars";
    zuv::Check(CoCreateInstance(CLSID_NativeCommandBars, nullptr, CLSCTX_INPROC_SERVER, IID_INativeCommandBars,
                                reinterpret_cast<void**>(g_app.bars.Out())));
    g_stage = "attaching";
    if (!g_app.window) zuv::RaiseError(5, L"The window could not be created (" + std::to_wstring(GetLastError()) + L")");
    zuv::Check(g_app.bars->Attach(static_cast<LONG>(reinterpret_cast<LONG_PTR>(g_app.window))));
    ComPtr<INativeCommandBarsHandler> handler;
    zuv::Check(g_app.bars->QueryInterface(IID_INativeCommandBarsHandler, reinterpret_cast<void**>(handler.Out())));
    zuv::Check(handler->SetExecuteHandler(reinterpret_cast<void*>(&OnExecute), nullptr));

    g_stage = "building the trees";
    g_app.ui = editor::BuildUi();
    ConnectEvents();
    g_stage = "rendering";
    if (!editor::Render(g_app.ui, g_app.bars.Get())) std::printf("editor: rendering reported a failure\n");
    const wchar_t* recent[] = {L"notes.txt", L"report.md", L"todo.txt"};
    g_stage = "showing the recent files";
    editor::ShowRecentFiles(g_app.ui, recent, 3);
    g_stage = "running";

    ShowWindow(g_app.window, SW_SHOW);
    Layout();
    UpdateWindow(g_app.window);
    if (exit_after > 0) SetTimer(g_app.window, 1, exit_after, nullptr);
    int result = 0;
    if (check) result = Check() ? 0 : 1;
    // As if Alt+F had been pressed.
    if (open_menu) PostMessageW(g_app.window, WM_SYSCOMMAND, SC_KEYMENU, 'f');

    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    handler->SetExecuteHandler(nullptr, nullptr);
    DisconnectAll();
    g_app.bars->Detach();
    g_app.bars = nullptr;
    g_app.ui = editor::Ui();
    if (check && result == 0) std::printf("editor: ok\n");
    return result;
}

}  // namespace

int main(int argc, char** argv) {
    int exit_after = 0;
    bool check = false, open_menu = false;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--exit-after" && i + 1 < argc) exit_after = std::atoi(argv[++i]);
        else if (a == "--check") check = true;
        else if (a == "--open-menu") open_menu = true;
    }
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 2;
    int result = 2;
    try {
        result = Run(exit_after, check, open_menu);
    } catch (const zuv::RuntimeError& e) {
        std::printf("editor: error %ld while %s: %ls\n", e.Number(), g_stage, e.Description().c_str());
    }
    CoUninitialize();
    std::fflush(stdout);
    return result;
}
