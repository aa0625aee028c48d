#include "host_objects.h"

#include <cwchar>

#include "classes.h"

namespace xchost {

using zuv::Variant;

const IID kIidCommandBarsObject = {0x1616DC35, 0xB997, 0x432B, {0xAB, 0x4F, 0x43, 0x93, 0x41, 0xA7, 0x69, 0xE5}};

namespace {

constexpr VARTYPE L = VT_I4, B = VT_BOOL, S = VT_BSTR, V = VT_VARIANT;

// Every object answers Label: its name in the log and the dump.
constexpr DISPID kLabel = 1000;
constexpr Member kLabelMember = {kLabel, L"Label", kInspect, 0, {}, 0, 0, false};

template <size_t N>
std::pair<const Member*, size_t> Table(const Member (&members)[N]) noexcept { return {members, N}; }

bool Bool(const Variant& v) noexcept { return v.Get()->boolVal != VARIANT_FALSE; }
long Long(const Variant& v) noexcept { return v.Get()->lVal; }
std::wstring Text(const Variant& v) {
    BSTR s = v.Get()->bstrVal;
    return s ? std::wstring(s, SysStringLen(s)) : std::wstring();
}
Variant String(const std::wstring& s) { return Variant::String(zuv::Bstr(s).Get()); }

[[noreturn]] void Destroyed(const wchar_t* what) {
    throw zuv::RuntimeError(kDestroyed, zuv::ErrorNumberOf(kDestroyed), std::wstring(L"The ") + what + L" has been destroyed");
}

// --- member tables -------------------------------------------------------------

constexpr Member kBarMembers[] = {
    {2, L"Controls", kGet, 0, {}, 0, 0, false},
    {8, nullptr, kCall, 0, {L}, 1, 1, false},
    {16, nullptr, kCall, 0, {L, L}, 2, 2, false},
    {18, nullptr, kCall, 0, {L, L}, 2, 2, false},
    {23, nullptr, kPut, B, {}, 0, 0, false},
    {24, nullptr, kPut, B, {}, 0, 0, false},
    {33, nullptr, kPut, B, {}, 0, 0, false},
    kLabelMember,
};

constexpr Member kControlsMembers[] = {
    {2, L"Add", kCall, 0, {L, L, S, B}, 3, 4, false},
    kLabelMember,
};

// The popup's own member comes last: other controls show one fewer.
constexpr DISPID kToolBarId = 500;
constexpr Member kControlMembers[] = {
    {3, L"BeginGroup", kGet | kPut, B, {}, 0, 0, false},
    {4, L"Caption", kGet | kPut, S, {}, 0, 0, false},
    {6, L"Id", kGet | kPut, L, {}, 0, 0, false},
    {10, L"TooltipText", kGet | kPut, S, {}, 0, 0, false},
    {12, L"Visible", kGet | kPut, B, {}, 0, 0, false},
    {13, L"Enabled", kGet | kPut, B, {}, 0, 0, false},
    {14, L"Checked", kGet | kPut, B, {}, 0, 0, false},
    {28, L"Style", kGet | kPut, L, {}, 0, 0, false},
    {kToolBarId, L"ToolBarID", kGet | kPut, L, {}, 0, 0, true},
    kLabelMember,
    {50, L"CommandBar", kGet, 0, {}, 0, 0, false},
};

constexpr Member kKeyBindingsMembers[] = {
    {1, L"Add", kCall, 0, {L, L, L}, 3, 3, false},
    kLabelMember,
};

constexpr Member kStrayMembers[] = {kLabelMember};

enum : DISPID {
    kLog = 1001, kLogCount, kLogLine, kClearLog, kFailCall, kWrongKind, kDestroyControl, kDump,
    kBarCount, kBarName, kControlCount, kControlLabel, kControlProp, kFindControl, kBindingCount, kBinding,
    kRecording,
};

constexpr Member kCommandBarsMembers[] = {
    {2, L"Add", kCall, 0, {S, L}, 1, 2, false},
    {4, L"ActiveMenuBar", kGet, 0, {}, 0, 0, false},
    {10, L"KeyBindings", kGet, 0, {}, 0, 0, false},
    kLabelMember,
    {kLog, L"Log", kInspect, 0, {}, 0, 0, false},
    {kLogCount, L"LogCount", kInspect, 0, {}, 0, 0, false},
    {kLogLine, L"LogLine", kInspect, 0, {L}, 1, 1, false},
    {kClearLog, L"ClearLog", kInspect, 0, {}, 0, 0, false},
    {kFailCall, L"FailCall", kInspect, 0, {S, S, L, L, S}, 4, 5, false},
    {kWrongKind, L"WrongKind", kInspect, 0, {S, S, L}, 3, 3, false},
    {kDestroyControl, L"DestroyControl", kInspect, 0, {V}, 1, 1, false},
    {kDump, L"Dump", kInspect, 0, {}, 0, 0, false},
    {kBarCount, L"BarCount", kInspect, 0, {}, 0, 0, false},
    {kBarName, L"Bar", kInspect, 0, {V}, 1, 1, false},
    {kControlCount, L"ControlCount", kInspect, 0, {V}, 1, 1, false},
    {kControlLabel, L"Control", kInspect, 0, {V, L}, 2, 2, false},
    {kControlProp, L"ControlProp", kInspect, 0, {S, S}, 2, 2, false},
    {kFindControl, L"FindControl", kInspect, 0, {L}, 1, 1, false},
    {kBindingCount, L"KeyBindingCount", kInspect, 0, {}, 0, 0, false},
    {kBinding, L"KeyBinding", kInspect, 0, {L}, 1, 1, false},
    {kRecording, L"Recording", kInspect | kPut, B, {}, 0, 0, false},
};

}  // namespace

// --- command bar -------------------------------------------------------------------

Bar::Bar(std::weak_ptr<HostState> state, std::wstring label, std::wstring name_)
    : HostObject(std::move(state), std::move(label)), name(std::move(name_)) {}

std::pair<const Member*, size_t> Bar::Members() const noexcept { return Table(kBarMembers); }
bool Bar::HasRole(REFIID iid) const noexcept { return iid == kIidCommandBar; }
void Bar::CheckUsable() const {
    if (destroyed) Destroyed(L"command bar");
}

Variant Bar::Perform(HostState&, const Member& m, Kind, std::vector<Variant>& args) {
    switch (m.id) {
    case 2: return Variant::Object(collection);
    case kLabel: return String(Label());
    case 23: case 24: case 33:
        settings.push_back(std::to_wstring(m.id) + (Bool(args[0]) ? L"=True" : L"=False"));
        return Variant();
    default: {  // 8, 16, 18
        std::wstring call = std::to_wstring(m.id) + L"(";
        for (size_t i = 0; i < args.size(); ++i) call += (i ? L", " : L"") + std::to_wstring(Long(args[i]));
        settings.push_back(call + L")");
        return Variant();
    }
    }
}

// --- control collection ---------------------------------------------------------------

ControlCollection::ControlCollection(std::weak_ptr<HostState> state, Bar* bar_)
    : HostObject(std::move(state), bar_->Label() + L".Controls"), bar(bar_) {}

std::pair<const Member*, size_t> ControlCollection::Members() const noexcept { return Table(kControlsMembers); }
bool ControlCollection::HasRole(REFIID iid) const noexcept { return iid == kIidControls; }
void ControlCollection::CheckUsable() const { bar->CheckUsable(); }

Variant ControlCollection::Perform(HostState& state, const Member& m, Kind, std::vector<Variant>& args) {
    if (m.id == kLabel) return String(Label());
    return Variant::Object(state.AddControl(bar, Long(args[0]), Long(args[1]), Text(args[2])));
}

// --- control ------------------------------------------------------------------------------

Control::Control(std::weak_ptr<HostState> state, std::wstring label, Bar* parent_, long type_)
    : HostObject(std::move(state), std::move(label)), parent(parent_), type(type_) {}

std::pair<const Member*, size_t> Control::Members() const noexcept {
    auto all = Table(kControlMembers);
    return {all.first, IsPopup() ? all.second : all.second - 1};
}

bool Control::HasRole(REFIID iid) const noexcept {
    return iid == kIidControl || (type == 1 && iid == kIidButton) || (IsPopup() && iid == kIidPopup);
}

void Control::CheckUsable() const {
    if (destroyed) Destroyed(L"control");
}

Variant Control::Perform(HostState& state, const Member& m, Kind kind, std::vector<Variant>& args) {
    auto flag = [&](bool& field) { return kind == Kind::Put ? (field = Bool(args[0]), Variant()) : Variant::Bool(field); };
    auto number = [&](long& field) { return kind == Kind::Put ? (field = Long(args[0]), Variant()) : Variant::Long(field); };
    auto text = [&](std::wstring& field) { return kind == Kind::Put ? (field = Text(args[0]), Variant()) : String(field); };
    switch (m.id) {
    case 3: return flag(group);
    case 4: return text(caption);
    case 6: return number(id);
    case 10: return text(tooltip);
    case 12: return flag(visible);
    case 13: return flag(enabled);
    case 14: return flag(checked);
    case 28: return number(style);
    case kToolBarId: return number(toolbar_id);
    case 50: return Variant::Object(state.DropDownOf(this));
    default: return String(Label());  // kLabel
    }
}

Variant Control::Property(const std::wstring& name) const {
    if (SameText(name, L"Type")) return Variant::Long(type);
    if (SameText(name, L"ID")) return Variant::Long(id);
    if (SameText(name, L"Caption")) return String(caption);
    if (SameText(name, L"Tooltip")) return String(tooltip);
    if (SameText(name, L"Checked")) return Variant::Bool(checked);
    if (SameText(name, L"Enabled")) return Variant::Bool(enabled);
    if (SameText(name, L"Visible")) return Variant::Bool(visible);
    if (SameText(name, L"Group")) return Variant::Bool(group);
    if (SameText(name, L"Style")) return Variant::Long(style);
    if (SameText(name, L"ToolBarID")) return Variant::Long(toolbar_id);
    if (SameText(name, L"Destroyed")) return Variant::Bool(destroyed);
    zuv::RaiseError(zuv::kErrInvalidCall, L"No control property named " + name);
}

// --- key bindings and stray objects ------------------------------------------------------------

std::pair<const Member*, size_t> KeyBindings::Members() const noexcept { return Table(kKeyBindingsMembers); }
bool KeyBindings::HasRole(REFIID iid) const noexcept { return iid == kIidKeyBindings; }

Variant KeyBindings::Perform(HostState& state, const Member& m, Kind, std::vector<Variant>& args) {
    if (m.id == kLabel) return String(Label());
    state.bindings.push_back(KeyBinding{Long(args[0]), Long(args[1]), Long(args[2])});
    return Variant();
}

std::pair<const Member*, size_t> Stray::Members() const noexcept { return Table(kStrayMembers); }
Variant Stray::Perform(HostState&, const Member&, Kind, std::vector<Variant>&) { return String(Label()); }

// --- command-bars object -------------------------------------------------------------------------

CommandBars::CommandBars(std::shared_ptr<HostState> state)
    : HostObject(state, L"CommandBars"), owned_state_(std::move(state)) {}

std::pair<const Member*, size_t> CommandBars::Members() const noexcept { return Table(kCommandBarsMembers); }
bool CommandBars::HasRole(REFIID iid) const noexcept { return iid == kIidCommandBarsObject; }

Variant CommandBars::Perform(HostState& state, const Member& m, Kind kind, std::vector<Variant>& args) {
    auto index = [&](size_t i, size_t count) {
        long n = Long(args[i]);
        if (n < 1 || static_cast<size_t>(n) > count) zuv::RaiseError(zuv::kErrSubscript);
        return static_cast<size_t>(n - 1);
    };
    auto text = [&](size_t i) { return Text(args[i]); };
    switch (m.id) {
    case 2: return Variant::Object(state.AddToolBar(text(0)));
    case 4: return Variant::Object(state.menu_bar);
    case 10: return Variant::Object(state.key_bindings);
    case kLabel: return String(Label());
    case kLog: {
        std::wstring all;
        for (size_t i = 0; i < state.log.size(); ++i) all += (i ? L"\n" : L"") + state.log[i];
        return String(all);
    }
    case kLogCount: return Variant::Long(static_cast<long>(state.log.size()));
    case kLogLine: return String(state.log[index(0, state.log.size())]);
    case kClearLog: state.log.clear(); return Variant();
    case kFailCall:
        state.AddRule(text(0), text(1), Long(args[2]), true, Long(args[3]), args[4].Type() == VT_BSTR ? text(4) : L"");
        return Variant();
    case kWrongKind: state.AddRule(text(0), text(1), Long(args[2]), false, 0, L""); return Variant();
    case kDestroyControl: return Variant::Long(state.Destroy(*args[0].Get()));
    case kDump: return String(state.Dump());
    case kBarCount: return Variant::Long(static_cast<long>(1 + state.toolbars.size()));
    case kBarName: return String(state.FindBar(args[0])->name);
    case kControlCount: return Variant::Long(static_cast<long>(state.FindBar(args[0])->items.size()));
    case kControlLabel: {
        Bar* bar = state.FindBar(args[0]);
        return String(bar->items[index(1, bar->items.size())]->Label());
    }
    case kControlProp: return state.FindControl(text(0))->Property(text(1));
    case kFindControl:
        for (Control* c : state.controls)
            if (!c->destroyed && c->id == Long(args[0])) return String(c->Label());
        return String(L"");
    case kBindingCount: return Variant::Long(static_cast<long>(state.bindings.size()));
    case kBinding: return String(HostState::BindingText(state.bindings[index(0, state.bindings.size())]));
    case kRecording:
        if (kind == Kind::Put) state.recording = Bool(args[0]);
        return kind == Kind::Put ? Variant() : Variant::Bool(state.recording);
    }
    return Variant();
}

HRESULT CreateCommandBars(REFIID iid, void** ppv) noexcept {
    try {
        auto object = zuv::ComPtr<CommandBars>::Adopt(zuv::MakeObject<CommandBars>(HostState::Create()));
        return object->QueryInterface(iid, ppv);
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

}  // namespace xchost
