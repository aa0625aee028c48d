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
#include <deque>
#include <map>
#include <random>
#include <set>

#include "support/nodes.h"

namespace zuv::test {
namespace {

// A number given on the command line after `name` (gtest leaves such
// arguments alone), or `fallback`.
long long Option(const char* name, long long fallback) {
    for (int i = 1; i + 1 < __argc; ++i)
        if (!strcmp(__argv[i], name)) return _atoi64(__argv[i + 1]);
    return fallback;
}

struct Member {
    IID iid;
    DISPID id;
    WORD kind;
    UINT params;
};

const IID* const kInterfaces[] = {&IID__xMenu, &IID__xMenuCollection, &IID__xToolBar, &IID__xToolBarCollection};

// Every member of the four dual interfaces, read from the embedded library.
std::vector<Member> Members() {
    std::vector<Member> members;
    wchar_t file[MAX_PATH];
    GetModuleFileNameW(GetModuleHandleW(L"zuvXCHandler.dll"), file, MAX_PATH);
    ComPtr<ITypeLib> lib;
    Must(LoadTypeLibEx(file, REGKIND_NONE, lib.Out()), "LoadTypeLibEx");
    for (const IID* iid : kInterfaces) {
        ComPtr<ITypeInfo> info;
        TYPEATTR* attr = nullptr;
        Must(lib->GetTypeInfoOfGuid(*iid, info.Out()), "GetTypeInfoOfGuid");
        Must(info->GetTypeAttr(&attr), "GetTypeAttr");
        for (UINT i = 0; i < attr->cFuncs; ++i) {
            FUNCDESC* fd = nullptr;
            if (FAILED(info->GetFuncDesc(i, &fd))) continue;   // an index the library does not describe
            if (fd->memid < 0x60000000 || fd->memid >= 0x60030000)   // not IDispatch's own
                members.push_back({*iid, fd->memid, static_cast<WORD>(fd->invkind), static_cast<UINT>(fd->cParams)});
            info->ReleaseFuncDesc(fd);
        }
        info->ReleaseTypeAttr(attr);
    }
    return members;
}

// A variant built here, as an owning wrapper.
Variant Own(VARIANT v) {
    Variant owned(v);
    VariantClear(&v);
    return owned;
}

bool Answers(IUnknown* object, REFIID iid) {
    ComPtr<IUnknown> probe;
    return SUCCEEDED(object->QueryInterface(iid, reinterpret_cast<void**>(probe.Out())));
}

class Fuzzer {
public:
    explicit Fuzzer(unsigned seed) : rng_(seed) {}
    bool Step(long step);
    void Rebuild();
    void Release();

    std::vector<Member> members = Members();
    long calls = 0, failures = 0, exceptions = 0;
    double slowest = 0;

private:
    size_t Pick(size_t n) { return n ? std::uniform_int_distribution<size_t>(0, n - 1)(rng_) : 0; }
    bool Chance(int percent) { return static_cast<int>(Pick(100)) < percent; }
    ComPtr<IDispatch> AnyObject() { return objects_.empty() ? nullptr : objects_[Pick(objects_.size())]; }
    void Keep(IDispatch* object);
    Variant Argument(std::deque<Variant>& storage);
    template <class Node>
    void BuildTree();

    std::mt19937 rng_;
    std::vector<ComPtr<IDispatch>> objects_;          // targets and arguments
    std::vector<ComPtr<IDispatch>> hosts_;            // stand-in command bars
    std::map<IUnknown*, ComPtr<IDispatch>> met_;      // every node and collection, to break cycles at the end
    std::set<IDispatch*> dictionaries_;               // held in objects_ too
    DISPID list_member_ = DISPID_UNKNOWN;             // GetMenuList
};

void Fuzzer::Keep(IDispatch* object) {
    if (!object) return;
    if (objects_.size() < 48) objects_.emplace_back(object);
    else objects_[Pick(objects_.size())] = object;
    ComPtr<IUnknown> identity;
    object->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(identity.Out()));
    for (const IID* iid : kInterfaces)
        if (identity && Answers(object, *iid)) met_.emplace(identity.Get(), object);
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
        case 14: v.vt = VT_ARRAY | VT_VARIANT; v.parray = SafeArrayCreateVector(VT_VARIANT, 0, 2); break;
        case 15:   // a variable passed by reference
            storage.push_back(Argument(storage));
            v.vt = VT_BYREF | VT_VARIANT;
            v.pvarVal = storage.back().Get();
            return Own(v);
        case 16:
            storage.push_back(Variant::Long(longs[Pick(11)]));
            v.vt = VT_BYREF | VT_I4;
            v.plVal = &storage.back().Get()->lVal;
            return Own(v);
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
        if (!(target = AnyObject())) return true;
        for (const Member& m : members)
            if (Answers(target.Get(), m.iid)) fitting.push_back(&m);
    }
    if (fitting.empty()) return true;
    if (Chance(3)) fitting.push_back(&members[Pick(members.size())]);
    const Member& m = *fitting[Pick(fitting.size())];

    WORD flags = Chance(85) ? m.kind : static_cast<WORD>(Pick(16));
    if (m.kind == DISPATCH_PROPERTYGET && Chance(30)) flags |= DISPATCH_METHOD;
    const UINT count = Chance(15) ? static_cast<UINT>(Pick(m.params + 3)) : m.params;
    std::deque<Variant> storage;   // by-reference arguments point into it
    std::vector<Variant> args;
    for (UINT i = 0; i < count; ++i) args.push_back(Argument(storage));
    // Wine's Scripting.Dictionary never releases an object used as a key:
    // it is not given to the one member that adds to a list it is handed.
    for (auto& a : args) {
        const VARIANT* v = a.Get();
        while (v->vt == (VT_BYREF | VT_VARIANT)) v = v->pvarVal;
        if (m.id == list_member_ && v->vt == VT_DISPATCH && dictionaries_.count(v->pdispVal)) a = Variant();
    }
    std::vector<VARIANT> raw;
    for (auto it = args.rbegin(); it != args.rend(); ++it) raw.push_back(*it->Get());
    std::vector<DISPID> named;
    if ((flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) && count && Chance(95)) named.push_back(DISPID_PROPERTYPUT);
    else if (count && Chance(5)) named.push_back(static_cast<DISPID>(Pick(4)) - 1);
    DISPPARAMS params{raw.empty() ? nullptr : raw.data(), named.empty() ? nullptr : named.data(),
                      static_cast<UINT>(raw.size()), static_cast<UINT>(named.size())};

    Variant result;
    EXCEPINFO info{};
    UINT arg_error = 0;
    auto start = std::chrono::steady_clock::now();
    HRESULT hr = target->Invoke(m.id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, Chance(90) ? result.Out() : nullptr,
                                &info, &arg_error);
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    slowest = std::max(slowest, seconds);
    ++calls;
    Bstr description = Bstr::Adopt(info.bstrDescription), source = Bstr::Adopt(info.bstrSource),
         help = Bstr::Adopt(info.bstrHelpFile);
    const char* problem = seconds > 10 ? "call over its time budget"
                          : hr != S_OK && !FAILED(hr) ? "success code other than S_OK"
                          : hr == DISP_E_EXCEPTION && !info.scode && !info.wCode ? "exception without an error code"
                          : hr == DISP_E_EXCEPTION && !description.Get() ? "exception without a description"
                                                                          : nullptr;
    failures += hr != S_OK;
    exceptions += hr == DISP_E_EXCEPTION;
    if (problem) {
        ADD_FAILURE() << problem << " at step " << step << ": member 0x" << std::hex << m.id << " flags " << flags
                      << " args " << std::dec << count << " hr 0x" << std::hex << hr;
    } else if (hr == S_OK && (result.Type() == VT_DISPATCH || result.Type() == VT_UNKNOWN) && result.Get()->punkVal) {
        ComPtr<IDispatch> object;
        result.Get()->punkVal->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(object.Out()));
        Keep(object.Get());
    }
    return !problem;
}

template <class Node>
void Fuzzer::BuildTree() {
    std::vector<ComPtr<Node>> nodes{NewNode<Node>()};
    for (size_t i = 0, size = 1 + Pick(12); i < size; ++i) {
        ComPtr<Node> parent = nodes[Pick(nodes.size())], child = NewNode<Node>(Chance(15) ? L"-" : L"Item");
        if constexpr (kIsMenu<Node>) {
            if (Chance(15)) MakeArray(child.Get(), static_cast<short>(Pick(4)), Chance(50));
            if (Chance(5)) Must(child->put_WindowsList(VARIANT_TRUE), "put_WindowsList");
            if (Chance(10)) Shortcut(child.Get(), 8, 79);
        }
        Add(parent.Get(), Chance(8) ? ComPtr<Node>() : child);
        nodes.push_back(child);
    }
    if (Chance(20)) Add(nodes[Pick(nodes.size())].Get(), nodes[Pick(nodes.size())]);   // a cycle
    if (Chance(10)) {   // a deep chain
        ComPtr<Node> tip = nodes.back();
        for (int i = 0; i < 300; ++i) tip = Add(tip.Get(), NewNode<Node>(L"d"));
    }
    for (auto& n : nodes) Keep(n.Get());
    Keep(EntriesOf(nodes[0].Get()).Get());
    if (Chance(50) && !hosts_.empty()) {
        ComPtr<IDispatch> host = hosts_[Pick(hosts_.size())];
        const wchar_t* selectors[] = {L"* *", L"call *", L"get *", L"put *", L"name *"};
        if (Chance(20)) xchost::FailCall(host.Get(), L"*", selectors[Pick(5)], 1 + Pick(30), 1000 + Pick(10));
        else if (Chance(25)) xchost::WrongKind(host.Get(), L"*", selectors[Pick(3)], 1 + Pick(30));
        Render(nodes[0].Get(), host.As<ICommandBarsObject>().Get());
    }
}

void Fuzzer::Rebuild() {
    if (hosts_.size() < 3) {
        ComPtr<IDispatch> host = xchost::CreateHost(), dictionary = xchost::CreateByProgId(L"Scripting.Dictionary");
        xchost::PutByName(host.Get(), L"Recording", false);
        hosts_.push_back(host);
        dictionaries_.insert(dictionary.Get());
        objects_.insert(objects_.end(), {host, xchost::CreateCollection(), NewBareControl(), dictionary});
        if (list_member_ == DISPID_UNKNOWN) list_member_ = IdOf(NewMenu().Get(), L"GetMenuList");
    }
    if (Chance(50)) BuildTree<_xMenu>();
    else BuildTree<_xToolBar>();
}

// Breaks every cycle the run may have made, then lets go of everything.
void Fuzzer::Release() {
    objects_.clear();
    for (auto& [identity, c] : met_)
        if (Answers(c.Get(), IID__xMenuCollection) || Answers(c.Get(), IID__xToolBarCollection))
            for (int guard = 0; guard < 40000; ++guard)
                if (!InvokeId(c.Get(), IdOf(c.Get(), L"Remove"), DISPATCH_METHOD, {Variant::Long(1)}).ok()) break;
    for (auto& [identity, n] : met_) {
        if (ComPtr<_xMenu> menu = n.As<_xMenu>()) {
            menu->putref_SubMenus(nullptr), menu->putref_ArrayMenu(nullptr), menu->putref_ArrayParent(nullptr);
            menu->putref_CmdBarControl(nullptr), menu->putref_CmdBarPopup(nullptr);
        } else if (ComPtr<_xToolBar> bar = n.As<_xToolBar>()) {
            bar->putref_Buttons(nullptr), bar->putref_Parent(nullptr);
            bar->putref_CmdBarButton(nullptr), bar->putref_CmdBarPopup(nullptr);
        }
    }
    met_.clear();
    hosts_.clear();
    dictionaries_.clear();
}

class Fuzz : public ComTest {};

TEST_F(Fuzz, SeededLateBoundCalls) {
    const long total = static_cast<long>(Option("--calls", 10000));
    const unsigned seed = static_cast<unsigned>(Option("--seed", 7));
    ComPtr<_xMenu> loader = NewMenu();   // loads the DLL
    Fuzzer fuzzer(seed);
    loader.Reset();
    ASSERT_GT(fuzzer.members.size(), 100u);
    auto start = std::chrono::steady_clock::now();
    long failed_steps = 0;
    for (long step = 0; step < total && failed_steps < 10; ++step) {
        if (step % 200 == 0) fuzzer.Rebuild();
        if (!fuzzer.Step(step)) ++failed_steps;
        // Released now and then, so that long runs do not grow without bound.
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
