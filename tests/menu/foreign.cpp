#include "foreign.h"

#include "support/com_test.h"

namespace zuv::test {

std::function<void()> g_on_foreign_read;

#define ZUV_FORWARD(name, params, args) \
    STDMETHODIMP name params override { return inner_->name args; }

class ForeignMenu final : public Fake<_xMenu> {
public:
    ForeignMenu() : inner_(NewMenu()) {}

    STDMETHODIMP get_ID(LONG* v) override {
        if (g_on_foreign_read) g_on_foreign_read();
        return inner_->get_ID(v);
    }
    STDMETHODIMP get_Key(BSTR* v) override {
        if (g_on_foreign_read) g_on_foreign_read();
        return inner_->get_Key(v);
    }
    ZUV_FORWARD(get_SubMenus, (_xMenuCollection** v), (v))
    STDMETHODIMP ReservedSubMenus() override { return E_NOTIMPL; }
    ZUV_FORWARD(putref_SubMenus, (_xMenuCollection* v), (v))
    ZUV_FORWARD(get_ArrayMenu, (_xMenuCollection** v), (v))
    STDMETHODIMP ReservedArrayMenu() override { return E_NOTIMPL; }
    ZUV_FORWARD(putref_ArrayMenu, (_xMenuCollection* v), (v))
    ZUV_FORWARD(put_Caption, (BSTR v), (v))
    ZUV_FORWARD(get_Caption, (BSTR* v), (v))
    ZUV_FORWARD(put_Key, (BSTR v), (v))
    ZUV_FORWARD(put_Tag, (BSTR v), (v))
    ZUV_FORWARD(get_Tag, (BSTR* v), (v))
    ZUV_FORWARD(put_ID, (LONG v), (v))
    ZUV_FORWARD(get_Count, (short* v), (v))
    ZUV_FORWARD(put_Checked, (VARIANT_BOOL v), (v))
    ZUV_FORWARD(get_Checked, (VARIANT_BOOL* v), (v))
    ZUV_FORWARD(put_Enabled, (VARIANT_BOOL v), (v))
    ZUV_FORWARD(get_Enabled, (VARIANT_BOOL* v), (v))
    ZUV_FORWARD(put_Visible, (VARIANT_BOOL v), (v))
    ZUV_FORWARD(get_Visible, (VARIANT_BOOL* v), (v))
    ZUV_FORWARD(put_WindowsList, (VARIANT_BOOL v), (v))
    ZUV_FORWARD(get_WindowsList, (VARIANT_BOOL* v), (v))
    ZUV_FORWARD(put_MaxButton, (VARIANT_BOOL v), (v))
    ZUV_FORWARD(get_MaxButton, (VARIANT_BOOL* v), (v))
    ZUV_FORWARD(put_MinButton, (VARIANT_BOOL v), (v))
    ZUV_FORWARD(get_MinButton, (VARIANT_BOOL* v), (v))
    ZUV_FORWARD(put_ControlBox, (VARIANT_BOOL v), (v))
    ZUV_FORWARD(get_ControlBox, (VARIANT_BOOL* v), (v))
    ZUV_FORWARD(put_MenuSeperator, (VARIANT_BOOL v), (v))
    ZUV_FORWARD(get_MenuSeperator, (VARIANT_BOOL* v), (v))
    ZUV_FORWARD(put_ShortCutFirstKey, (xMenuShortCutFirstKeys v), (v))
    ZUV_FORWARD(get_ShortCutFirstKey, (xMenuShortCutFirstKeys* v), (v))
    ZUV_FORWARD(put_ShortCutSecondKey, (xMenuShortCutSecondKeys v), (v))
    ZUV_FORWARD(get_ShortCutSecondKey, (xMenuShortCutSecondKeys* v), (v))
    ZUV_FORWARD(put_IsArray, (VARIANT_BOOL v), (v))
    ZUV_FORWARD(get_IsArray, (VARIANT_BOOL* v), (v))
    ZUV_FORWARD(putref_ArrayParent, (_xMenu* v), (v))
    ZUV_FORWARD(get_ArrayParent, (_xMenu** v), (v))
    ZUV_FORWARD(put_IsArrayChild, (VARIANT_BOOL v), (v))
    ZUV_FORWARD(get_IsArrayChild, (VARIANT_BOOL* v), (v))
    ZUV_FORWARD(put_ArrayIndex, (short v), (v))
    ZUV_FORWARD(get_ArrayIndex, (short* v), (v))
    ZUV_FORWARD(put_StartID, (LONG v), (v))
    ZUV_FORWARD(get_StartID, (LONG* v), (v))
    ZUV_FORWARD(put_ArrayCount, (short v), (v))
    ZUV_FORWARD(get_ArrayCount, (short* v), (v))
    ZUV_FORWARD(put_IsArrayBaseZero, (VARIANT_BOOL v), (v))
    ZUV_FORWARD(get_IsArrayBaseZero, (VARIANT_BOOL* v), (v))
    ZUV_FORWARD(get_IsMenuDesigned, (VARIANT_BOOL* v), (v))
    ZUV_FORWARD(putref_CmdBarControl, (ICommandBarControl* v), (v))
    ZUV_FORWARD(get_CmdBarControl, (ICommandBarControl** v), (v))
    ZUV_FORWARD(putref_CmdBarPopup, (ICommandBarPopup* v), (v))
    ZUV_FORWARD(get_CmdBarPopup, (ICommandBarPopup** v), (v))
    ZUV_FORWARD(RenderMenu, (ICommandBarsObject** c, VARIANT_BOOL* r), (c, r))
    ZUV_FORWARD(GetMenu, (LONG id, _xMenu** r), (id, r))
    ZUV_FORWARD(GetMenuFromSubMenu, (_xMenu** m, LONG id, _xMenu** r), (m, id, r))
    ZUV_FORWARD(RaiseClickEvent, (short i, VARIANT* r), (i, r))
    ZUV_FORWARD(GetMenuList, (_Collection** l, VARIANT_BOOL* r), (l, r))

private:
    ComPtr<_xMenu> inner_;
};
#undef ZUV_FORWARD

ComPtr<_xMenu> NewForeignMenu() { return ComPtr<_xMenu>::Adopt(new ForeignMenu()); }

STDMETHODIMP ForeignCollection::Add(_xMenu** node, BSTR* key, _xMenu** result) {
    if (key && SysStringLen(*key)) return E_NOTIMPL;
    items.push_back(ComPtr<_xMenu>(*node));
    ComPtr<_xMenu>(*node).CopyTo(result);
    return S_OK;
}

STDMETHODIMP ForeignCollection::get_Item(VARIANT index, _xMenu** result) {
    *result = nullptr;
    VARIANT n;
    VariantInit(&n);
    if (FAILED(VariantChangeType(&n, &index, 0, VT_I4))) return DISP_E_TYPEMISMATCH;
    if (n.lVal == fail_item_at) return item_failure;
    if (n.lVal < 1 || n.lVal > static_cast<long>(items.size())) return MAKE_HRESULT(1, FACILITY_CONTROL, 9);
    items[static_cast<size_t>(n.lVal - 1)].CopyTo(result);
    return S_OK;
}

STDMETHODIMP ForeignCollection::get_Count(LONG* count) {
    *count = static_cast<LONG>(items.size());
    return S_OK;
}

ComPtr<ForeignCollection> NewForeignCollection() {
    return ComPtr<ForeignCollection>::Adopt(new ForeignCollection());
}

STDMETHODIMP CountingList::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
    if (count != 1 || lstrcmpiW(names[0], L"Add") != 0) return DISP_E_UNKNOWNNAME;
    ids[0] = 1;
    return S_OK;
}

STDMETHODIMP CountingList::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT*, EXCEPINFO*,
                                  UINT*) {
    if (id != 1 || !(flags & DISPATCH_METHOD) || params->cArgs < 1) return DISP_E_MEMBERNOTFOUND;
    ++added;
    return S_OK;
}

ComPtr<CountingList> NewCountingList() { return ComPtr<CountingList>::Adopt(new CountingList()); }

}  // namespace zuv::test
