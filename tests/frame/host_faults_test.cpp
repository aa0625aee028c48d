// Hosts that fail anywhere: for representative trees, every host call of a
// rendering is made to fail (and, separately, to answer an object of the
// wrong kind) in turn; the listing's list fails at every call in turn.  The
// operation always returns, reports the one failure as the failure rules
// say, and the tree can be released with nothing left alive.
#include "support/nodes.h"

namespace zuv::test {
namespace {

constexpr long kInjected = 1234;

template <class Node>
ComPtr<Node> Representative() {
    if constexpr (kIsMenu<Node>) {
        Tree<_xMenu> t(L"File{Open - Recent*2 Exit{Now}} Window{List@} Edit{Copy}");
        Shortcut(t[L"Open"], 8, 79);
        Shortcut(t[L"Edit"], 4, 0);
        return t.root;
    } else {
        return Tree<_xToolBar>(L"A{a1 - a2{x y}} - B C{c1}").root;
    }
}

template <class Node>
class HostFaults : public ComTest {
protected:
    // Renders a fresh tree into a fresh host prepared by `prepare`; returns
    // the result, the events and the host's log.
    struct Outcome {
        bool rendered;
        std::wstring events;
        std::vector<std::wstring> log;
    };
    template <class Prepare>
    Outcome RenderOnce(Prepare prepare) {
        Outcome out;
        {
            HostBars host;
            ComPtr<Node> root = Representative<Node>();
            EventRecorder events(root.Get(), EventsOf<Node>());
            prepare(host);
            out.rendered = Render(root.Get(), host.object.Get());
            out.events = events.Joined();
            out.log = host.Log();
        }
        EXPECT_EQ(ComponentCanUnloadNow(), S_OK) << "left alive";
        return out;
    }
};
TYPED_TEST_SUITE(HostFaults, Families);

TYPED_TEST(HostFaults, EveryHostCallFailingInTurn) {
    const size_t calls = this->RenderOnce([](HostBars&) {}).log.size();
    ASSERT_GT(calls, 30u);
    for (size_t k = 1; k <= calls; ++k) {
        auto out = this->RenderOnce([&](HostBars& h) { h.FailCall(L"*", L"* *", static_cast<long>(k), kInjected); });
        // The one failure is reported once, as this number.
        EXPECT_EQ(out.events.find(L"SystemError(" + N(kInjected) + L","), 0u) << k << ": " << out.events.c_str();
        EXPECT_EQ(out.events.find(L";"), std::wstring::npos) << k;
        // The failing call is the k-th; when it ends the whole rendering
        // (False), nothing follows it.
        ASSERT_GE(out.log.size(), k);
        EXPECT_NE(out.log[k - 1].find(L"-> error"), std::wstring::npos) << k;
        if (!out.rendered) {
            EXPECT_EQ(out.log.size(), k) << k;
        }
    }
}

TYPED_TEST(HostFaults, EveryHostCallAnsweringTheWrongKindInTurn) {
    const size_t calls = this->RenderOnce([](HostBars&) {}).log.size();
    for (size_t k = 1; k <= calls; ++k) {
        auto out = this->RenderOnce([&](HostBars& h) { h.WrongKind(L"*", L"* *", static_cast<long>(k)); });
        // A stray object where a control or bar belongs is a type mismatch;
        // where nothing is read from the answer, nothing happens.
        EXPECT_TRUE(out.events.empty() || out.events == L"SystemError(13, Type mismatch)") << k << out.events.c_str();
        if (!out.rendered) {
            EXPECT_FALSE(out.events.empty()) << k;
        }
    }
}

// A list whose k-th call fails; it answers Add by name, counts the calls,
// and fails the test on any other member.
class FailingList final : public Fake<IDispatch> {
public:
    explicit FailingList(long fail_at) : fail_at_(fail_at) {}
    long calls = 0, added = 0;
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
        if (++calls == fail_at_) return E_FAIL;
        EXPECT_TRUE(count == 1 && !_wcsicmp(names[0], L"Add")) << "unexpected name";
        *ids = 1;
        return S_OK;
    }
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO* info, UINT*) override {
        if (++calls == fail_at_) {
            info->scode = MAKE_HRESULT(1, FACILITY_CONTROL, kInjected);
            info->bstrDescription = SysAllocString(L"No");
            return DISP_E_EXCEPTION;
        }
        EXPECT_EQ(id, 1) << "unexpected member";
        ++added;
        return S_OK;
    }

private:
    long fail_at_;
};

class ListFaults : public ComTest {};

TEST_F(ListFaults, TheListFailingAtEveryCallInTurn) {
    auto list_once = [](long fail_at, long* added, std::wstring* events) {
        ComPtr<_xMenu> root = Representative<_xMenu>();
        EventRecorder recorder(root.Get(), DIID___xMenu);
        ComPtr<FailingList> list = MakeFake<FailingList>(fail_at);
        // The component calls the list late-bound only: an IDispatch will do.
        bool listed = List(root.Get(), reinterpret_cast<_Collection*>(static_cast<IDispatch*>(list.Get())));
        *added = list->added;
        *events = recorder.Joined();
        return listed;
    };
    long all = 0;
    std::wstring events;
    ASSERT_TRUE(list_once(0, &all, &events));
    ASSERT_GT(all, 8);
    for (long k = 1; k <= 2 * all; ++k) {
        long added = 0;
        bool listed = list_once(k, &added, &events);
        // Any failure ends the whole listing, reported once.
        EXPECT_FALSE(listed) << k;
        EXPECT_LT(added, all) << k;
        EXPECT_EQ(events.find(L"SystemError("), 0u) << k;
        EXPECT_EQ(events.find(L";"), std::wstring::npos) << k;
        EXPECT_EQ(ComponentCanUnloadNow(), S_OK) << k;
    }
}

}  // namespace
}  // namespace zuv::test
