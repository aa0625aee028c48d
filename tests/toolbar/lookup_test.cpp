// GetToolBar, GetToolBarFromSubToolBar and RaiseClickEvent; hosts that
// change the tree from inside an event; trees that contain themselves or
// are absurdly deep.
#include "toolbar_test.h"

namespace zuv::test {
namespace {

class Lookup : public ToolBarTest {};

ComPtr<_xToolBar> FindBelow(_xToolBar* receiver, _xToolBar* start, long id) {
    ComPtr<_xToolBar> found;
    EXPECT_EQ(receiver->GetToolBarFromSubToolBar(&start, id, found.Out()), S_OK);
    return found;
}

TEST_F(Lookup, FindsRenderedNodesInPreOrderBelowTheStart) {
    ExampleTree t;
    EXPECT_TRUE(Render(t.root.Get(), Host().Object()));
    EventRecorder events(t.root.Get(), DIID___xToolBar);

    EXPECT_EQ(Find(t.root.Get(), 103), t.c);
    EXPECT_EQ(Find(t.root.Get(), 105), t.e);
    EXPECT_FALSE(Find(t.root.Get(), 100));   // the root's own StartID
    // Only B's descendants, never B itself; the receiver's own children are not searched.
    EXPECT_FALSE(FindBelow(t.root.Get(), t.b.Get(), 102));
    EXPECT_EQ(FindBelow(t.e.Get(), t.b.Get(), 104), t.d);
    EXPECT_FALSE(FindBelow(t.b.Get(), t.e.Get(), 103));
    EXPECT_TRUE(events.Events().empty()) << events.Joined();

    // Late-bound, as the host's command handler calls it.
    EXPECT_TRUE(Same(Object(Call(t.root.Get(), L"GetToolBar", {Variant::Long(104)}).value), t.d.Get()));
}

TEST_F(Lookup, FirstMatchWinsIncludingUnrenderedAndSeparators) {
    ComPtr<_xToolBar> root = NewNode();
    ComPtr<_xToolBar> a = Add(root.Get(), NewNode(L"A"));
    ComPtr<_xToolBar> inner = Add(a.Get(), NewNode(L"Inner"));
    ComPtr<_xToolBar> separator = Add(a.Get(), NewSeparator());
    ComPtr<_xToolBar> b = Add(root.Get(), NewNode(L"B"));
    EXPECT_EQ(a->put_ID(1), S_OK);
    EXPECT_EQ(inner->put_ID(5), S_OK);
    EXPECT_EQ(b->put_ID(5), S_OK);

    EXPECT_EQ(Find(root.Get(), 5), inner);
    EXPECT_EQ(Find(root.Get(), 0), separator);
    EXPECT_FALSE(Find(NewToolBar().Get(), 0));
}

TEST_F(Lookup, EmptyEntryMatchesIdZeroAsAFreshNode) {
    ComPtr<_xToolBar> root = NewNode();
    ComPtr<_xToolBar> a = Add(root.Get(), NewNode(L"A"));
    EXPECT_EQ(a->put_ID(1), S_OK);
    Add(root.Get(), nullptr);

    ComPtr<_xToolBar> first = Find(root.Get(), 0);
    ComPtr<_xToolBar> second = Find(root.Get(), 0);
    ASSERT_TRUE(first);
    EXPECT_NE(first, second);
    EXPECT_EQ(IdOf(first.Get()), 0);
    ComPtr<_xToolBar> entry;
    EXPECT_EQ(ButtonsOf(root.Get())->get_Item(*Variant::Long(2).Get(), entry.Out()), S_OK);
    EXPECT_FALSE(entry);
}

TEST_F(Lookup, ErrorsAreReportedPerLevelAndTheSearchGoesOn) {
    ComPtr<_xToolBar> root = NewNode();
    ComPtr<_xToolBar> b = Add(root.Get(), NewNode(L"B"));
    ComPtr<_xToolBar> e = Add(root.Get(), NewNode(L"E"));
    EXPECT_EQ(e->put_ID(9), S_OK);
    // B's children are a host's collection whose first Item fails.
    ComPtr<ForeignCollection> failing = NewForeignCollection();
    failing->items.push_back(NewNode(L"X"));
    failing->fail_item_at = 1;
    failing->item_failure = MAKE_HRESULT(1, FACILITY_CONTROL, 1010);
    EXPECT_EQ(b->putref_Buttons(failing.Get()), S_OK);
    EventRecorder events(root.Get(), DIID___xToolBar);

    EXPECT_EQ(Find(root.Get(), 9), e);
    EXPECT_EQ(events.Joined(), L"SystemError(1010, Application-defined or object-defined error)");

    // Numbers that are not positive are not reported.
    events.Clear();
    failing->item_failure = E_FAIL;
    EXPECT_EQ(Find(root.Get(), 9), e);
    EXPECT_TRUE(events.Events().empty()) << events.Joined();

    // More entries than a 16-bit bound holds: error 6 before the walk.
    failing->count_override = 32768;
    EXPECT_FALSE(FindBelow(root.Get(), b.Get(), 9));
    EXPECT_EQ(events.Joined(), L"SystemError(6, Overflow)");

    // A start of Nothing is a missing object.
    events.Clear();
    EXPECT_FALSE(FindBelow(root.Get(), nullptr, 9));
    ASSERT_EQ(events.Events().size(), 1u);
    EXPECT_EQ(events.Events()[0].rfind(L"SystemError(91, ", 0), 0u) << events.Joined();
}

TEST_F(Lookup, ExactlyShortMaxEntriesAreSearchedCompletely) {
    ComPtr<_xToolBar> root = NewNode();
    ComPtr<_xToolBarCollection> buttons = ButtonsOf(root.Get());
    ComPtr<_xToolBar> last;
    NodeFactory factory;
    for (long i = 1; i <= 32767; ++i) {
        last = factory.New();
        EXPECT_EQ(last->put_ID(i), S_OK);
        _xToolBar* raw = last.Get();
        ComPtr<_xToolBar> added;
        ASSERT_EQ(buttons->Add(&raw, nullptr, added.Out()), S_OK);
    }
    EventRecorder events(root.Get(), DIID___xToolBar);
    EXPECT_EQ(Find(root.Get(), 32767), last);
    EXPECT_FALSE(Find(root.Get(), -1));
    EXPECT_TRUE(events.Events().empty()) << events.Joined();
}

TEST_F(Lookup, HostOwnNodesAreSearchedThroughTheirInterface) {
    ComPtr<_xToolBar> root = NewNode();
    ComPtr<_xToolBar> stranger = Add(root.Get(), NewForeignNode());
    ComPtr<_xToolBar> below = Add(stranger.Get(), NewNode(L"Below"));
    EXPECT_EQ(below->put_ID(3), S_OK);
    EXPECT_EQ(stranger->put_ID(2), S_OK);
    EXPECT_EQ(Find(root.Get(), 2), stranger);
    EXPECT_EQ(Find(root.Get(), 3), below);
    EXPECT_EQ(FindBelow(root.Get(), stranger.Get(), 3), below);
}

// --- click ------------------------------------------------------------------------

class Click : public ToolBarTest {};

TEST_F(Click, GuardReadsTheReceiverAndPassesTheArgumentOn) {
    ComPtr<_xToolBar> x = NewNode(L"X");
    ComPtr<_xToolBar> c = NewNode(L"C");
    EXPECT_EQ(c->put_Enabled(VARIANT_FALSE), S_OK);   // the argument's state does not matter
    EventRecorder events(x.Get(), DIID___xToolBar);

    VARIANT result;
    result.vt = VT_I4;
    EXPECT_EQ(x->RaiseClickEvent(c.Get(), &result), S_OK);
    EXPECT_EQ(result.vt, VT_EMPTY);
    EXPECT_EQ(events.Joined(), L"ButtonClick(obj)");
    ASSERT_EQ(events.Objects().size(), 1u);
    EXPECT_TRUE(Same(events.Objects()[0].Get(), c.Get()));

    events.Clear();
    EXPECT_EQ(x->RaiseClickEvent(nullptr, &result), S_OK);
    EXPECT_EQ(events.Joined(), L"ButtonClick(Nothing)");

    events.Clear();
    EXPECT_EQ(x->put_Enabled(VARIANT_FALSE), S_OK);
    EXPECT_EQ(x->RaiseClickEvent(x.Get(), &result), S_OK);
    EXPECT_EQ(x->put_Enabled(VARIANT_TRUE), S_OK);
    EXPECT_EQ(x->put_Visible(VARIANT_FALSE), S_OK);
    EXPECT_EQ(x->RaiseClickEvent(x.Get(), &result), S_OK);
    EXPECT_EQ(result.vt, VT_EMPTY);
    EXPECT_TRUE(events.Events().empty()) << events.Joined();

    // Late-bound with a host's own node as the argument.
    EXPECT_EQ(x->put_Visible(VARIANT_TRUE), S_OK);
    ComPtr<_xToolBar> stranger = NewForeignNode();
    LateResult r = Call(x.Get(), L"RaiseClickEvent", {Variant::Object(stranger.Get())});
    EXPECT_TRUE(r.ok());
    EXPECT_EQ(r.value.Type(), VT_EMPTY);
    ASSERT_EQ(events.Objects().size(), 1u);
    EXPECT_TRUE(Same(events.Objects()[0].Get(), stranger.Get()));
}

TEST_F(Click, SinkMayReleaseTheLastReferenceWhileTheClickIsDelivered) {
    ComPtr<_xToolBar> x = NewNode(L"X");
    _xToolBar* raw = x.Get();
    auto events = std::make_unique<EventRecorder>(raw, DIID___xToolBar);
    events->OnEvent([&](DISPID) {
        events->Disconnect();
        x.Reset();
    });
    VARIANT result;
    EXPECT_EQ(raw->RaiseClickEvent(nullptr, &result), S_OK);
    EXPECT_FALSE(x);
    EXPECT_EQ(events->Joined(), L"ButtonClick(Nothing)");
}

// --- re-entrant hosts, cycles and deep trees -----------------------------------------

class Robust : public ToolBarTest {};

TEST_F(Robust, SinkRebuildsTheTreeDuringRenderingErrors) {
    ComPtr<_xToolBar> root = NewNode();
    {
        ComPtr<_xToolBar> p = Add(root.Get(), NewNode(L"P"));
        Add(p.Get(), NewNode(L"X"));
        Add(p.Get(), NewNode(L"Y"));
        Add(root.Get(), NewNode(L"Q"));
    }
    EventRecorder events(root.Get(), DIID___xToolBar);
    Host().FailCall(L"Control#1.CommandBar.Controls", L"call Add", 1, 1005, L"No room");
    // On the error the host throws the whole tree away.
    events.OnEvent([&](DISPID id) {
        if (id != 4) return;
        EXPECT_EQ(root->putref_Buttons(ButtonsOf(NewToolBar().Get()).Get()), S_OK);
    });
    EXPECT_TRUE(Render(root.Get(), Host().Object()));
    EXPECT_EQ(events.Joined(), L"SystemError(1005, No room)");
    // The rendering went on with the buttons it started with.
    EXPECT_EQ(Host().FindControl(3), L"Control#2");
}

TEST_F(Robust, SinkEmptiesTheCollectionDuringALookup) {
    ComPtr<_xToolBar> root = NewNode();
    ComPtr<_xToolBar> b = Add(root.Get(), NewNode(L"B"));
    Add(root.Get(), NewNode(L"C"));
    Add(root.Get(), NewNode(L"D"));
    ComPtr<ForeignCollection> failing = NewForeignCollection();
    failing->items.push_back(NewNode(L"X"));
    failing->fail_item_at = 1;
    failing->item_failure = MAKE_HRESULT(1, FACILITY_CONTROL, 1010);
    EXPECT_EQ(b->putref_Buttons(failing.Get()), S_OK);
    b.Reset();
    failing.Reset();
    EventRecorder events(root.Get(), DIID___xToolBar);
    events.OnEvent([&](DISPID id) {
        if (id != 4) return;
        ComPtr<_xToolBarCollection> buttons = ButtonsOf(root.Get());
        Variant first = Variant::Long(1);
        long count = 0;
        while (buttons->get_Count(&count) == S_OK && count > 0) buttons->Remove(first.Get());
    });
    EXPECT_FALSE(Find(root.Get(), 77));
    EXPECT_EQ(events.Joined(),
              L"SystemError(1010, Application-defined or object-defined error); SystemError(9, Subscript out of range)");
}

TEST_F(Robust, TreeContainingItselfEndsWithOutOfStackSpace) {
    ComPtr<_xToolBar> root = NewNode();
    ComPtr<_xToolBar> a = Add(root.Get(), NewNode(L"A"));
    Add(a.Get(), a);
    EventRecorder events(root.Get(), DIID___xToolBar);

    EXPECT_FALSE(Find(root.Get(), 12345));
    EXPECT_EQ(events.Joined(), L"SystemError(28, Out of stack space)");

    events.Clear();
    EXPECT_TRUE(Render(root.Get(), Host().Object()));
    EXPECT_EQ(events.Joined(), L"SystemError(28, Out of stack space)");

    // The host breaks its own cycle before letting go.
    Variant first = Variant::Long(1);
    EXPECT_EQ(ButtonsOf(a.Get())->Remove(first.Get()), S_OK);
}

TEST_F(Robust, HundredThousandDeepChain) {
    ComPtr<_xToolBar> root = NewNode();
    {
        NodeFactory factory;
        ComPtr<_xToolBar> tip = root;
        for (int i = 0; i < 100000; ++i) tip = Add(tip.Get(), factory.New());
    }
    EventRecorder events(root.Get(), DIID___xToolBar);

    EXPECT_FALSE(Find(root.Get(), -1));
    EXPECT_EQ(events.Joined(), L"SystemError(28, Out of stack space)");

    events.Clear();
    EXPECT_TRUE(Render(root.Get(), Host().Object()));
    EXPECT_EQ(events.Joined(), L"SystemError(28, Out of stack space)");

    // Releasing the chain takes no more stack than releasing one node.
    events.Disconnect();
    root.Reset();
}

}  // namespace
}  // namespace zuv::test
