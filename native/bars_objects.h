// The COM objects of the native command bars: the creatable command-bars
// object and the bars, control collections, controls and key bindings it
// hands out.  Each answers IDispatch with the dispatch ids and member names
// the component calls, and the role identifiers the component casts to.
#pragma once

#include <windows.h>
#include <memory>

#include "bars_state.h"
#include "frame/events.h"
#include "zuvNativeBars.h"

namespace zuv::native {

class NativeCommandBars final
    : public EventSourceObject<NativeCommandBars, INativeCommandBars, INativeCommandBarsHandler> {
public:
    static const CLSID& ClassId() noexcept { return CLSID_NativeCommandBars; }
    static const IID& SourceIid() noexcept { return DIID__INativeCommandBarsEvents; }
    ConnectionPoint* const* Points(size_t& count) noexcept {
        count = 1;
        return points_;
    }
    void* QueryExtra(REFIID iid) noexcept;
    void FinalRelease() noexcept;

    // INativeCommandBars
    STDMETHODIMP get_ActiveMenuBar(IDispatch** bar) noexcept override;
    STDMETHODIMP Add(BSTR name, VARIANT position, IDispatch** bar) noexcept override;
    STDMETHODIMP get_KeyBindings(IDispatch** bindings) noexcept override;
    STDMETHODIMP Attach(LONG hwnd) noexcept override;
    STDMETHODIMP Detach() noexcept override;
    STDMETHODIMP get_hWnd(LONG* hwnd) noexcept override;
    STDMETHODIMP get_WindowListText(BSTR* text) noexcept override;
    STDMETHODIMP put_WindowListText(BSTR text) noexcept override;
    STDMETHODIMP get_BarsHeight(LONG* height) noexcept override;
    STDMETHODIMP get_Accelerators(LONG* table) noexcept override;

    // INativeCommandBarsHandler
    STDMETHODIMP SetExecuteHandler(void* handler, void* context) noexcept override;

    // Raises Execute (callback first, then the connection point).
    void Execute(long id) noexcept;
    State& state() noexcept { return *state_; }

    NativeCommandBars();
    ~NativeCommandBars() override;

private:
    void DetachWindow() noexcept;
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR self);
    LRESULT OnNotify(HWND hwnd, NMHDR* header, bool& handled) noexcept;

    std::shared_ptr<State> state_;
    ComPtr<IDispatch> key_bindings_;
    NativeExecuteHandler handler_ = nullptr;
    void* context_ = nullptr;
    ConnectionPoint events_;
    ConnectionPoint* points_[1];
};

}  // namespace zuv::native
