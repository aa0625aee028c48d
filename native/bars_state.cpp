#include "bars_state.h"

#include <commctrl.h>

#include "frame/error.h"

namespace zuv::native {

namespace {

// Captions without their mnemonic markers ("&Open" -> "Open", "&&" -> "&").
std::wstring PlainText(const std::wstring& caption) {
    std::wstring out;
    for (size_t i = 0; i < caption.size(); ++i) {
        if (caption[i] == L'&' && i + 1 < caption.size()) ++i;
        out += caption[i];
    }
    return out;
}

bool IsMenuBar(const Bar* bar) noexcept { return bar->kind != BarKind::ToolBar; }

// The windows a window list shows: visible, titled, unowned, no tool windows.
BOOL CALLBACK CollectWindow(HWND hwnd, LPARAM data) {
    auto* list = reinterpret_cast<std::vector<HWND>*>(data);
    if (IsWindowVisible(hwnd) && GetWindowTextLengthW(hwnd) > 0 && !GetWindow(hwnd, GW_OWNER) &&
        !(GetWindowLongW(hwnd, GWL_EXSTYLE) & WS_EX_TOOLWINDOW)) {
        try {
            list->push_back(hwnd);
        } catch (...) {
            return FALSE;
        }
    }
    return list->size() < static_cast<size_t>(State::kMaxWindows);
}

}  // namespace

std::wstring KeyText(long flags, long key) {
    std::wstring text;
    if (flags & FCONTROL) text += L"Ctrl+";
    if (flags & FALT) text += L"Alt+";
    if (flags & FSHIFT) text += L"Shift+";
    struct Name {
        long key;
        const wchar_t* name;
    };
    static const Name kNames[] = {
        {VK_BACK, L"Backspace"}, {VK_TAB, L"Tab"}, {VK_RETURN, L"Enter"}, {VK_ESCAPE, L"Esc"},
        {VK_SPACE, L"Space"}, {VK_PRIOR, L"PgUp"}, {VK_NEXT, L"PgDn"}, {VK_END, L"End"}, {VK_HOME, L"Home"},
        {VK_LEFT, L"Left"}, {VK_UP, L"Up"}, {VK_RIGHT, L"Right"}, {VK_DOWN, L"Down"}, {VK_INSERT, L"Ins"},
        {VK_DELETE, L"Del"}, {VK_MULTIPLY, L"Num *"}, {VK_ADD, L"Num +"}, {VK_SEPARATOR, L"Num Enter"},
        {VK_SUBTRACT, L"Num -"}, {VK_DECIMAL, L"Num ."}, {VK_DIVIDE, L"Num /"},
    };
    if ((key >= L'0' && key <= L'9') || (key >= L'A' && key <= L'Z')) return text + static_cast<wchar_t>(key);
    if (key >= VK_F1 && key <= VK_F24) return text + L"F" + std::to_wstring(key - VK_F1 + 1);
    for (const Name& n : kNames)
        if (n.key == key) return text + n.name;
    return text + L"#" + std::to_wstring(key);
}

State::State() {
    auto bar = std::make_unique<Bar>();
    bar->kind = BarKind::MenuBar;
    bar->name = L"Menu Bar";
    bar->menu = CreateMenu();
    if (!bar->menu) RaiseError(kErrOutOfMemory);
    menu_bar_ = bar.get();
    bars_.push_back(std::move(bar));
}

State::~State() {
    Detach();
    // Menus are taken apart first: destroying a menu destroys the drop-downs
    // it holds, and each drop-down is destroyed by itself below.
    for (auto& bar : bars_)
        if (bar->menu)
            while (RemoveMenu(bar->menu, 0, MF_BYPOSITION)) {
            }
    for (auto& bar : bars_)
        if (bar->menu) DestroyMenu(bar->menu);
    if (accelerators_) DestroyAcceleratorTable(accelerators_);
}

Bar* State::AddToolBar(const std::wstring& name) {
    auto bar = std::make_unique<Bar>();
    bar->kind = BarKind::ToolBar;
    bar->name = name;
    Bar* raw = bar.get();
    bars_.push_back(std::move(bar));
    if (window_) {
        CreateToolBarWindow(raw);
        Layout();
    }
    return raw;
}

Control* State::AddControl(Bar* bar, long type, long id, const std::wstring& caption) {
    if (type < kCommand || type > kDropDownButton)
        RaiseError(kErrInvalidCall, L"Control type " + std::to_wstring(type) +
                                        L" is not one the native command bars can show (1 to 4)");
    CommandOf(id);   // a command number first: a control that cannot have one is not added
    auto control = std::make_unique<Control>();
    control->type = type;
    control->id = id;
    control->caption = caption;
    control->parent = bar;
    if (control->IsPopup()) {
        auto drop_down = std::make_unique<Bar>();
        drop_down->kind = BarKind::DropDown;
        drop_down->owner = control.get();
        drop_down->menu = CreatePopupMenu();
        if (!drop_down->menu) RaiseError(kErrOutOfMemory);
        control->drop_down = drop_down.get();
        bars_.push_back(std::move(drop_down));
    }
    Control* raw = control.get();
    controls_.push_back(std::move(control));
    bar->controls.push_back(raw);
    Changed(raw);
    return raw;
}

void State::AddKeyBinding(long flags, long key, long id) {
    if (flags & ~(FCONTROL | FALT | FSHIFT))
        RaiseError(kErrInvalidCall, L"Key binding flags " + std::to_wstring(flags) +
                                        L" are not a combination of Ctrl (8), Alt (16) and Shift (4)");
    if (key <= 0 || key > 0xFE)
        RaiseError(kErrInvalidCall, L"Key code " + std::to_wstring(key) + L" is not a virtual-key code");
    CommandOf(id);   // a stand-in number now, so that the table can be built
    bindings_.push_back({flags, key, id});
    BuildAccelerators();
    // The shortcut text beside the menu entries of that ID.
    for (auto& c : controls_)
        if (c->id == id && IsMenuBar(c->parent)) BuildMenu(c->parent);
}

void State::RemoveWindowStyle(LONG style) {
    removed_style_ |= style;
    ApplyWindowStyle();
}

void State::Changed(Control* control) {
    Bar* bar = control->parent;
    if (IsMenuBar(bar)) BuildMenu(bar);
    else BuildToolBar(bar);
    // A control whose new ID cannot be numbered is left out of its bar; the
    // caller hears why.
    CommandOf(control->id);
}

WORD State::CommandOf(long id) {
    if (id >= 1 && id <= kLastDirect) return static_cast<WORD>(id);
    for (size_t i = 0; i < stand_ins_.size(); ++i)
        if (stand_ins_[i] == id) return static_cast<WORD>(kFirstStandIn + i);
    if (stand_ins_.size() > static_cast<size_t>(kLastStandIn - kFirstStandIn))
        RaiseError(kErrOverflow, L"Too many command IDs outside 1 to 61439 for the native command bars");
    stand_ins_.push_back(id);
    return static_cast<WORD>(kFirstStandIn + stand_ins_.size() - 1);
}

bool State::TryCommandOf(long id, WORD& command) noexcept {
    try {
        command = CommandOf(id);
        return true;
    } catch (...) {
        return false;
    }
}

bool State::Resolve(WORD command, long& id, HWND& window) const noexcept {
    window = nullptr;
    if (command >= kFirstWindow && command < kFirstWindow + kMaxWindows) {
        size_t i = command - kFirstWindow;
        if (i >= window_entries_.size()) return false;
        window = window_entries_[i];
        return true;
    }
    if (command >= kFirstStandIn && command <= kLastStandIn) {
        size_t i = command - kFirstStandIn;
        if (i >= stand_ins_.size()) return false;
        id = stand_ins_[i];
        return true;
    }
    for (auto& c : controls_)
        if (c->id == command) {
            id = command;
            return true;
        }
    for (const KeyBinding& b : bindings_)
        if (b.id == command) {
            id = command;
            return true;
        }
    return false;
}

std::wstring State::MenuText(const Control& c) const {
    std::wstring text = c.caption;
    if (c.IsPopup()) return text;
    for (const KeyBinding& b : bindings_)
        if (b.id == c.id) return text + L"\t" + KeyText(b.flags, b.key);
    return text;
}

void State::BuildMenu(Bar* bar) noexcept {
    HMENU menu = bar->menu;
    if (!menu) return;
    while (RemoveMenu(menu, 0, MF_BYPOSITION)) {
    }
    bool any = false;
    for (Control* c : bar->controls) {
        WORD command = 0;
        if (!c->visible || (!c->IsPopup() && !TryCommandOf(c->id, command))) continue;
        if (c->group && any) AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
        any = true;
        if (c->type == kCommand && c->id == kWindowListId && window_list_text.empty()) {
            AppendWindowList(menu, *c);
            continue;
        }
        try {
            const std::wstring text =
                c->type == kCommand && c->id == kWindowListId ? window_list_text : MenuText(*c);
            UINT flags =
                MF_STRING | (c->enabled ? MF_ENABLED : MF_GRAYED) | (c->checked ? MF_CHECKED : MF_UNCHECKED);
            if (c->IsPopup())
                AppendMenuW(menu, flags | MF_POPUP, reinterpret_cast<UINT_PTR>(c->drop_down->menu), text.c_str());
            else
                AppendMenuW(menu, flags, command, text.c_str());
        } catch (...) {
            // Out of memory for the text: the entry is left out.
        }
    }
    if (window_ && bar == menu_bar_) DrawMenuBar(window_);
}

// The thread's open top-level windows with a title, the active one checked;
// without any, the entry's own caption, disabled.
void State::AppendWindowList(HMENU menu, const Control& entry) noexcept {
    window_entries_.clear();
    EnumThreadWindows(GetCurrentThreadId(), &CollectWindow, reinterpret_cast<LPARAM>(&window_entries_));
    if (window_entries_.empty()) {
        AppendMenuW(menu, MF_STRING | MF_GRAYED, kWindowListId, entry.caption.c_str());
        return;
    }
    HWND active = GetActiveWindow();
    for (size_t i = 0; i < window_entries_.size(); ++i) {
        wchar_t title[128] = L"";
        GetWindowTextW(window_entries_[i], title, 128);
        std::wstring text = L"&" + std::to_wstring(i + 1) + L" " + title;
        UINT flags = MF_STRING | (entry.enabled ? MF_ENABLED : MF_GRAYED) |
                     (window_entries_[i] == active ? MF_CHECKED : MF_UNCHECKED);
        AppendMenuW(menu, flags, kFirstWindow + i, text.c_str());
    }
}

void State::MenuOpening(HMENU menu) noexcept {
    for (auto& bar : bars_) {
        if (bar->menu != menu) continue;
        for (Control* c : bar->controls)
            if (c->type == kCommand && c->id == kWindowListId) {
                BuildMenu(bar.get());
                return;
            }
        return;
    }
}

void State::CreateToolBarWindow(Bar* bar) noexcept {
    bar->toolbar = CreateWindowExW(0, TOOLBARCLASSNAMEW, bar->name.c_str(),
                                   WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | TBSTYLE_FLAT | TBSTYLE_LIST |
                                       TBSTYLE_TOOLTIPS | CCS_NOPARENTALIGN | CCS_NORESIZE | CCS_NODIVIDER,
                                   0, 0, 0, 0, window_, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (!bar->toolbar) return;
    SendMessageW(bar->toolbar, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
    SendMessageW(bar->toolbar, TB_SETEXTENDEDSTYLE, 0, TBSTYLE_EX_DRAWDDARROWS);
    SendMessageW(bar->toolbar, TB_SETBITMAPSIZE, 0, MAKELPARAM(0, 0));
    BuildToolBar(bar);
}

void State::BuildToolBar(Bar* bar) noexcept {
    HWND tb = bar->toolbar;
    if (!tb) return;
    SendMessageW(tb, WM_SETREDRAW, FALSE, 0);
    while (SendMessageW(tb, TB_BUTTONCOUNT, 0, 0) > 0)
        if (!SendMessageW(tb, TB_DELETEBUTTON, 0, 0)) break;
    bool any = false;
    for (Control* c : bar->controls) {
        WORD command = 0;
        if (!TryCommandOf(c->id, command)) continue;
        TBBUTTON b{};
        if (c->group && any) {
            b.iBitmap = 6;
            b.fsStyle = BTNS_SEP;
            b.fsState = static_cast<BYTE>(c->visible ? 0 : TBSTATE_HIDDEN);
            SendMessageW(tb, TB_ADDBUTTONSW, 1, reinterpret_cast<LPARAM>(&b));
            b = TBBUTTON{};
        }
        any = true;
        b.iBitmap = I_IMAGENONE;
        b.idCommand = command;
        b.fsState = static_cast<BYTE>((c->enabled ? TBSTATE_ENABLED : 0) | (c->checked ? TBSTATE_CHECKED : 0) |
                                      (c->visible ? 0 : TBSTATE_HIDDEN));
        b.fsStyle = static_cast<BYTE>(BTNS_AUTOSIZE | BTNS_SHOWTEXT | (c->IsPopup() ? BTNS_DROPDOWN : 0));
        b.iString = reinterpret_cast<INT_PTR>(c->caption.c_str());
        SendMessageW(tb, TB_ADDBUTTONSW, 1, reinterpret_cast<LPARAM>(&b));
    }
    SendMessageW(tb, WM_SETREDRAW, TRUE, 0);
    SendMessageW(tb, TB_AUTOSIZE, 0, 0);
    Layout();
    InvalidateRect(tb, nullptr, TRUE);
}

void State::BuildAccelerators() noexcept {
    std::vector<ACCEL> table;
    try {
        for (const KeyBinding& b : bindings_) {
            WORD command = 0;
            if (TryCommandOf(b.id, command))
                table.push_back({static_cast<BYTE>(FVIRTKEY | b.flags), static_cast<WORD>(b.key), command});
        }
    } catch (...) {
        return;   // out of memory: the previous table stays
    }
    HACCEL next = table.empty() ? nullptr : CreateAcceleratorTableW(table.data(), static_cast<int>(table.size()));
    if (accelerators_) DestroyAcceleratorTable(accelerators_);
    accelerators_ = next;
}

void State::ApplyWindowStyle() noexcept {
    if (!window_ || !removed_style_) return;
    LONG style = GetWindowLongW(window_, GWL_STYLE);
    if ((style & removed_style_) == 0) return;
    SetWindowLongW(window_, GWL_STYLE, style & ~removed_style_);
    SetWindowPos(window_, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_FRAMECHANGED);
}

void State::Attach(HWND window) {
    Detach();
    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_BAR_CLASSES};
    InitCommonControlsEx(&icc);
    window_ = window;
    SetMenu(window_, menu_bar_->menu);
    BuildMenu(menu_bar_);
    for (auto& bar : bars_)
        if (bar->kind == BarKind::ToolBar) CreateToolBarWindow(bar.get());
    ApplyWindowStyle();
    Layout();
}

void State::Detach() noexcept {
    if (!window_) return;
    HWND window = window_;
    window_ = nullptr;
    for (auto& bar : bars_)
        if (bar->toolbar) {
            if (IsWindow(bar->toolbar)) DestroyWindow(bar->toolbar);
            bar->toolbar = nullptr;
        }
    // The window must not destroy the menus: they belong to the state.
    if (IsWindow(window) && GetMenu(window) == menu_bar_->menu) SetMenu(window, nullptr);
    bars_height_ = 0;
}

void State::Layout() noexcept {
    if (!window_) return;
    RECT client{};
    GetClientRect(window_, &client);
    int y = 0;
    for (auto& bar : bars_) {
        if (!bar->toolbar) continue;
        DWORD size = static_cast<DWORD>(SendMessageW(bar->toolbar, TB_GETBUTTONSIZE, 0, 0));
        int height = HIWORD(size) + 4;
        MoveWindow(bar->toolbar, 0, y, client.right - client.left, height, TRUE);
        y += height;
    }
    bars_height_ = y;
}

Control* State::ToolbarControl(HWND toolbar, WORD command) noexcept {
    for (auto& bar : bars_)
        if (bar->toolbar && bar->toolbar == toolbar)
            for (Control* c : bar->controls) {
                long id = 0;
                HWND ignored;
                if (Resolve(command, id, ignored) && c->id == id) return c;
            }
    return nullptr;
}

const std::wstring* State::TooltipOf(HWND toolbar, WORD command) noexcept {
    Control* c = ToolbarControl(toolbar, command);
    if (!c) return nullptr;
    try {
        tooltip_ = c->tooltip.empty() ? PlainText(c->caption) : c->tooltip;
    } catch (...) {
        return nullptr;
    }
    return &tooltip_;
}

HWND State::ToolbarOfTooltip(HWND tooltip) const noexcept {
    if (!tooltip) return nullptr;
    for (auto& bar : bars_)
        if (bar->toolbar && reinterpret_cast<HWND>(SendMessageW(bar->toolbar, TB_GETTOOLTIPS, 0, 0)) == tooltip)
            return bar->toolbar;
    return nullptr;
}

void State::RefreshWindowList() noexcept {
    for (auto& bar : bars_)
        if (IsMenuBar(bar.get()))
            for (Control* c : bar->controls)
                if (c->type == kCommand && c->id == kWindowListId) {
                    BuildMenu(bar.get());
                    break;
                }
}

bool State::IsOwnToolbar(HWND hwnd) const noexcept {
    if (!hwnd) return false;
    for (auto& bar : bars_)
        if (bar->toolbar == hwnd) return true;
    return false;
}

}  // namespace zuv::native
