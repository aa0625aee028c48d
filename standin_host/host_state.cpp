#include <cwchar>
#include <cwctype>

#include "host_objects.h"

namespace xchost {

using zuv::Variant;

std::shared_ptr<HostState> HostState::Create() {
    std::shared_ptr<HostState> state(new HostState());
    state->menu_bar = state->Make<Bar>(L"MenuBar", L"Menu Bar");
    state->menu_bar->collection = state->Make<ControlCollection>(state->menu_bar);
    state->key_bindings = state->Make<KeyBindings>(L"KeyBindings");
    return state;
}

template <class T, class... A>
T* HostState::Make(A&&... args) {
    auto object = zuv::ComPtr<IDispatch>::Adopt(zuv::MakeObject<T>(weak_from_this(), std::forward<A>(args)...));
    owned_.push_back(object);
    return static_cast<T*>(object.Get());
}

// --- injected outcomes -------------------------------------------------------------

void HostState::AddRule(const std::wstring& label, const std::wstring& selector, long nth, bool fail, long number,
                        const std::wstring& description) {
    Rule rule;
    rule.label = label;
    size_t space = selector.find(L' ');
    if (space != std::wstring::npos) {
        rule.kind = selector.substr(0, space);
        size_t start = selector.find_first_not_of(L' ', space);
        if (start != std::wstring::npos) rule.member = selector.substr(start);
    }
    bool kind_ok = false;
    for (const wchar_t* k : {L"get", L"put", L"call", L"name", L"*"})
        kind_ok = kind_ok || SameText(rule.kind, k);
    if (!kind_ok || (!fail && SameText(rule.kind, L"name")))
        zuv::RaiseError(zuv::kErrInvalidCall, L"Member selector must read \"get|put|call|name|* <id|name|*>\"");
    if (rule.member.empty() || rule.member.find(L' ') != std::wstring::npos || label.empty() || nth < 1)
        zuv::RaiseError(zuv::kErrInvalidCall);
    rule.nth = nth;
    rule.fail = fail;
    rule.hr = zuv::HresultOfNumber(number);
    if (fail && SUCCEEDED(rule.hr)) zuv::RaiseError(zuv::kErrInvalidCall, L"The error number must give a failure");
    rule.description = description;
    rules_.push_back(std::move(rule));
}

const Rule* HostState::Match(const std::wstring& label, Kind kind, const std::wstring& token, const wchar_t* alias) {
    const Rule* fired = nullptr;
    for (Rule& r : rules_) {
        if (r.seen >= r.nth) continue;  // spent
        if (r.label != L"*" && !SameText(r.label, label)) continue;
        if (r.kind != L"*" && !SameText(r.kind, KindName(kind))) continue;
        if (r.member != L"*" && !SameText(r.member, token) && !(alias && SameText(r.member, alias))) continue;
        // One outcome per call: a rule whose turn comes while another one
        // fires waits for the next matching call.
        if (r.seen + 1 == r.nth && fired) continue;
        if (++r.seen == r.nth) fired = &r;
    }
    return fired;
}

// --- the built UI -----------------------------------------------------------------------

Bar* HostState::AddToolBar(const std::wstring& name) {
    Bar* bar = Make<Bar>(L"ToolBar" + std::to_wstring(toolbars.size() + 1), name);
    bar->collection = Make<ControlCollection>(bar);
    toolbars.push_back(bar);
    return bar;
}

Control* HostState::AddControl(Bar* bar, long type, long id, const std::wstring& caption) {
    Control* control = Make<Control>(L"Control#" + std::to_wstring(controls.size() + 1), bar, type);
    control->id = id;
    control->caption = caption;
    controls.push_back(control);
    try {
        bar->items.push_back(control);
    } catch (...) {
        controls.pop_back();
        throw;
    }
    return control;
}

Bar* HostState::DropDownOf(Control* control) {
    if (!control->drop_down) {
        Bar* bar = Make<Bar>(control->Label() + L".CommandBar", L"");
        bar->collection = Make<ControlCollection>(bar);
        control->drop_down = bar;
    }
    return control->drop_down;
}

IDispatch* HostState::NewStray() { return Make<Stray>(L"Stray#" + std::to_wstring(next_stray_++)); }

Bar* HostState::FindBar(const Variant& which) const {
    if (which.Type() == VT_BSTR) {
        std::wstring label(which.Get()->bstrVal, SysStringLen(which.Get()->bstrVal));
        if (SameText(label, menu_bar->Label())) return menu_bar;
        for (Bar* bar : toolbars)
            if (SameText(label, bar->Label())) return bar;
        for (Control* c : controls)
            if (c->drop_down && !c->drop_down->destroyed && SameText(label, c->drop_down->Label())) return c->drop_down;
        zuv::RaiseError(zuv::kErrInvalidCall, L"No command bar labelled " + label);
    }
    Variant n;
    if (FAILED(VariantChangeType(n.Get(), const_cast<VARIANT*>(which.Get()), 0, VT_I4)))
        zuv::RaiseError(zuv::kErrTypeMismatch);
    long i = n.Get()->lVal;
    if (i == 1) return menu_bar;
    if (i < 1 || static_cast<size_t>(i) > toolbars.size() + 1) zuv::RaiseError(zuv::kErrSubscript);
    return toolbars[static_cast<size_t>(i - 2)];
}

Control* HostState::FindControl(const std::wstring& label) const {
    for (Control* c : controls)
        if (SameText(label, c->Label())) return c;
    zuv::RaiseError(zuv::kErrInvalidCall, L"No control labelled " + label);
}

long HostState::Destroy(const VARIANT& which) {
    Variant key;
    if (FAILED(VariantCopyInd(key.Get(), const_cast<VARIANT*>(&which)))) zuv::RaiseError(zuv::kErrTypeMismatch);
    const bool by_label = key.Type() == VT_BSTR;
    std::wstring label = by_label ? std::wstring(key.Get()->bstrVal, SysStringLen(key.Get()->bstrVal)) : L"";
    if (!by_label && FAILED(VariantChangeType(key.Get(), key.Get(), 0, VT_I4))) zuv::RaiseError(zuv::kErrTypeMismatch);
    long count = 0;
    for (Control* c : controls) {
        if (c->destroyed || (by_label ? !SameText(label, c->Label()) : c->id != key.Get()->lVal)) continue;
        ++count;
        auto& siblings = c->parent->items;
        for (auto it = siblings.begin(); it != siblings.end(); ++it)
            if (*it == c) {
                siblings.erase(it);
                break;
            }
        // Everything in its drop-down goes with it.
        std::vector<Control*> doomed{c};
        while (!doomed.empty()) {
            Control* d = doomed.back();
            doomed.pop_back();
            d->destroyed = true;
            if (d->drop_down) {
                d->drop_down->destroyed = true;
                doomed.insert(doomed.end(), d->drop_down->items.begin(), d->drop_down->items.end());
            }
        }
    }
    return count;
}

// --- dump --------------------------------------------------------------------------------------

namespace {

std::wstring BarLine(const Bar& bar) {
    std::wstring line = bar.Label();
    if (!bar.name.empty()) line += L" " + Quote(bar.name);
    for (size_t i = 0; i < bar.settings.size(); ++i) line += (i ? L" " : L" {") + bar.settings[i];
    if (!bar.settings.empty()) line += L"}";
    return line + L"\n";
}

std::wstring ControlLine(const Control& c) {
    auto flag = [](bool b) { return b ? L"True" : L"False"; };
    std::wstring line = c.Label() + L" type=" + std::to_wstring(c.type) + L" id=" + std::to_wstring(c.id) + L" " +
                        Quote(c.caption) + L" checked=" + flag(c.checked) + L" enabled=" + flag(c.enabled) +
                        L" visible=" + flag(c.visible) + L" group=" + flag(c.group);
    if (c.style) line += L" style=" + std::to_wstring(c.style);
    if (c.toolbar_id) line += L" toolbarid=" + std::to_wstring(c.toolbar_id);
    if (!c.tooltip.empty()) line += L" tooltip=" + Quote(c.tooltip);
    return line + L"\n";
}

// A bar and everything below it, walked without recursion: drop-downs may
// nest as deep as the client likes.
void DumpBar(std::wstring& out, const Bar& root) {
    struct Frame {
        const Bar* bar;
        size_t next;
        size_t depth;
    };
    out += BarLine(root);
    std::vector<Frame> stack{{&root, 0, 0}};
    while (!stack.empty()) {
        Frame& top = stack.back();
        if (top.next == top.bar->items.size()) {
            stack.pop_back();
            continue;
        }
        const Control& c = *top.bar->items[top.next++];
        size_t depth = top.depth + 1;
        out.append(2 * depth, L' ').append(ControlLine(c));
        if (c.drop_down) {
            out.append(2 * (depth + 1), L' ').append(BarLine(*c.drop_down));
            stack.push_back(Frame{c.drop_down, 0, depth + 1});
        }
    }
}

std::wstring KeyName(long key) {
    if ((key >= 'A' && key <= 'Z') || (key >= '0' && key <= '9')) return std::wstring(1, static_cast<wchar_t>(key));
    if (key >= 112 && key <= 135) return L"F" + std::to_wstring(key - 111);
    static const struct {
        long key;
        const wchar_t* name;
    } names[] = {{8, L"Backspace"}, {9, L"Tab"}, {13, L"Enter"}, {27, L"Esc"}, {32, L"Space"}, {33, L"PageUp"},
                 {34, L"PageDown"}, {35, L"End"}, {36, L"Home"}, {37, L"Left"}, {38, L"Up"}, {39, L"Right"},
                 {40, L"Down"}, {45, L"Insert"}, {46, L"Delete"}, {106, L"Multiply"}, {107, L"Add"},
                 {108, L"Separator"}, {109, L"Subtract"}, {110, L"Decimal"}, {111, L"Divide"}};
    for (const auto& n : names)
        if (n.key == key) return n.name;
    return L"#" + std::to_wstring(key);
}

}  // namespace

std::wstring HostState::BindingText(const KeyBinding& b) {
    std::wstring text;
    if (b.flags & 8) text += L"Ctrl+";
    if (b.flags & 16) text += L"Alt+";
    if (b.flags & 4) text += L"Shift+";
    if (long rest = b.flags & ~28L) {
        wchar_t hex[16];
        swprintf(hex, 16, L"0x%lX+", static_cast<unsigned long>(rest));
        text += hex;
    }
    return text + KeyName(b.key) + L" (" + std::to_wstring(b.flags) + L", " + std::to_wstring(b.key) + L") -> " +
           std::to_wstring(b.id);
}

std::wstring HostState::Dump() const {
    std::wstring out;
    DumpBar(out, *menu_bar);
    for (const Bar* bar : toolbars) DumpBar(out, *bar);
    out += key_bindings->Label() + L"\n";
    for (const KeyBinding& b : bindings) out += L"  " + BindingText(b) + L"\n";
    return out;
}

}  // namespace xchost
