// A host's event sink: connects to an object's connection point and records
// every event as text ("Click", "ArrayClick(2)", "CustomError(2, Object Not
// Created)", "SystemError(9, Subscript out of range)", "ButtonClick(obj)").
#pragma once

#include <windows.h>
#include <ocidl.h>
#include <functional>
#include <string>
#include <vector>

#include "core/wrappers.h"

namespace zuv::test {

// The sink object the source calls.  Use it through EventRecorder.
class EventSink final : public IDispatch {
public:
    explicit EventSink(REFIID events) : iid_(events) {}

    // The recorded events, oldest first.
    const std::vector<std::wstring>& Events() const { return events_; }
    std::wstring Joined() const;   // "Click; ArrayClick(2)"
    void Clear() { events_.clear(); objects_.clear(); }
    // The object arguments of the recorded events (Nothing as null), in order.
    const std::vector<ComPtr<IDispatch>>& Objects() const { return objects_; }
    // Called after each event is recorded, with its dispatch id: for
    // re-entrant hosts that change the tree from inside a handler.
    std::function<void(DISPID)> on_event;

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override { return ++refs_; }
    STDMETHODIMP_(ULONG) Release() override;
    STDMETHODIMP GetTypeInfoCount(UINT* n) override { *n = 0; return S_OK; }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*, UINT*) override;

private:
    ~EventSink() = default;
    ULONG refs_ = 1;
    IID iid_;
    std::vector<std::wstring> events_;
    std::vector<ComPtr<IDispatch>> objects_;
};

// A connection of a recording sink to an object's events, undone when the
// recorder ends (or earlier, by Disconnect: the connection point holds a
// reference to the source object).
class EventRecorder {
public:
    EventRecorder(IUnknown* source, REFIID events);
    ~EventRecorder() { Disconnect(); }
    EventRecorder(const EventRecorder&) = delete;
    EventRecorder& operator=(const EventRecorder&) = delete;

    void Disconnect();
    bool Connected() const { return cookie_ != 0; }
    const std::vector<std::wstring>& Events() const { return sink_->Events(); }
    std::wstring Joined() const { return sink_->Joined(); }
    const std::vector<ComPtr<IDispatch>>& Objects() const { return sink_->Objects(); }
    void Clear() { sink_->Clear(); }
    void OnEvent(std::function<void(DISPID)> handler) { sink_->on_event = std::move(handler); }
    IDispatch* Sink() const { return sink_.Get(); }

private:
    ComPtr<EventSink> sink_;
    ComPtr<IConnectionPoint> point_;
    DWORD cookie_ = 0;
};

}  // namespace zuv::test
