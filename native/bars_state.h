// The model of the native command bars and its Win32 realization.
//
// The model (bars, their controls, key bindings) does not need a window: it
// is built by the calls the component makes and kept whole.  While the state
// is attached to a window, every change is shown at once: the menu bar and
// every drop-down are HMENUs (rebuilt per bar on change), each toolbar is a
// comctl32 toolbar child window, and the key bindings form one accelerator
// table.
//
// Ownership is flat: the state owns every bar and control and one reference
// to each COM object it handed out; the objects see the state through a weak
// reference, so releasing the command-bars object frees everything and any
// object still held by a caller then fails its calls with a clear error.
#pragma once

#include <windows.h>
#include <memory>
#include <string>
#include <vector>

#include "frame/wrappers.h"

namespace zuv::native {

struct Bar;

// Control types, as the component passes them.
enum : long { kCommand = 1, kMenuBarPopup = 2, kSubMenuPopup = 3, kDropDownButton = 4 };

// The command ID of the window-list entry.
constexpr long kWindowListId = 35000;

struct Control {
    long type = kCommand;
    long id = 0;
    std::wstring caption, tooltip;
    bool checked = false, enabled = true, visible = true, group = false;
    long style = 0, toolbar_id = 0;
    Bar* parent = nullptr;
    Bar* drop_down = nullptr;              // types 2 to 4: made with the control
    ComPtr<IDispatch> object;              // its COM face
    bool IsPopup() const noexcept { return type != kCommand; }
};

enum class BarKind { MenuBar, ToolBar, DropDown };

struct Bar {
    BarKind kind;
    std::wstring name;
    Control* owner = nullptr;              // a drop-down's popup
    std::vector<Control*> controls;        // in order
    bool options[3] = {};                  // the three Boolean options (always False here)
    HMENU menu = nullptr;                  // menu bar and drop-downs
    HWND toolbar = nullptr;                // toolbars, while attached
    ComPtr<IDispatch> object;              // the bar's COM face
    ComPtr<IDispatch> controls_object;     // its control collection, made on first use
};

struct KeyBinding {
    long flags, key, id;
};

class State {
public:
    State();
    ~State();
    State(const State&) = delete;
    State& operator=(const State&) = delete;

    // --- model (any of these may throw RuntimeError) -----------------------------
    Bar* menu_bar() noexcept { return menu_bar_; }
    Bar* AddToolBar(const std::wstring& name);
    Control* AddControl(Bar* bar, long type, long id, const std::wstring& caption);
    void AddKeyBinding(long flags, long key, long id);
    const std::vector<KeyBinding>& bindings() const noexcept { return bindings_; }
    // Window styles the menu bar takes away from the window (maximize and
    // minimize boxes, the system menu).
    void RemoveWindowStyle(LONG style);

    // Shows a change of this control (or of the bar's options) at once.
    void Changed(Control* control);

    std::wstring window_list_text;         // empty: the open windows are listed

    // --- window ----------------------------------------------------------------------
    void Attach(HWND window);              // the caller has checked the window
    void Detach() noexcept;
    HWND window() const noexcept { return window_; }
    int BarsHeight() const noexcept { return bars_height_; }
    HACCEL accelerators() const noexcept { return accelerators_; }
    void Layout() noexcept;                // places the toolbars across the client area

    // --- commands ----------------------------------------------------------------------
    // The 16-bit command a control ID travels as in WM_COMMAND, menus and
    // accelerators.  IDs from 1 to kLastDirect travel as themselves; others
    // get a stand-in number from a reserved range.
    WORD CommandOf(long id);
    // The same without failing: false when no stand-in number is left.
    bool TryCommandOf(long id, WORD& command) noexcept;
    // What a WM_COMMAND number means: a control ID (true), a window-list
    // entry (`window` set) or nothing of ours (false).
    bool Resolve(WORD command, long& id, HWND& window) const noexcept;
    // Refreshes the window list in this drop-down when it opens.
    void MenuOpening(HMENU menu) noexcept;
    // Tool tip text and drop-down of a toolbar button.
    const std::wstring* TooltipOf(HWND toolbar, WORD command) noexcept;
    Control* ToolbarControl(HWND toolbar, WORD command) noexcept;
    bool IsOwnToolbar(HWND hwnd) const noexcept;
    HWND ToolbarOfTooltip(HWND tooltip) const noexcept;
    // Shows a new window-list text (or the list again) at once.
    void RefreshWindowList() noexcept;

    static constexpr WORD kLastDirect = 0xEFFF;
    static constexpr WORD kFirstStandIn = 0xF000, kLastStandIn = 0xFDFF;
    static constexpr WORD kFirstWindow = 0xFE00;
    static constexpr int kMaxWindows = 9;

    // Every object handed out is kept here.
    std::vector<ComPtr<IDispatch>> keep;

private:
    void BuildMenu(Bar* bar) noexcept;
    void BuildToolBar(Bar* bar) noexcept;
    void CreateToolBarWindow(Bar* bar) noexcept;
    void BuildAccelerators() noexcept;
    void ApplyWindowStyle() noexcept;
    std::wstring MenuText(const Control& c) const;
    void AppendWindowList(HMENU menu, const Control& entry) noexcept;

    std::vector<std::unique_ptr<Bar>> bars_;
    std::vector<std::unique_ptr<Control>> controls_;
    Bar* menu_bar_ = nullptr;
    std::vector<KeyBinding> bindings_;
    std::vector<long> stand_ins_;          // control IDs by stand-in number - kFirstStandIn
    std::vector<HWND> window_entries_;     // the window list as last shown
    LONG removed_style_ = 0;
    HWND window_ = nullptr;
    HACCEL accelerators_ = nullptr;
    int bars_height_ = 0;
    std::wstring tooltip_;                 // the text last handed to a tool tip
};

// "Ctrl+Shift+F5": the text of a key binding, shown beside its menu entry.
std::wstring KeyText(long flags, long key);

}  // namespace zuv::native
