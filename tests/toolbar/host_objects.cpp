#include "host_objects.h"

#include <gtest/gtest.h>

#include "support/com_test.h"

namespace zuv::test {
namespace {

int g_foreign_alive = 0;

class ForeignNode final : public Fake<_xToolBar> {
public:
    ForeignNode() : inner_(NewToolBar()) { ++g_foreign_alive; }
    ~ForeignNode() override { --g_foreign_alive; }

    STDMETHODIMP get_Buttons(_xToolBarCollection **rhs) override { return inner_->get_Buttons(rhs); }
    STDMETHODIMP ReservedButtons() override { return E_NOTIMPL; }
    STDMETHODIMP putref_Buttons(_xToolBarCollection *rhs) override { return inner_->putref_Buttons(rhs); }
    STDMETHODIMP putref_Parent(_xToolBar *rhs) override { return inner_->putref_Parent(rhs); }
    STDMETHODIMP get_Parent(_xToolBar **rhs) override { return inner_->get_Parent(rhs); }
    STDMETHODIMP get_ButtonMenus(_xToolBarCollection **rhs) override { return inner_->get_ButtonMenus(rhs); }
    STDMETHODIMP put_Value(xToolBarValue rhs) override { return inner_->put_Value(rhs); }
    STDMETHODIMP get_Value(xToolBarValue *rhs) override { return inner_->get_Value(rhs); }
    STDMETHODIMP put_StartID(LONG rhs) override { return inner_->put_StartID(rhs); }
    STDMETHODIMP get_StartID(LONG *rhs) override { return inner_->get_StartID(rhs); }
    STDMETHODIMP put_Left(LONG rhs) override { return inner_->put_Left(rhs); }
    STDMETHODIMP get_Left(LONG *rhs) override { return inner_->get_Left(rhs); }
    STDMETHODIMP put_Top(LONG rhs) override { return inner_->put_Top(rhs); }
    STDMETHODIMP get_Top(LONG *rhs) override { return inner_->get_Top(rhs); }
    STDMETHODIMP put_Width(LONG rhs) override { return inner_->put_Width(rhs); }
    STDMETHODIMP get_Width(LONG *rhs) override { return inner_->get_Width(rhs); }
    STDMETHODIMP put_Height(LONG rhs) override { return inner_->put_Height(rhs); }
    STDMETHODIMP get_Height(LONG *rhs) override { return inner_->get_Height(rhs); }
    STDMETHODIMP put_Caption(BSTR rhs) override { return inner_->put_Caption(rhs); }
    STDMETHODIMP get_Caption(BSTR *rhs) override { return inner_->get_Caption(rhs); }
    STDMETHODIMP put_Text(BSTR rhs) override { return inner_->put_Text(rhs); }
    STDMETHODIMP get_Text(BSTR *rhs) override { return inner_->get_Text(rhs); }
    STDMETHODIMP put_TooltipText(BSTR rhs) override { return inner_->put_TooltipText(rhs); }
    STDMETHODIMP get_TooltipText(BSTR *rhs) override { return inner_->get_TooltipText(rhs); }
    STDMETHODIMP put_Key(BSTR rhs) override { return inner_->put_Key(rhs); }
    STDMETHODIMP get_Key(BSTR *rhs) override { return inner_->get_Key(rhs); }
    STDMETHODIMP put_Tag(BSTR rhs) override { return inner_->put_Tag(rhs); }
    STDMETHODIMP get_Tag(BSTR *rhs) override { return inner_->get_Tag(rhs); }
    STDMETHODIMP put_ID(LONG rhs) override { return inner_->put_ID(rhs); }
    STDMETHODIMP get_ID(LONG *rhs) override { return inner_->get_ID(rhs); }
    STDMETHODIMP put_ToolBarID(LONG rhs) override { return inner_->put_ToolBarID(rhs); }
    STDMETHODIMP get_ToolBarID(LONG *rhs) override { return inner_->get_ToolBarID(rhs); }
    STDMETHODIMP put_Checked(VARIANT_BOOL rhs) override { return inner_->put_Checked(rhs); }
    STDMETHODIMP get_Checked(VARIANT_BOOL *rhs) override { return inner_->get_Checked(rhs); }
    STDMETHODIMP put_Enabled(VARIANT_BOOL rhs) override { return inner_->put_Enabled(rhs); }
    STDMETHODIMP get_Enabled(VARIANT_BOOL *rhs) override { return inner_->get_Enabled(rhs); }
    STDMETHODIMP put_Visible(VARIANT_BOOL rhs) override { return inner_->put_Visible(rhs); }
    STDMETHODIMP get_Visible(VARIANT_BOOL *rhs) override { return inner_->get_Visible(rhs); }
    STDMETHODIMP put_ToolBarSeperator(VARIANT_BOOL rhs) override { return inner_->put_ToolBarSeperator(rhs); }
    STDMETHODIMP get_ToolBarSeperator(VARIANT_BOOL *rhs) override { return inner_->get_ToolBarSeperator(rhs); }
    STDMETHODIMP get_IsToolBarDesigned(VARIANT_BOOL *rhs) override { return inner_->get_IsToolBarDesigned(rhs); }
    STDMETHODIMP RenderToolBar(ICommandBarsObject **CmdBars, VARIANT_BOOL *result) override { return inner_->RenderToolBar(CmdBars, result); }
    STDMETHODIMP GetToolBar(LONG ID, _xToolBar **result) override { return inner_->GetToolBar(ID, result); }
    STDMETHODIMP GetToolBarFromSubToolBar(_xToolBar **objToolbar, LONG ID, _xToolBar **result) override { return inner_->GetToolBarFromSubToolBar(objToolbar, ID, result); }
    STDMETHODIMP RaiseClickEvent(_xToolBar *objIco, VARIANT *result) override { return inner_->RaiseClickEvent(objIco, result); }
    STDMETHODIMP putref_CmdBarButton(ICommandBarButton *rhs) override { return inner_->putref_CmdBarButton(rhs); }
    STDMETHODIMP get_CmdBarButton(ICommandBarButton **rhs) override { return inner_->get_CmdBarButton(rhs); }
    STDMETHODIMP putref_CmdBarPopup(ICommandBarPopup *rhs) override { return inner_->putref_CmdBarPopup(rhs); }
    STDMETHODIMP get_CmdBarPopup(ICommandBarPopup **rhs) override { return inner_->get_CmdBarPopup(rhs); }

private:
    ComPtr<_xToolBar> inner_;
};

}  // namespace

ComPtr<_xToolBar> NewForeignNode() { return ComPtr<_xToolBar>::Adopt(new ForeignNode()); }
int ForeignNodesAlive() { return g_foreign_alive; }

STDMETHODIMP ForeignCollection::get_Item(VARIANT index, _xToolBar** result) {
    *result = nullptr;
    long n = Long(Variant(index));
    SetErrorInfo(0, nullptr);
    if (n == fail_item_at) return item_failure;
    if (n < 1 || n > static_cast<long>(items.size())) return MAKE_HRESULT(1, FACILITY_CONTROL, 9);
    items[static_cast<size_t>(n - 1)].CopyTo(result);
    return S_OK;
}

STDMETHODIMP ForeignCollection::get_Count(LONG* count) {
    *count = count_override >= 0 ? count_override : static_cast<LONG>(items.size());
    return S_OK;
}

HostBars::HostBars() {
    CLSID clsid{};
    EXPECT_EQ(CLSIDFromProgID(L"XCHost.CommandBars", &clsid), S_OK);
    EXPECT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, reinterpret_cast<void**>(bars_.Out())),
              S_OK);
}

std::vector<std::wstring> HostBars::Log() const {
    std::wstring all = Str(Call(bars_.Get(), L"Log").value);
    std::vector<std::wstring> lines;
    for (size_t start = 0, end; start < all.size(); start = end + 1) {
        end = all.find(L'\n', start);
        if (end == std::wstring::npos) end = all.size();
        lines.push_back(all.substr(start, end - start));
    }
    return lines;
}

void HostBars::FailCall(const wchar_t* label, const wchar_t* call, long nth, long number,
                        const wchar_t* description) const {
    EXPECT_TRUE(Call(bars_.Get(), L"FailCall",
                     {Variant::String(label), Variant::String(call), Variant::Long(nth), Variant::Long(number),
                      Variant::String(description)})
                    .ok());
}

}  // namespace zuv::test
