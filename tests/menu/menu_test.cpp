#include "menu_test.h"

#include <sstream>

namespace zuv::test {

ComPtr<_xMenuCollection> SubMenusOf(_xMenu* node) {
    ComPtr<_xMenuCollection> entries;
    EXPECT_EQ(node->get_SubMenus(entries.Out()), S_OK);
    return entries;
}

ComPtr<_xMenuCollection> ArrayMenuOf(_xMenu* node) {
    ComPtr<_xMenuCollection> entries;
    EXPECT_EQ(node->get_ArrayMenu(entries.Out()), S_OK);
    return entries;
}

long CountOf(_xMenuCollection* entries) {
    long count = -1;
    EXPECT_EQ(entries->get_Count(&count), S_OK);
    return count;
}

ComPtr<_xMenu> ItemOf(_xMenuCollection* entries, Variant index) {
    ComPtr<_xMenu> item;
    EXPECT_EQ(entries->get_Item(*index.Get(), item.Out()), S_OK);
    return item;
}

ComPtr<_xMenu> ItemAt(_xMenuCollection* entries, long position) { return ItemOf(entries, Variant::Long(position)); }

ComPtr<_xMenu> Append(_xMenuCollection* entries, ComPtr<_xMenu> child, const wchar_t* key) {
    _xMenu* raw = child.Get();
    Bstr k(key ? key : L"");
    BSTR kb = k.Get();
    ComPtr<_xMenu> added;
    EXPECT_EQ(entries->Add(&raw, key ? &kb : nullptr, added.Out()), S_OK);
    EXPECT_EQ(raw, child.Get());
    return child;
}

ComPtr<_xMenu> AddEntry(_xMenu* parent, const wchar_t* caption, const wchar_t* key) {
    ComPtr<_xMenu> node = NewMenu();
    EXPECT_EQ(node->put_Caption(B(caption).Get()), S_OK);
    return Append(SubMenusOf(parent).Get(), node, key);
}

ComPtr<_xMenu> AddSeparator(_xMenu* parent) {
    ComPtr<_xMenu> node = AddEntry(parent, L"-");
    EXPECT_EQ(node->put_MenuSeperator(VARIANT_TRUE), S_OK);
    return node;
}

ComPtr<_xMenu> AddArray(_xMenu* parent, const wchar_t* caption, short count, bool base_zero) {
    ComPtr<_xMenu> node = AddEntry(parent, caption);
    EXPECT_EQ(node->put_IsArray(VARIANT_TRUE), S_OK);
    EXPECT_EQ(node->put_ArrayCount(count), S_OK);
    EXPECT_EQ(node->put_IsArrayBaseZero(base_zero ? VARIANT_TRUE : VARIANT_FALSE), S_OK);
    return node;
}

long IdOf(_xMenu* node) {
    long id = -12345;
    EXPECT_EQ(node->get_ID(&id), S_OK);
    return id;
}

std::wstring CaptionOf(_xMenu* node) {
    Bstr caption;
    EXPECT_EQ(node->get_Caption(caption.Out()), S_OK);
    return caption.Str();
}

bool IsDesigned(_xMenu* node) {
    VARIANT_BOOL designed = 7;
    EXPECT_EQ(node->get_IsMenuDesigned(&designed), S_OK);
    EXPECT_TRUE(designed == VARIANT_TRUE || designed == VARIANT_FALSE);
    return designed == VARIANT_TRUE;
}

short ArrayIndexOf(_xMenu* node) {
    short index = -999;
    EXPECT_EQ(node->get_ArrayIndex(&index), S_OK);
    return index;
}

ComPtr<_xMenu> ArrayParentOf(_xMenu* node) {
    ComPtr<_xMenu> parent;
    EXPECT_EQ(node->get_ArrayParent(parent.Out()), S_OK);
    return parent;
}

ComPtr<ICommandBarControl> ControlOf(_xMenu* node) {
    ComPtr<ICommandBarControl> control;
    EXPECT_EQ(node->get_CmdBarControl(control.Out()), S_OK);
    return control;
}

ComPtr<ICommandBarPopup> PopupOf(_xMenu* node) {
    ComPtr<ICommandBarPopup> popup;
    EXPECT_EQ(node->get_CmdBarPopup(popup.Out()), S_OK);
    return popup;
}

bool Same(IUnknown* a, IUnknown* b) {
    if (!a || !b) return a == b;
    ComPtr<IUnknown> ua, ub;
    a->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(ua.Out()));
    b->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(ub.Out()));
    return ua == ub;
}

// --- the stand-in command bars ------------------------------------------------------

ComPtr<IDispatch> CreateHostObject(const wchar_t* prog_id) {
    CLSID clsid{};
    EXPECT_EQ(CLSIDFromProgID(prog_id, &clsid), S_OK) << "is xchost.dll registered?";
    ComPtr<IDispatch> object;
    EXPECT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                               reinterpret_cast<void**>(object.Out())),
              S_OK);
    return object;
}

HostBars::HostBars() : bars_(CreateHostObject(L"XCHost.CommandBars")) {}

ComPtr<ICommandBarsObject> HostBars::Object() const {
    ComPtr<ICommandBarsObject> object;
    EXPECT_EQ(bars_->QueryInterface(__uuidof(ICommandBarsObject), reinterpret_cast<void**>(object.Out())), S_OK);
    return object;
}

std::vector<std::wstring> HostBars::Log() const {
    LateResult r = Call(bars_.Get(), L"Log");
    EXPECT_TRUE(r.ok());
    std::vector<std::wstring> lines;
    std::wstringstream in(Str(r.value));
    for (std::wstring line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

void HostBars::ClearLog() { EXPECT_TRUE(Call(bars_.Get(), L"ClearLog").ok()); }

void HostBars::FailCall(const wchar_t* label, const wchar_t* call, long nth, long number, const wchar_t* description) {
    EXPECT_TRUE(Call(bars_.Get(), L"FailCall",
                     {Variant::String(label), Variant::String(call), Variant::Long(nth), Variant::Long(number),
                      Variant::String(description)})
                    .ok());
}

void HostBars::WrongKind(const wchar_t* label, const wchar_t* call, long nth) {
    EXPECT_TRUE(
        Call(bars_.Get(), L"WrongKind", {Variant::String(label), Variant::String(call), Variant::Long(nth)}).ok());
}

long HostBars::DestroyControl(long id) {
    LateResult r = Call(bars_.Get(), L"DestroyControl", {Variant::Long(id)});
    EXPECT_TRUE(r.ok());
    return Long(r.value);
}

Variant HostBars::ControlProp(const std::wstring& label, const wchar_t* property) const {
    LateResult r = Call(bars_.Get(), L"ControlProp", {Variant::String(label.c_str()), Variant::String(property)});
    EXPECT_TRUE(r.ok()) << "no control " << std::string(label.begin(), label.end());
    return r.value;
}

std::vector<std::wstring> AddByName(const std::wstring& bar, const std::wstring& args) {
    return {bar + L" name \"Controls\"", bar + L" get 2", bar + L".Controls name \"Add\"",
            bar + L".Controls call 2 (" + args + L")"};
}

std::vector<std::wstring> Lines(std::initializer_list<std::vector<std::wstring>> parts) {
    std::vector<std::wstring> all;
    for (auto& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
}

// --- fixture ------------------------------------------------------------------------------

bool MenuTest::Render(_xMenu* root) {
    ComPtr<ICommandBarsObject> bars = host.Object();
    ICommandBarsObject* raw = bars.Get();
    VARIANT_BOOL result = 7;
    EXPECT_EQ(root->RenderMenu(&raw, &result), S_OK);
    EXPECT_EQ(raw, bars.Get()) << "RenderMenu replaced its argument";
    EXPECT_TRUE(result == VARIANT_TRUE || result == VARIANT_FALSE);
    return result == VARIANT_TRUE;
}

}  // namespace zuv::test
