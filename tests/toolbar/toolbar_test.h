// Shared pieces of the toolbar tests: building trees, reading nodes, the
// fixture with a stand-in host, and the host calls a rendering is expected
// to make, written out line by line as the stand-in records them.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "host_objects.h"
#include "support/com_test.h"
#include "support/event_sink.h"
#include "support/late_bound.h"

namespace zuv::test {

// The earlier identifiers of the toolbar interface and its events.
constexpr IID kIidToolBarV0 = {0x0483A138, 0x1DCD, 0x4B0A, {0x86, 0x72, 0xC0, 0x1D, 0x0D, 0x32, 0x5D, 0xD5}};
constexpr IID kIidToolBarEventsV1 = {0xB5AAE547, 0xAE84, 0x4B3B, {0x96, 0x6E, 0x43, 0x95, 0xC9, 0xA6, 0x0C, 0x31}};

inline ComPtr<_xToolBar> NewNode(const wchar_t* caption = L"") {
    ComPtr<_xToolBar> node = NewToolBar();
    EXPECT_EQ(node->put_Caption(B(caption).Get()), S_OK);
    return node;
}

// Many nodes quickly: one class object for all of them.
class NodeFactory {
public:
    NodeFactory() {
        EXPECT_EQ(CoGetClassObject(CLSID_xToolBar, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                                   reinterpret_cast<void**>(factory_.Out())),
                  S_OK);
    }
    ComPtr<_xToolBar> New() {
        ComPtr<_xToolBar> node;
        EXPECT_EQ(factory_->CreateInstance(nullptr, __uuidof(_xToolBar), reinterpret_cast<void**>(node.Out())), S_OK);
        return node;
    }

private:
    ComPtr<IClassFactory> factory_;
};

inline ComPtr<_xToolBar> NewSeparator() {
    ComPtr<_xToolBar> node = NewToolBar();
    EXPECT_EQ(node->put_ToolBarSeperator(VARIANT_TRUE), S_OK);
    return node;
}

inline ComPtr<_xToolBarCollection> ButtonsOf(_xToolBar* node) {
    ComPtr<_xToolBarCollection> buttons;
    EXPECT_EQ(node->get_Buttons(buttons.Out()), S_OK);
    return buttons;
}

// Appends `child` (which may be Nothing) to the parent's Buttons; returns it.
inline ComPtr<_xToolBar> Add(_xToolBar* parent, ComPtr<_xToolBar> child) {
    _xToolBar* raw = child.Get();
    ComPtr<_xToolBar> added;
    EXPECT_EQ(ButtonsOf(parent)->Add(&raw, nullptr, added.Out()), S_OK);
    return child;
}

inline long IdOf(_xToolBar* node) {
    long id = -12345;
    EXPECT_EQ(node->get_ID(&id), S_OK);
    return id;
}

inline bool IsDesigned(_xToolBar* node) {
    VARIANT_BOOL designed = 7;
    EXPECT_EQ(node->get_IsToolBarDesigned(&designed), S_OK);
    return designed == VARIANT_TRUE;
}

inline ComPtr<_xToolBar> ParentOf(_xToolBar* node) {
    ComPtr<_xToolBar> parent;
    EXPECT_EQ(node->get_Parent(parent.Out()), S_OK);
    return parent;
}

inline ComPtr<ICommandBarButton> ButtonControlOf(_xToolBar* node) {
    ComPtr<ICommandBarButton> control;
    EXPECT_EQ(node->get_CmdBarButton(control.Out()), S_OK);
    return control;
}

inline ComPtr<ICommandBarPopup> PopupControlOf(_xToolBar* node) {
    ComPtr<ICommandBarPopup> control;
    EXPECT_EQ(node->get_CmdBarPopup(control.Out()), S_OK);
    return control;
}

// COM identity of two interface pointers.
inline bool Same(IUnknown* a, IUnknown* b) {
    if (!a || !b) return a == b;
    ComPtr<IUnknown> ua, ub;
    a->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(ua.Out()));
    b->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(ub.Out()));
    return ua == ub;
}

// The label the stand-in host gives a control object.
inline std::wstring LabelOf(IDispatch* control) { return control ? Str(Get(control, L"Label").value) : L""; }

// RenderToolBar through the vtable; the call itself always succeeds.
inline bool Render(_xToolBar* root, ICommandBarsObject* bars) {
    VARIANT_BOOL result = 7;
    EXPECT_EQ(root->RenderToolBar(&bars, &result), S_OK);
    EXPECT_TRUE(result == VARIANT_TRUE || result == VARIANT_FALSE) << result;
    return result == VARIANT_TRUE;
}

inline ComPtr<_xToolBar> Find(_xToolBar* root, long id) {
    ComPtr<_xToolBar> found;
    EXPECT_EQ(root->GetToolBar(id, found.Out()), S_OK);
    return found;
}

// The host calls of one rendering, as the stand-in records them.
class Calls {
public:
    const std::vector<std::wstring>& Lines() const { return lines_; }

    // A new toolbar "Standard", numbered `bar` among the toolbars, configured.
    Calls& NewBar(int bar) {
        std::wstring t = L"ToolBar" + std::to_wstring(bar);
        Add(L"CommandBars call 2 (String \"Standard\", Long 0)");
        Add(t + L" put 23 (Boolean False)");
        Add(t + L" put 24 (Boolean False)");
        Add(t + L" call 16 (Long 4194304, Long 4194304)");
        Add(t + L" call 8 (Long 96)");
        Add(t + L" put 33 (Boolean False)");
        return *this;
    }
    // A toolbar button: type 1 (plain) or 4 (with a drop-down).
    Calls& Top(int bar, int control, long type, long id, const std::wstring& caption, bool group,
               bool checked = false, bool enabled = true, bool visible = true) {
        std::wstring t = L"ToolBar" + std::to_wstring(bar);
        Add(t + L" get 2");
        Add(t + L".Controls call 2 (Long " + std::to_wstring(type) + L", Long& " + std::to_wstring(id) +
            L", String \"" + caption + L"\", Boolean False)");
        States(control, checked, enabled, visible);
        Add(Ctl(control) + L" put 28 (Long 2)");
        Add(Ctl(control) + L" put 3 (" + Bool(group) + L")");
        return *this;
    }
    // An entry of the drop-down of control `owner`.
    Calls& Sub(int owner, int control, long type, long id, const std::wstring& caption, bool group,
               bool checked = false, bool enabled = true, bool visible = true) {
        std::wstring bar = Ctl(owner) + L".CommandBar";
        Add(bar + L" name \"Controls\"");
        Add(bar + L" get 2");
        Add(bar + L".Controls name \"Add\"");
        Add(bar + L".Controls call 2 (Long " + std::to_wstring(type) + L", Long& " + std::to_wstring(id) +
            L", String \"" + caption + L"\")");
        States(control, checked, enabled, visible);
        Add(Ctl(control) + L" put 3 (" + Bool(group) + L")");
        return *this;
    }
    // The drop-down of control `owner` is opened for its entries.
    Calls& Open(int owner) { return Add(Ctl(owner) + L" get 50"); }
    Calls& Add(const std::wstring& line) {
        lines_.push_back(line);
        return *this;
    }

    static std::wstring Ctl(int control) { return L"Control#" + std::to_wstring(control); }
    static std::wstring Bool(bool b) { return b ? L"Boolean True" : L"Boolean False"; }

private:
    void States(int control, bool checked, bool enabled, bool visible) {
        Add(Ctl(control) + L" put 14 (" + Bool(checked) + L")");
        Add(Ctl(control) + L" put 13 (" + Bool(enabled) + L")");
        Add(Ctl(control) + L" put 12 (" + Bool(visible) + L")");
    }
    std::vector<std::wstring> lines_;
};

inline std::wstring Lines(const std::vector<std::wstring>& lines) {
    std::wstring s;
    for (auto& l : lines) s += l + L"\n";
    return s;
}

// Compares whole sequences and shows both on a mismatch.
#define EXPECT_CALLS(host, calls) EXPECT_EQ(Lines((host).Log()), Lines((calls).Lines()))

// A test with a stand-in host; everything it holds is released before the
// component is asked whether it can unload.
class ToolBarTest : public ComTest {
protected:
    HostBars& Host() {
        if (!host_) host_ = std::make_unique<HostBars>();
        return *host_;
    }
    void TearDown() override {
        host_.reset();
        ComTest::TearDown();
    }

private:
    std::unique_ptr<HostBars> host_;
};

// The tree used throughout: StartID 100; buttons A, a separator, B with
// the entries C and D, and E.
struct ExampleTree {
    ComPtr<_xToolBar> root, a, separator, b, c, d, e;
    ExampleTree() {
        root = NewNode(L"Root");
        EXPECT_EQ(root->put_StartID(100), S_OK);
        a = Add(root.Get(), NewNode(L"A"));
        separator = Add(root.Get(), NewSeparator());
        b = Add(root.Get(), NewNode(L"B"));
        c = Add(b.Get(), NewNode(L"C"));
        d = Add(b.Get(), NewNode(L"D"));
        e = Add(root.Get(), NewNode(L"E"));
    }
};

}  // namespace zuv::test
