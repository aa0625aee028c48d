// The automation objects of the audit library: the audit a host creates,
// the findings collection it returns and each finding.
#include "audit_objects.h"

#include <utility>
#include <vector>

#include "frame/class_factory.h"
#include "frame/error.h"
#include "core/keyed_list.h"
#include "frame/dispatch.h"

namespace zuv::audit {
namespace {

constexpr const wchar_t* kSource = L"zuvXCHandler.Audit";

// A plain value handed to the caller.
template <class T>
HRESULT Value(T value, T* out) noexcept {
    if (!out) return E_POINTER;
    *out = value;
    return S_OK;
}

class FindingObject final : public AutomationObject<FindingObject, _xAuditFinding, ISupportErrorInfo> {
public:
    explicit FindingObject(Finding f) : f_(std::move(f)) {}

    STDMETHODIMP get_Message(BSTR* out) noexcept override { return Text(f_.message, out); }
    STDMETHODIMP get_Severity(xAuditSeverity* out) noexcept override {
        return Value(static_cast<xAuditSeverity>(f_.severity), out);
    }
    STDMETHODIMP get_Code(BSTR* out) noexcept override { return Text(f_.code, out); }
    STDMETHODIMP get_Path(BSTR* out) noexcept override { return Text(f_.path, out); }
    STDMETHODIMP get_Node(IDispatch** out) noexcept override { return Object(f_.node, out); }
    STDMETHODIMP get_OtherPath(BSTR* out) noexcept override { return Text(f_.other_path, out); }
    STDMETHODIMP get_OtherNode(IDispatch** out) noexcept override { return Object(f_.other, out); }
    STDMETHODIMP InterfaceSupportsErrorInfo(REFIID iid) noexcept override {
        return iid == IID__xAuditFinding ? S_OK : S_FALSE;
    }

private:
    static HRESULT Text(const std::wstring& text, BSTR* out) noexcept {
        if (!out) return E_POINTER;
        *out = SysAllocStringLen(text.c_str(), static_cast<UINT>(text.size()));
        return *out ? S_OK : E_OUTOFMEMORY;
    }
    static HRESULT Object(const ComPtr<IDispatch>& object, IDispatch** out) noexcept {
        if (!out) return E_POINTER;
        object.CopyTo(out);
        return S_OK;
    }

    Finding f_;
};

class FindingsObject final : public AutomationObject<FindingsObject, _xAuditFindings, ISupportErrorInfo> {
public:
    FindingsObject(std::vector<ComPtr<_xAuditFinding>> items, long errors)
        : items_(std::move(items)), errors_(errors) {}

    STDMETHODIMP get_Item(long index, _xAuditFinding** out) noexcept override {
        if (out) *out = nullptr;
        return Boundary(IID__xAuditFindings, kSource, [&] {
            if (!out) RaiseError(kErrInvalidCall);
            if (index < 1 || index > static_cast<long>(items_.size()))
                RaiseError(kErrSubscript, L"Subscript out of range: findings are numbered from 1 to Count");
            items_[static_cast<size_t>(index - 1)].CopyTo(out);
        });
    }
    STDMETHODIMP get_Count(long* out) noexcept override { return Value(static_cast<long>(items_.size()), out); }
    STDMETHODIMP get_ErrorCount(long* out) noexcept override { return Value(errors_, out); }
    STDMETHODIMP get__NewEnum(IUnknown** out) noexcept override {
        if (out) *out = nullptr;
        return Boundary(IID__xAuditFindings, kSource, [&] {
            if (!out) RaiseError(kErrInvalidCall);
            std::vector<Variant> items;
            items.reserve(items_.size());
            for (auto& f : items_) items.push_back(Variant::Object(f.Get()));
            Check(NewVariantEnum(std::move(items), out));
        });
    }
    STDMETHODIMP InterfaceSupportsErrorInfo(REFIID iid) noexcept override {
        return iid == IID__xAuditFindings ? S_OK : S_FALSE;
    }

private:
    std::vector<ComPtr<_xAuditFinding>> items_;
    long errors_;
};

// A node given to AddMenu / AddToolBar: any variant may arrive from a
// late-bound caller; only a node of the asked family is taken.
template <class Node>
ComPtr<Node> NodeFrom(const VARIANT& given, const wchar_t* method) {
    constexpr bool menu = std::is_same_v<Node, _xMenu>;
    const std::wstring family = menu ? L"an xMenu root" : L"an xToolBar root";
    Variant v;
    if (FAILED(VariantCopyInd(v.Get(), const_cast<VARIANT*>(&given))))
        RaiseError(kErrTypeMismatch, std::wstring(method) + L" needs " + family + L"; the argument cannot be read");
    IUnknown* object = nullptr;
    if (v.Type() == VT_DISPATCH) object = v.Get()->pdispVal;
    else if (v.Type() == VT_UNKNOWN) object = v.Get()->punkVal;
    else if (v.Type() == VT_EMPTY || v.Type() == VT_NULL || (v.Type() == VT_ERROR && v.Get()->scode == DISP_E_PARAMNOTFOUND))
        RaiseError(kErrInvalidCall, std::wstring(method) + L" needs " + family + L"; no node was given");
    else
        RaiseError(kErrTypeMismatch, std::wstring(method) + L" needs " + family + L"; a value that is not an object was given");
    if (!object) RaiseError(kErrObjectNotSet, std::wstring(method) + L" needs " + family + L"; Nothing was given");
    ComPtr<Node> node;
    object->QueryInterface(__uuidof(Node), reinterpret_cast<void**>(node.Out()));
    if (node) return node;
    ComPtr<IUnknown> other;
    object->QueryInterface(menu ? IID__xToolBar : IID__xMenu, reinterpret_cast<void**>(other.Out()));
    if (other)
        RaiseError(kErrTypeMismatch, std::wstring(method) + L" needs " + family + L"; an " +
                                         (menu ? L"xToolBar node was given: use AddToolBar"
                                               : L"xMenu node was given: use AddMenu"));
    RaiseError(kErrTypeMismatch, std::wstring(method) + L" needs " + family + L"; the object given is not one");
}

class AuditObject final : public AutomationObject<AuditObject, _xAudit, ISupportErrorInfo> {
public:
    STDMETHODIMP AddMenu(VARIANT root) noexcept override {
        return Boundary(IID__xAudit, kSource, [&] { AddRoot(Root{NodeFrom<_xMenu>(root, L"AddMenu"), nullptr}); });
    }
    STDMETHODIMP AddToolBar(VARIANT root) noexcept override {
        return Boundary(IID__xAudit, kSource,
                        [&] { AddRoot(Root{nullptr, NodeFrom<_xToolBar>(root, L"AddToolBar")}); });
    }
    STDMETHODIMP Clear() noexcept override {
        return Boundary(IID__xAudit, kSource, [&] {
            // Swapped out first: a node released here may call back into the audit.
            std::vector<Root> gone;
            gone.swap(roots_);
            ComPtr<_xAuditFindings> old = std::move(findings_);
            report_.clear();
        });
    }
    STDMETHODIMP Run(_xAuditFindings** out) noexcept override {
        if (out) *out = nullptr;
        return Boundary(IID__xAudit, kSource, [&] {
            if (!out) RaiseError(kErrInvalidCall);
            RunAudit();
            findings_.CopyTo(out);
        });
    }
    STDMETHODIMP get_Findings(_xAuditFindings** out) noexcept override {
        if (out) *out = nullptr;
        return Boundary(IID__xAudit, kSource, [&] {
            if (!out) RaiseError(kErrInvalidCall);
            if (!findings_) RunAudit();
            findings_.CopyTo(out);
        });
    }
    STDMETHODIMP get_Report(BSTR* out) noexcept override {
        if (out) *out = nullptr;
        return Boundary(IID__xAudit, kSource, [&] {
            if (!out) RaiseError(kErrInvalidCall);
            if (!findings_) RunAudit();
            Check(Bstr(report_).CopyTo(out));
        });
    }
    STDMETHODIMP get_RootCount(long* out) noexcept override { return Value(static_cast<long>(roots_.size()), out); }
    STDMETHODIMP get_MaxDepth(long* out) noexcept override { return Value(static_cast<long>(kMaxDepth), out); }
    STDMETHODIMP InterfaceSupportsErrorInfo(REFIID iid) noexcept override {
        return iid == IID__xAudit ? S_OK : S_FALSE;
    }

private:
    void AddRoot(Root root) {
        IUnknown* given = root.menu ? static_cast<IUnknown*>(root.menu.Get()) : root.toolbar.Get();
        ComPtr<IUnknown> identity;
        given->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(identity.Out()));
        for (const Root& r : roots_) {
            IUnknown* held = r.menu ? static_cast<IUnknown*>(r.menu.Get()) : r.toolbar.Get();
            ComPtr<IUnknown> other;
            held->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(other.Out()));
            if (other == identity) return;  // the same root twice is audited once
        }
        roots_.push_back(std::move(root));
        findings_ = nullptr;
    }

    void RunAudit() {
        // A host's node may call back into this audit while it is read: the
        // roots are a copy, and a second Run from inside the first is refused
        // rather than recursing without end.
        if (running_) RaiseError(kErrInvalidCall, L"The audit is already running: Run was called from a node it reads");
        running_ = true;
        struct Done {
            bool& flag;
            ~Done() { flag = false; }
        } done{running_};
        const std::vector<Root> roots = roots_;
        Result result = audit::Run(roots);
        std::vector<ComPtr<_xAuditFinding>> items;
        long errors = 0;
        items.reserve(result.findings.size());
        for (Finding& f : result.findings) {
            if (f.severity == Severity::kError) ++errors;
            items.push_back(ComPtr<_xAuditFinding>::Adopt(MakeObject<FindingObject>(f)));
        }
        std::wstring report = audit::Report(result);
        findings_ = ComPtr<_xAuditFindings>::Adopt(MakeObject<FindingsObject>(std::move(items), errors));
        report_ = std::move(report);
    }

    std::vector<Root> roots_;
    ComPtr<_xAuditFindings> findings_;
    std::wstring report_;
    bool running_ = false;
};

}  // namespace

HRESULT CreateAudit(REFIID iid, void** out) noexcept { return CreateInstance<AuditObject>(iid, out); }

}  // namespace zuv::audit
