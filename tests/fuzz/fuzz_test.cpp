// A late-bound fuzzer driven by the component's own type library: every
// member of every interface is called through IDispatch::Invoke in random
// sequences, over trees built and rebuilt at random (cycles, empty entries,
// deep chains, rendered and not, hosts failing at random), with every kind
// of argument a script can send and objects of every wrong kind.
//
// After every call the process is alive, the call came back within the
// budget, and a failure is a proper HRESULT (with EXCEPINFO for a run-time
// error).  At the end, with the cycles broken and everything released, the
// component may unload.
//
//   zuv_fuzz_tests.exe [--calls N] [--seed S]     (default: 10000 calls, seed 7)
#include <windows.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <deque>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "support/nodes.h"

namespace zuv::test {
namespace {

// A number given on the command line after `name` (gtest leaves such
// arguments alone), or `fallback`.
long long Option(const char* name, long long fallback) {
    long long value = fallback;
    for (int i = 1; i + 1 < __argc; ++i)
        if (!strcmp(__argv[i], name)) value = _atoi64(__argv[i + 1]);
    return value;
}

struct Member {
    IID iid;
    DISPID id;
    WORD kind;
    UINT params;
};

// Every member of the four dual interfaces, read from the embedded library.
std::vector<Member> Members(std::wstring& path) {
    std::vector<Member> members;
    wchar_t file[MAX_PATH];
    GetModuleFileNameW(GetModuleHandleW(L"zuvXCHandler.dll"), file, MAX_PATH);
    path = file;
    ComPtr<ITypeLib> lib;
    EXPECT_EQ(LoadTypeLibEx(file, REGKIND_NONE, lib.Out()), S_OK);
    if (!lib) return members;
    for (const IID* iid : {&IID__xMenu, &IID__xMenuCollection, &IID__xToolBar, &IID__xToolBarCollection}) {
        ComPtr<ITypeInfo> info;
        EXPECT_EQ(lib->GetTypeInfoOfGuid(*iid, info.Out()), S_OK);
        TYPEATTR* attr = nullptr;
        info->GetTypeAttr(&attr);
        for (UINT i = 0; i < attr->cFuncs; ++i) {
            FUNCDESC* fd = nullptr;
            if (FAILED(info->GetFuncDesc(i, &fd))) continue;
            if (fd->memid < 0x60000000 || fd->memid >= 0x60030000)   // not IDispatch's own
                members.push_back({*iid, fd->memid, static_cast<WORD>(fd->invkind), static_cast<UINT>(fd->cParams)});
            info->ReleaseFuncDesc(fd);
        }
        info->ReleaseTypeAttr(attr);
    }
    return members;
}

// What an object is, for the trace.
std::wstring Describe(IDispatch* object) {
    if (!object) return L"Nothing";
    const struct {
        const IID* iid;
        const wchar_t* name;
    } kinds[] = {{&IID__xMenu, L"menu"}, {&IID__xToolBar, L"toolbar"}, {&IID__xMenuCollection, L"menus"},
                 {&IID__xToolBarCollection, L"buttons"}};
    for (const auto& k : kinds) {
        ComPtr<IUnknown> probe;
        if (SUCCEEDED(object->QueryInterface(*k.iid, reinterpret_cast<void**>(probe.Out())))) return k.name;
    }
    try {
        return L"host:" + xchost::Label(object);
    } catch (const xchost::CallError&) {
        return L"other";
    }
}

// A variant built here, as an owning wrapper.
Variant Own(VARIANT v) {
    Variant owned(v);
    VariantClear(&v);
    return owned;
}

class Fuzzer {
public:
    explicit Fuzzer(unsigned seed) : rng_(seed) {}

    std::vector<Member> members;
    long calls = 0, failures = 0, exceptions = 0;
    bool trace = false;   // each call on stderr before it is made
    double slowest = 0;

    bool Step(long step);
    void Rebuild();
    void Release();

private:
    size_t Pick(size_t n) { return n ? std::uniform_int_distribution<size_t>(0, n - 1)(rng_) : 0; }
    bool Chance(int percent) { return static_cast<int>(Pick(100)) < percent; }
    ComPtr<IDispatch> AnyObject() { return objects_.empty() ? nullptr : objects_[Pick(objects_.size())]; }
    void Keep(IDispatch* object);
    Variant Argument(std::deque<Variant>& storage);
    template <class Node>
    void BuildTree();

    std::mt19937 rng_;
    std::vector<ComPtr<IDispatch>> objects_;        // targets and arguments
    std::vector<ComPtr<IDispatch>> hosts_;          // stand-in command bars
    std::set<IUnknown*> seen_;                      // identities in nodes_ / collections_
    std::vector<ComPtr<_xMenu>> menus_;             // every node met, to break cycles at the end
    std::vector<ComPtr<_xToolBar>> toolbars_;
    std::vector<ComPtr<IDispatch>> collections_;
    std::set<IDispatch*> dictionaries_;             // held in objects_ too
    DISPID list_member_ = DISPID_UNKNOWN;           // GetMenuList
};

void Fuzzer::Keep(IDispatch* object) {
    if (!object) return;
    if (objects_.size() < 48) objects_.emplace_back(object);
    else objects_[Pick(objects_.size())] = object;
    ComPtr<IUnknown> identity;
    object->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(identity.Out()));
    if (!identity || seen_.count(identity.Get())) return;
    ComPtr<_xMenu> menu;
    ComPtr<_xToolBar> toolbar;
    ComPtr<IDispatch> collection;
    if (SUCCEEDED(object->QueryInterface(IID__xMenu, reinterpret_cast<void**>(menu.Out())))) menus_.push_back(menu);
    else if (SUCCEEDED(object->QueryInterface(IID__xToolBar, reinterpret_cast<void**>(toolbar.Out()))))
        toolbars_.push_back(toolbar);
    else if (SUCCEEDED(object->QueryInterface(IID__xMenuCollection, reinterpret_cast<void**>(collection.Out()))) ||
             SUCCEEDED(object->QueryInterface(IID__xToolBarCollection, reinterpret_cast<void**>(collection.Out()))))
        collections_.push_back(collection);
    else return;
    seen_.insert(identity.Get());
}

// One argument of any kind a script (or a careless host) can send.
// By-reference arguments point into `storage`, which outlives the call.
Variant Fuzzer::Argument(std::deque<Variant>& storage) {
    static const long longs[] = {0, 1, -1, 2, 32767, 32768, -32768, -32769, 35000, 2147483647, -2147483647 - 1};
    VARIANT v;
    VariantInit(&v);
    switch (Pick(20)) {
        case 0: break;                                               // Empty
        case 1: v.vt = VT_NULL; break;
        case 2: v.vt = VT_DISPATCH; v.pdispVal = nullptr; break;     // Nothing
        case 3: v.vt = VT_I2; v.iVal = static_cast<SHORT>(longs[Pick(7)]); break;
        case 4: case 5: v.vt = VT_I4; v.lVal = longs[Pick(11)]; break;
        case 6: v.vt = VT_R8; v.dblVal = std::vector<double>{0.5, -1e300, 1e300, NAN, 3.0}[Pick(5)]; break;
        case 7: v.vt = VT_BOOL; v.boolVal = static_cast<VARIANT_BOOL>(std::vector<int>{-1, 0, 1, 5}[Pick(4)]); break;
        case 8: {
            std::wstring text = std::vector<std::wstring>{L"", L"x", L"File", L"a\0b", L"-"}[Pick(5)];
            if (Chance(10)) text.assign(100000, L'w');
            return Variant::String(Bstr(text).Get());
        }
        case 9: v.vt = VT_BSTR; v.bstrVal = nullptr; break;
        case 10: v.vt = VT_ERROR; v.scode = Chance(70) ? DISP_E_PARAMNOTFOUND : E_FAIL; break;
        case 11: v.vt = VT_DATE; v.date = 45000.25; break;
        case 12: v.vt = VT_CY; v.cyVal.int64 = 123456789; break;
        case 13: v.vt = VT_I8; v.llVal = 1LL << 40; break;
        case 14: {
            SAFEARRAY* array = SafeArrayCreateVector(VT_VARIANT, 0, 2);
            v.vt = VT_ARRAY | VT_VARIANT;
            v.parray = array;
            break;
        }
        case 15: {   // a variable passed by reference
            storage.push_back(Argument(storage));
            v.vt = VT_BYREF | VT_VARIANT;
            v.pvarVal = storage.back().Get();
            return Own(v);
        }
        case 16: {
            storage.push_back(Variant::Long(longs[Pick(11)]));
            v.vt = VT_BYREF | VT_I4;
            v.plVal = &storage.back().Get()->lVal;
            return Own(v);
        }
        default: return Variant::Object(AnyObject().Get());
    }
    return Own(v);
}

bool Fuzzer::Step(long step) {
    // One of the component's objects, and a member of an interface it has
    // (or, now and then, of another).
    ComPtr<IDispatch> target;
    std::vector<const Member*> fitting;
    for (int attempt = 0; attempt < 8 && fitting.empty(); ++attempt) {
        target = AnyObject();
        if (!target) return true;
        for (const Member& m : members) {
            ComPtr<IUnknown> probe;
            if (SUCCEEDED(target->QueryInterface(m.iid, reinterpret_cast<void**>(probe.Out())))) fitting.push_back(&m);
        }
    }
    if (fitting.empty()) return true;
    if (Chance(3)) fitting.push_back(&members[Pick(members.size())]);
    const Member& m = *fitting[Pick(fitting.size())];

    WORD flags = Chance(85) ? m.kind : static_cast<WORD>(Pick(16));
    if (m.kind == DISPATCH_PROPERTYGET && Chance(30)) flags |= DISPATCH_METHOD;
    UINT count = m.params;
    if (Chance(15)) count = static_cast<UINT>(Pick(m.params + 3));
    std::deque<Variant> storage;   // by-reference arguments point into it
    std::vector<Variant> args;
    for (UINT i = 0; i < count; ++i) args.push_back(Argument(storage));
    // Wine's Scripting.Dictionary never releases an object used as a key:
    // it is not given to the one member that adds to a list it is handed.
    if (m.id == list_member_)
        for (auto& a : args) {
            const VARIANT* v = a.Get();
            while (v->vt == (VT_BYREF | VT_VARIANT)) v = v->pvarVal;
            if (v->vt == VT_DISPATCH && dictionaries_.count(v->pdispVal)) a = Variant();
        }
    std::vector<VARIANT> raw;
    for (auto it = args.rbegin(); it != args.rend(); ++it) raw.push_back(*it->Get());
    std::vector<DISPID> named;
    const bool put = flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF);
    if (put && count && Chance(95)) named.push_back(DISPID_PROPERTYPUT);
    else if (count && Chance(5)) named.push_back(static_cast<DISPID>(Pick(4)) - 1);
    DISPPARAMS params{raw.empty() ? nullptr : raw.data(), named.empty() ? nullptr : named.data(),
                      static_cast<UINT>(raw.size()), static_cast<UINT>(named.size())};

    if (trace) {
        fprintf(stderr, "%ld: %p %08lx 0x%lx flags %u named %zu:", step, static_cast<void*>(target.Get()), m.iid.Data1,
                static_cast<unsigned long>(m.id), flags, named.size());
        for (const VARIANT& a : raw) fprintf(stderr, " %x/%ls", a.vt, a.vt == VT_DISPATCH ? Describe(a.pdispVal).c_str() : L"");
        fprintf(stderr, "\n");
    }
    Variant result;
    EXCEPINFO info{};
    UINT arg_error = 0;
    auto start = std::chrono::steady_clock::now();
    HRESULT hr = target->Invoke(m.id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, Chance(90) ? result.Out() : nullptr,
                                &info, &arg_error);
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    slowest = std::max(slowest, seconds);
    ++calls;
    Bstr description = Bstr::Adopt(info.bstrDescription), source = Bstr::Adopt(info.bstrSource);
    Bstr help = Bstr::Adopt(info.bstrHelpFile);
    bool ok = true;
    auto fail = [&](const char* what) {
        ADD_FAILURE() << what << " at step " << step << ": member 0x" << std::hex << m.id << " flags " << flags
                      << " args " << std::dec << count << " hr 0x" << std::hex << hr;
        ok = false;
    };
    if (seconds > 10) fail("call over its time budget");
    if (hr != S_OK) {
        ++failures;
        if (!FAILED(hr)) fail("success code other than S_OK");
        if (hr == DISP_E_EXCEPTION) {
            ++exceptions;
            if (!info.scode && !info.wCode) fail("exception without an error code");
            if (!description.Get()) fail("exception without a description");
        }
    } else if (result.Get()->vt == VT_DISPATCH || result.Get()->vt == VT_UNKNOWN) {
        ComPtr<IDispatch> object;
        if (result.Get()->punkVal)
            result.Get()->punkVal->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(object.Out()));
        Keep(object.Get());
    }
    return ok;
}

template <class Node>
void Fuzzer::BuildTree() {
    std::vector<ComPtr<Node>> nodes{NewNode<Node>()};
    const size_t size = 1 + Pick(12);
    for (size_t i = 0; i < size; ++i) {
        ComPtr<Node> parent = nodes[Pick(nodes.size())];
        ComPtr<Node> child = NewNode<Node>(Chance(15) ? L"-" : L"Item");
        if constexpr (kIsMenu<Node>) {
            if (Chance(15)) MakeArray(child.Get(), static_cast<short>(Pick(4)), Chance(50));
            if (Chance(5)) child->put_WindowsList(VARIANT_TRUE);
            if (Chance(10)) child->put_ShortCutFirstKey(static_cast<xMenuShortCutFirstKeys>(8)),
                child->put_ShortCutSecondKey(static_cast<xMenuShortCutSecondKeys>(79));
        }
        Add(parent.Get(), Chance(8) ? ComPtr<Node>() : child);
        nodes.push_back(child);
    }
    if (Chance(20)) {   // a cycle
        ComPtr<Node> a = nodes[Pick(nodes.size())], b = nodes[Pick(nodes.size())];
        Add(a.Get(), b);
    }
    if (Chance(10)) {   // a deep chain
        ComPtr<Node> tip = nodes.back();
        for (int i = 0; i < 300; ++i) tip = Add(tip.Get(), NewNode<Node>(L"d"));
    }
    for (auto& n : nodes) Keep(n.Get());
    Keep(EntriesOf(nodes[0].Get()).Get());
    if (Chance(50) && !hosts_.empty()) {
        ComPtr<IDispatch> host = hosts_[Pick(hosts_.size())];
        if (Chance(40)) {
            const wchar_t* selectors[] = {L"*", L"call *", L"get *", L"put *", L"name *"};
            try {
                if (Chance(50)) xchost::FailCall(host.Get(), L"*", selectors[Pick(5)], 1 + Pick(30), 1000 + Pick(10));
                else xchost::WrongKind(host.Get(), L"*", selectors[Pick(3)], 1 + Pick(30));
            } catch (const xchost::CallError&) {
            }
        }
        ComPtr<ICommandBarsObject> bars = host.As<ICommandBarsObject>();
        Render(nodes[0].Get(), bars.Get());
    }
}

void Fuzzer::Rebuild() {
    if (hosts_.size() < 3) {
        ComPtr<IDispatch> host = xchost::CreateHost();
        xchost::PutByName(host.Get(), L"Recording", false);
        hosts_.push_back(host);
        objects_.push_back(host);
        objects_.push_back(xchost::CreateCollection());
        objects_.push_back(NewBareControl());
        CLSID dictionary{};
        ComPtr<IDispatch> d;
        if (SUCCEEDED(CLSIDFromProgID(L"Scripting.Dictionary", &dictionary)))
            CoCreateInstance(dictionary, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, reinterpret_cast<void**>(d.Out()));
        if (d) objects_.push_back(d), dictionaries_.insert(d.Get());
        if (list_member_ == DISPID_UNKNOWN) list_member_ = IdOf(NewMenu().Get(), L"GetMenuList");
    }
    if (Chance(50)) BuildTree<_xMenu>();
    else BuildTree<_xToolBar>();
}

// Breaks every cycle the run may have made, then lets go of everything.
void Fuzzer::Release() {
    objects_.clear();
    for (auto& c : collections_) {
        for (int guard = 0; guard < 40000; ++guard) {
            LateResult r = InvokeId(c.Get(), IdOf(c.Get(), L"Remove"), DISPATCH_METHOD, {Variant::Long(1)});
            if (!r.ok()) break;
        }
    }
    for (auto& n : menus_) {
        n->putref_SubMenus(nullptr), n->putref_ArrayMenu(nullptr), n->putref_ArrayParent(nullptr);
        n->putref_CmdBarControl(nullptr), n->putref_CmdBarPopup(nullptr);
    }
    for (auto& n : toolbars_) {
        n->putref_Buttons(nullptr), n->putref_Parent(nullptr);
        n->putref_CmdBarButton(nullptr), n->putref_CmdBarPopup(nullptr);
    }
    collections_.clear();
    menus_.clear();
    toolbars_.clear();
    seen_.clear();
    hosts_.clear();
    dictionaries_.clear();
}

class Fuzz : public ComTest {};

TEST_F(Fuzz, SeededLateBoundCalls) {
    const long total = static_cast<long>(Option("--calls", 10000));
    const unsigned seed = static_cast<unsigned>(Option("--seed", 7));
    Fuzzer fuzzer(seed);
    fuzzer.trace = Option("--trace", 0) != 0;
    std::wstring path;
    {
        ComPtr<_xMenu> loader = NewMenu();   // loads the DLL
        fuzzer.members = Members(path);
    }
    ASSERT_GT(fuzzer.members.size(), 100u);
    auto start = std::chrono::steady_clock::now();
    long failed_steps = 0;
    for (long step = 0; step < total && failed_steps < 10; ++step) {
        if (step % 200 == 0) fuzzer.Rebuild();
        if (!fuzzer.Step(step)) ++failed_steps;
        // The collections of the run are released now and then, so that
        // long runs do not grow without bound.
        if (step % 20000 == 19999) fuzzer.Release();
    }
    fuzzer.Release();
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    printf("fuzz: seed %u, %ld calls over %zu members in %.1f s; %ld failed (%ld run-time errors); slowest call %.3f s\n",
           seed, fuzzer.calls, fuzzer.members.size(), seconds, fuzzer.failures, fuzzer.exceptions, fuzzer.slowest);
    EXPECT_EQ(failed_steps, 0);
}

}  // namespace
}  // namespace zuv::test
