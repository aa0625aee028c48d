// Shared pieces of the toolbar tests: building and reading trees, the
// fixture with a stand-in host, and the host calls a rendering makes, line
// by line as the stand-in records them.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "host_objects.h"
#include "support/com_test.h"
#include "support/event_sink.h"

namespace zuv::test {

constexpr IID kIidToolBarV0 = {0x0483A138, 0x1DCD, 0x4B0A, {0x86, 0x72, 0xC0, 0x1D, 0x0D, 0x32, 0x5D, 0xD5}};
constexpr IID kIidToolBarEventsV1 = {0xB5AAE547, 0xAE84, 0x4B3B, {0x96, 0x6E, 0x43, 0x95, 0xC9, 0xA6, 0x0C, 0x31}};

// Many nodes quickly: one class object for all of them.
class NodeFactory {
public:
    NodeFactory() {
        CoGetClassObject(CLSID_xToolBar, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                         reinterpret_cast<void**>(factory_.Out()));
    }
    ComPtr<_xToolBar> New() {
        ComPtr<_xToolBar> node;
        EXPECT_EQ(factory_->CreateInstance(nullptr, __uuidof(_xToolBar), reinterpret_cast<void**>(node.Out())), S_OK);
        return node;
    }

private:
    ComPtr<IClassFactory> factory_;
};

inline ComPtr<_xToolBar> NewNode(const wchar_t* caption = L"", bool separator = false) {
    ComPtr<_xToolBar> node = NewToolBar();
    EXPECT_EQ(node->put_Caption(B(caption).Get()), S_OK);
    EXPECT_EQ(node->put_ToolBarSeperator(separator ? VARIANT_TRUE : VARIANT_FALSE), S_OK);
    return node;
}
inline ComPtr<_xToolBar> NewSeparator() { return NewNode(L"", true); }

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

inline ComPtr<_xToolBar> ItemOf(_xToolBar* parent, long position) {
    ComPtr<_xToolBar> item;
    EXPECT_EQ(ButtonsOf(parent)->get_Item(*Variant::Long(position).Get(), item.Out()), S_OK);
    return item;
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

// The stand-in's label of the node's button or popup control ("" for Nothing).
inline std::wstring ButtonLabel(_xToolBar* node) {
    ComPtr<ICommandBarButton> c;
    EXPECT_EQ(node->get_CmdBarButton(c.Out()), S_OK);
    return c ? Str(Get(c.Get(), L"Label").value) : L"";
}
inline std::wstring PopupLabel(_xToolBar* node) {
    ComPtr<ICommandBarPopup> c;
    EXPECT_EQ(node->get_CmdBarPopup(c.Out()), S_OK);
    return c ? Str(Get(c.Get(), L"Label").value) : L"";
}

// COM identity of two interface pointers.
inline bool Same(IUnknown* a, IUnknown* b) {
    if (!a || !b) return a == b;
    ComPtr<IUnknown> ua, ub;
    a->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(ua.Out()));
    b->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(ub.Out()));
    return ua == ub;
}

// RenderToolBar through the vtable: the call itself always succeeds.
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

inline bool StartsWith(const std::wstring& s, const wchar_t* prefix) { return s.rfind(prefix, 0) == 0; }

// The host calls of one rendering.  Controls are numbered by the stand-in
// in the order they are added (Control#n), toolbars likewise (ToolBarn).
class Calls {
public:
    std::vector<std::wstring> lines;

    Calls& Line(const std::wstring& line) {
        lines.push_back(line);
        return *this;
    }
    // A new toolbar "Standard", configured.
    Calls& NewBar(int bar) {
        std::wstring t = L"ToolBar" + std::to_wstring(bar);
        Line(L"CommandBars call 2 (String \"Standard\", Long 0)");
        for (const wchar_t* put : {L" put 23 (Boolean False)", L" put 24 (Boolean False)",
                                   L" call 16 (Long 4194304, Long 4194304)", L" call 8 (Long 96)",
                                   L" put 33 (Boolean False)"})
            Line(t + put);
        return *this;
    }
    // A toolbar button of type 1 (plain) or 4 (with a drop-down).
    Calls& Top(int bar, int control, long type, long id, const wchar_t* caption, bool group, const wchar_t* states = L"FTT") {
        std::wstring t = L"ToolBar" + std::to_wstring(bar);
        Line(t + L" get 2");
        Line(t + L".Controls call 2 (" + AddArgs(type, id, caption) + L", Boolean False)");
        States(control, states);
        Line(Ctl(control) + L" put 28 (Long 2)");
        return Line(Ctl(control) + L" put 3 (" + Bool(group) + L")");
    }
    // An entry of the drop-down of control `owner`.
    Calls& Sub(int owner, int control, long type, long id, const wchar_t* caption, bool group) {
        std::wstring bar = Ctl(owner) + L".CommandBar";
        Line(bar + L" name \"Controls\"").Line(bar + L" get 2").Line(bar + L".Controls name \"Add\"");
        Line(bar + L".Controls call 2 (" + AddArgs(type, id, caption) + L")");
        States(control, L"FTT");
        return Line(Ctl(control) + L" put 3 (" + Bool(group) + L")");
    }
    // The drop-down of control `owner` is fetched.
    Calls& Open(int owner) { return Line(Ctl(owner) + L" get 50"); }

    static std::wstring Ctl(int control) { return L"Control#" + std::to_wstring(control); }
    static std::wstring Bool(bool b) { return b ? L"Boolean True" : L"Boolean False"; }

private:
    static std::wstring AddArgs(long type, long id, const wchar_t* caption) {
        return L"Long " + std::to_wstring(type) + L", Long& " + std::to_wstring(id) + L", String \"" + caption + L"\"";
    }
    // Checked, Enabled, Visible as "T"/"F".
    void States(int control, const wchar_t* states) {
        const wchar_t* ids[] = {L" put 14 (", L" put 13 (", L" put 12 ("};
        for (int i = 0; i < 3; ++i) Line(Ctl(control) + ids[i] + Bool(states[i] == L'T') + L")");
    }
};

inline std::wstring Lines(const std::vector<std::wstring>& lines) {
    std::wstring s;
    for (auto& l : lines) s += l + L"\n";
    return s;
}
#define EXPECT_CALLS(host, calls) EXPECT_EQ(Lines((host).Log()), Lines((calls).lines))

// A test with a stand-in host, released before the component is asked
// whether it can unload.
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

// StartID 100; the buttons A, a separator, B with the entries C and D, and E.
struct ExampleTree {
    ComPtr<_xToolBar> root = NewNode(L"Root"), a, separator, b, c, d, e;
    ExampleTree() {
        root->put_StartID(100);
        a = Add(root.Get(), NewNode(L"A"));
        separator = Add(root.Get(), NewSeparator());
        b = Add(root.Get(), NewNode(L"B"));
        c = Add(b.Get(), NewNode(L"C"));
        d = Add(b.Get(), NewNode(L"D"));
        e = Add(root.Get(), NewNode(L"E"));
    }
};

}  // namespace zuv::test
