// Every call the component makes into the host's command bars (the
// command-bars object, its bars, control collections, controls, popups and
// key bindings).  They are driven late-bound through IDispatch, by dispatch id or by member
// name; objects handed back are cast by interface identifier (a failed cast
// is run-time error 13) and host failures are raised with the host's own
// HRESULT and description.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include "frame/error.h"
#include "frame/wrappers.h"

namespace zuv::bars {

// Dispatch ids of the command-bars objects.
namespace id {
// command-bars object
constexpr DISPID kActiveMenuBar = 4;      // get: the menu bar
constexpr DISPID kAddToolBar = 2;         // call ("Standard", 0): a new toolbar
constexpr DISPID kKeyBindings = 10;       // get: the key-binding collection
// command bar
// Two Boolean properties that rendering puts False on the bar it fills;
// what they switch is the host's business (named by dispatch id).
constexpr DISPID kBarOption23 = 23;
constexpr DISPID kBarOption24 = 24;
constexpr DISPID kBarSetFlags = 16;       // call (Long, Long)
constexpr DISPID kBarSetStyle = 8;        // call (Long)
constexpr DISPID kBarModifyStyle = 18;    // call (Long, Long): menu bar buttons
constexpr DISPID kBarOption33 = 33;       // put Boolean False: toolbar only
constexpr DISPID kBarControls = 2;        // get: the control collection
// control collection
constexpr DISPID kControlsAdd = 2;        // call (type, ID, caption [, Boolean])
// control, popup, button
constexpr DISPID kGroupStart = 3;
constexpr DISPID kCaption = 4;
constexpr DISPID kId = 6;
constexpr DISPID kTooltip = 10;
constexpr DISPID kVisible = 12;
constexpr DISPID kEnabled = 13;
constexpr DISPID kChecked = 14;
constexpr DISPID kTopLevelStyle = 28;
// popup
constexpr DISPID kPopupCommandBar = 50;   // get: the drop-down's command bar
// key bindings
constexpr DISPID kKeyBindingsAdd = 1;     // call (flags, key code, command ID)
}  // namespace id

// Values the component passes in those calls.
namespace value {
constexpr long kBarFlags = 0x400000;           // both arguments of kBarSetFlags
constexpr long kBarStyle = 0x60;               // kBarSetStyle
constexpr long kNoMaxButton = 0x200;           // kBarModifyStyle, both arguments
constexpr long kNoMinButton = 0x100;           // kBarModifyStyle, both arguments
constexpr long kNoControlBoxRemove = 0x1300;   // kBarModifyStyle, first argument
constexpr long kNoControlBoxAdd = 0x2000;      // kBarModifyStyle, second argument
constexpr long kMenuTitleStyle = 1;            // kTopLevelStyle of a menu-bar title
constexpr long kToolBarButtonStyle = 2;        // kTopLevelStyle of a toolbar button
}  // namespace value

// Member names resolved at the time of the call.
namespace name {
constexpr const wchar_t* kControls = L"Controls";
constexpr const wchar_t* kAdd = L"Add";
constexpr const wchar_t* kCommandBar = L"CommandBar";
constexpr const wchar_t* kToolBarID = L"ToolBarID";
}  // namespace name

// Interface identifiers the returned objects are cast to.
extern const IID kIidCommandBar;
extern const IID kIidControls;
extern const IID kIidControl;
extern const IID kIidPopup;
extern const IID kIidButton;
extern const IID kIidKeyBindings;

// Control types.
namespace type {
constexpr long kCommand = 1;       // command or button
constexpr long kMenuBarPopup = 2;
constexpr long kSubMenuPopup = 3;
constexpr long kDropDownButton = 4;
}  // namespace type

// --- Generic calls (used by the operations below) ---------------------------

// Resolves a member name on the object in hand.
DISPID Resolve(IDispatch* object, const wchar_t* member);
Variant Get(IDispatch* object, DISPID member);
void Put(IDispatch* object, DISPID member, Variant value);
// `args` in parameter order.
Variant Call(IDispatch* object, DISPID member, VARIANT* args, UINT count);

// A string for one host call that takes it by value, copied from where it
// was read: a node's own caption may be replaced, and its old text freed, by
// whatever the host or an event handler does before or during the call.
// A short string is copied into this object itself, laid out as a BSTR is
// (its byte length as a 32-bit number right before the characters, a null
// after them), so that rendering a node allocates nothing for it: a callee
// only reads an argument it gets by value, and never frees or keeps it.
// A longer one is allocated.  Null stays null.
class TextArg {
public:
    TextArg() noexcept = default;
    TextArg(const TextArg&) = delete;
    TextArg& operator=(const TextArg&) = delete;

    void Copy(BSTR text);
    void Adopt(Bstr text) noexcept;
    BSTR Get() const noexcept { return text_; }

private:
    static constexpr UINT kInline = 31;
    struct Inline {
        DWORD bytes;
        WCHAR chars[kInline + 1];
    };
    BSTR text_ = nullptr;
    Bstr owned_;
    Inline inline_;
};

// --- The operations ----------------------------------------------------------

ComPtr<IDispatch> MenuBar(IDispatch* command_bars);
ComPtr<IDispatch> AddToolBar(IDispatch* command_bars);          // ("Standard", 0)
ComPtr<IDispatch> KeyBindings(IDispatch* command_bars);
void AddKeyBinding(IDispatch* command_bars, long modifiers, long key, long command_id);

void PutBool(IDispatch* object, DISPID member, bool value);
void PutLong(IDispatch* object, DISPID member, long value);
void PutString(IDispatch* object, DISPID member, BSTR value);
long GetLong(IDispatch* object, DISPID member);
void CallLongs(IDispatch* object, DISPID member, long a, long b);
void CallLong(IDispatch* object, DISPID member, long a);

// Top level, by dispatch id.
ComPtr<IDispatch> Controls(IDispatch* bar);
// Below the top level, by name.
ComPtr<IDispatch> ControlsByName(IDispatch* bar);
ComPtr<IDispatch> PopupCommandBar(IDispatch* popup);            // by dispatch id 50
ComPtr<IDispatch> PopupCommandBarByName(IDispatch* popup);      // by name "CommandBar"

// Adding a control: three shapes of the one "Add" of a control collection,
// each the only shape its caller may use.  Each gives what the host handed
// back cast to `kind`, the kind of control asked for (error 13 when it is
// not one; Nothing stays Nothing).  The caption is passed as it stands.
// A popup of the menu bar: by dispatch id, the ID by value.
ComPtr<IDispatch> AddMenuBarPopup(IDispatch* controls, long id, BSTR caption, REFIID kind);
// Below the top level of both families: "Add" by name, the running ID by
// reference (the host may change it).
ComPtr<IDispatch> AddControlByName(IDispatch* controls, long type, long& id, BSTR caption, REFIID kind);
// A control of the toolbar's own bar: by dispatch id, the running ID by
// reference, and a fourth argument, the Boolean False.
ComPtr<IDispatch> AddToolBarControl(IDispatch* controls, long type, long& id, BSTR caption, REFIID kind);

void PutToolBarID(IDispatch* control, long value);              // by name "ToolBarID"

}  // namespace zuv::bars
