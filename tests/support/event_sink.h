// A host's event sink: connects to an object's connection point and records
// every event as text ("Click", "ArrayClick(2)", "CustomError(2, Object Not
// Created)", "SystemError(9, Subscript out of range)", "ButtonClick(obj)").
#pragma once

#include <windows.h>
#include <ocidl.h>
#include <functional>
#include <string>
#include <vector>

#include "frame/wrappers.h"

namespace zuv::test {

// The sink object the source calls; answers IDispatch and `events` only.
class EventSink final : public IDispatch {
public:
    explicit EventSink(REFIID events) : iid_(events) {}

    std::vector<std::wstring> events;             // oldest first
    std::vector<ComPtr<IDispatch>> objects;       // object arguments (Nothing as null), in order
    std::function<void(DISPID)> on_event;         // after each event: for re-entrant hosts

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
    const std::vector<std::wstring>& Events() const { return sink_->events; }
    std::wstring Joined() const;   // "Click; ArrayClick(2)"
    const std::vector<ComPtr<IDispatch>>& Objects() const { return sink_->objects; }
    void Clear() { sink_->events.clear(), sink_->objects.clear(); }
    void OnEvent(std::function<void(DISPID)> handler) { sink_->on_event = std::move(handler); }

private:
    ComPtr<EventSink> sink_;
    ComPtr<IConnectionPoint> point_;
    DWORD cookie_ = 0;
};

}  // namespace zuv::test
