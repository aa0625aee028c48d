// The objects of the stand-in command bars and the state they share.
//
// Ownership is flat: the state holds one reference to every object it ever
// handed out, and objects point at each other with plain pointers that are
// valid while the state lives.  The state itself belongs to the CommandBars
// object; the others only hold a weak reference to it, so releasing the
// CommandBars object frees everything (objects still held by a client then
// fail every call) and no release ever recurses through a deep tree.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "core/bar_calls.h"
#include "host_node.h"

namespace xchost {

class Bar;
class Control;
class ControlCollection;
class KeyBindings;

// The role identifiers the objects answer besides IDispatch.
extern const IID kIidCommandBarsObject;
// The roles the component casts to, from its own call table.
using zuv::bars::kIidButton;
using zuv::bars::kIidCommandBar;
using zuv::bars::kIidControl;
using zuv::bars::kIidControls;
using zuv::bars::kIidKeyBindings;
using zuv::bars::kIidPopup;

// An injected outcome: the nth matching call fails, or returns an object of
// the wrong kind.
struct Rule {
    std::wstring label;        // object label or "*"
    std::wstring kind;         // get, put, call, name or "*"
    std::wstring member;       // dispatch id, member name or "*"
    long nth = 1;
    long seen = 0;
    bool fail = true;          // false: wrong kind
    HRESULT hr = S_OK;
    std::wstring description;
};

struct KeyBinding {
    long flags, key, id;
};

class HostState : public std::enable_shared_from_this<HostState> {
public:
    static std::shared_ptr<HostState> Create();

    // --- log ------------------------------------------------------------------
    std::vector<std::wstring> log;
    bool recording = true;                  // false: calls are not logged (large runs)

    // --- injected outcomes -----------------------------------------------------
    // `selector` is "<kind> <member>"; error 5 when it cannot be read.
    void AddRule(const std::wstring& label, const std::wstring& selector, long nth, bool fail, long number,
                 const std::wstring& description);
    // Counts the call against every rule it matches; returns the rule that
    // fires now (once), or null.
    const Rule* Match(const std::wstring& label, Kind kind, const std::wstring& token, const wchar_t* alias);

    // --- the built UI ------------------------------------------------------------
    Bar* menu_bar = nullptr;
    KeyBindings* key_bindings = nullptr;
    std::vector<Bar*> toolbars;
    std::vector<Control*> controls;         // every control ever added, in order
    std::vector<KeyBinding> bindings;

    Bar* AddToolBar(const std::wstring& name);
    Control* AddControl(Bar* bar, long type, long id, const std::wstring& caption);
    Bar* DropDownOf(Control* control);      // created on first use
    IDispatch* NewStray();                  // an object of no role

    Bar* FindBar(const zuv::Variant& label_or_index) const;   // error 5 when absent
    Control* FindControl(const std::wstring& label) const;    // error 5 when absent
    // Destroys the live controls with this command ID (a number) or label (a
    // string), with everything in their drop-downs; returns how many.
    long Destroy(const VARIANT& id_or_label);

    std::wstring Dump() const;
    static std::wstring BindingText(const KeyBinding& b);

private:
    HostState() = default;
    template <class T, class... A>
    T* Make(A&&... args);

    std::vector<zuv::ComPtr<IDispatch>> owned_;
    std::vector<Rule> rules_;
    long next_stray_ = 1;
};

class Bar final : public HostObject<Bar> {
public:
    Bar(std::weak_ptr<HostState> state, std::wstring label, std::wstring name);
    std::pair<const Member*, size_t> Members() const noexcept override;
    bool HasRole(REFIID iid) const noexcept override;
    void CheckUsable() const override;
    zuv::Variant Perform(HostState& state, const Member& m, Kind kind, std::vector<zuv::Variant>& args) override;

    std::wstring name;
    std::vector<std::wstring> settings;     // puts and calls made on the bar, in order
    std::vector<Control*> items;            // live controls, in display order
    ControlCollection* collection = nullptr;
    bool destroyed = false;
};

class ControlCollection final : public HostObject<ControlCollection> {
public:
    ControlCollection(std::weak_ptr<HostState> state, Bar* bar);
    std::pair<const Member*, size_t> Members() const noexcept override;
    bool HasRole(REFIID iid) const noexcept override;
    void CheckUsable() const override;
    zuv::Variant Perform(HostState& state, const Member& m, Kind kind, std::vector<zuv::Variant>& args) override;

    Bar* const bar;
};

class Control final : public HostObject<Control> {
public:
    Control(std::weak_ptr<HostState> state, std::wstring label, Bar* parent, long type);
    std::pair<const Member*, size_t> Members() const noexcept override;
    bool HasRole(REFIID iid) const noexcept override;
    void CheckUsable() const override;
    zuv::Variant Perform(HostState& state, const Member& m, Kind kind, std::vector<zuv::Variant>& args) override;

    bool IsPopup() const noexcept { return type >= 2 && type <= 4; }
    // The value of a property by name (Type, ID, Caption, Tooltip, Checked,
    // Enabled, Visible, Group, Style, ToolBarID, Destroyed); error 5 otherwise.
    zuv::Variant Property(const std::wstring& name) const;

    Bar* const parent;
    const long type;
    long id = 0;
    std::wstring caption, tooltip;
    bool checked = false, enabled = true, visible = true, group = false, destroyed = false;
    long style = 0, toolbar_id = 0;
    Bar* drop_down = nullptr;
};

class KeyBindings final : public HostObject<KeyBindings> {
public:
    using HostObject::HostObject;
    std::pair<const Member*, size_t> Members() const noexcept override;
    bool HasRole(REFIID iid) const noexcept override;
    zuv::Variant Perform(HostState& state, const Member& m, Kind kind, std::vector<zuv::Variant>& args) override;
};

// What a wrong-kind call hands back: an object that answers no role and no member.
class Stray final : public HostObject<Stray> {
public:
    using HostObject::HostObject;
    std::pair<const Member*, size_t> Members() const noexcept override;
    bool HasRole(REFIID) const noexcept override { return false; }
    zuv::Variant Perform(HostState& state, const Member& m, Kind kind, std::vector<zuv::Variant>& args) override;
};

// The creatable XCHost.CommandBars: the command-bars object plus the
// members tests and scripts use to inspect and steer the host.
class CommandBars final : public HostObject<CommandBars> {
public:
    explicit CommandBars(std::shared_ptr<HostState> state);
    std::pair<const Member*, size_t> Members() const noexcept override;
    bool HasRole(REFIID iid) const noexcept override;
    zuv::Variant Perform(HostState& state, const Member& m, Kind kind, std::vector<zuv::Variant>& args) override;

private:
    std::shared_ptr<HostState> owned_state_;
};

}  // namespace xchost
