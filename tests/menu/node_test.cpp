// The nodes' properties: live forwarding to rendered controls, stored
// values, the menu's computed Count, the parent reference; the collections'
// Item and Remove.
#include "support/nodes.h"

namespace zuv::test {
namespace {

using Menu = Tree<_xMenu>;
short CountProp(_xMenu* n) { return Read(n, &_xMenu::get_Count); }
ComPtr<_xMenuCollection> MembersOf(_xMenu* n) { return Read(n, &_xMenu::get_ArrayMenu); }
const HRESULT kError5 = MAKE_HRESULT(1, FACILITY_CONTROL, 5), kError9 = MAKE_HRESULT(1, FACILITY_CONTROL, 9);

class MenuNode : public NodeTest {};

TEST_F(MenuNode, CountCountsTheVisibleMembersOfARenderedArray) {
    Menu t(L"T{Z*3 O#3}");
    EXPECT_EQ(CountProp(t[L"Z"]), 0);
    ASSERT_TRUE(Render(t.root.Get()));
    for (const wchar_t* name : {L"Z", L"O"}) {
        MUST(ItemAt(MembersOf(t[name]).Get(), 1)->put_Visible(VARIANT_FALSE));
        EXPECT_EQ(CountProp(t[name]), 2);
    }
    MUST(t[L"Z"]->put_IsArray(VARIANT_FALSE));
    EXPECT_EQ(CountProp(t[L"Z"]), -1);
    // Members that rendering did not make count from 1: the member at 0 is
    // missing; the count reached so far is returned.
    ComPtr<_xMenu> manual = NewMenu();
    MUST(manual->put_IsArray(VARIANT_TRUE));
    Append(MembersOf(manual.Get()).Get(), NewMenu());
    EventRecorder events(manual.Get(), DIID___xMenu);
    EXPECT_EQ(CountProp(manual.Get()), 0);
    EXPECT_EQ(events.Joined(), L"SystemError(9, Subscript out of range)");
}

// Item maps a number onto position + 1 only on the members of a rendered
// zero-based array (told by its first entry); elsewhere positions start at 1.
TEST_F(MenuNode, ItemCountsFromZeroOnlyOnARenderedZeroBasedArray) {
    Menu t(L"T{Z*3 O#3}");
    ComPtr<_xMenuCollection> unrendered = MembersOf(t[L"Z"]);
    ComPtr<_xMenu> first = Append(unrendered.Get(), NewMenu());
    EXPECT_TRUE(Same(ItemAt(unrendered.Get(), 1).Get(), first.Get()));
    MUST(unrendered->Remove(Variant::Long(1).Get()));
    ASSERT_TRUE(Render(t.root.Get()));
    ComPtr<_xMenuCollection> zero = MembersOf(t[L"Z"]), one = MembersOf(t[L"O"]);
    ComPtr<_xMenuCollection> mixed = EntriesOf(t.root.Get());   // an empty first entry: no array parent
    Append(mixed.Get(), nullptr);
    Append(mixed.Get(), ItemAt(zero.Get(), 0));
    const struct {
        _xMenuCollection* in;
        Variant index;
        HRESULT hr;
        long id;
    } cases[] = {
        {zero.Get(), Variant::Short(0), S_OK, 2},      {zero.Get(), Variant::Long(2), S_OK, 4},
        {zero.Get(), Variant::String(L"1"), S_OK, 3},  {zero.Get(), Variant::Long(3), kError9, 0},
        {one.Get(), Variant::Long(1), S_OK, 5},        {one.Get(), Variant::Long(3), S_OK, 7},
        {one.Get(), Variant::String(L"1"), kError5, 0}, {mixed.Get(), Variant::Long(3), S_OK, 2},
    };
    for (const auto& c : cases) {
        ComPtr<_xMenu> item;
        EXPECT_EQ(c.in->get_Item(*c.index.Get(), item.Out()), c.hr) << Str(c.index).c_str();
        if (c.hr == S_OK) {
            EXPECT_EQ(IdOf(Required(item.Get(), "the item")), c.id) << Str(c.index).c_str();
        }
    }
}

template <class Node>
class EitherFamilyNode : public NodeTest {};
TYPED_TEST_SUITE(EitherFamilyNode, Families);

// Each assignment and the host calls it makes on the rendered control.
template <class Node>
struct Forwarded {
    HRESULT (*assign)(Node*);
    Lines calls;   // after "Control#2 "
};
template <class Node>
std::vector<Forwarded<Node>> Forwards();
template <>
std::vector<Forwarded<_xMenu>> Forwards() {
    return {
        {[](_xMenu* n) { return n->put_Checked(VARIANT_TRUE); }, {L"put 14 (Boolean True)"}},
        {[](_xMenu* n) { return n->put_Enabled(VARIANT_FALSE); }, {L"put 13 (Boolean False)"}},
        {[](_xMenu* n) { return n->put_Visible(VARIANT_FALSE); }, {L"put 12 (Boolean False)"}},
        {[](_xMenu* n) { return n->put_Checked(2); }, {L"put 14 (Boolean True)"}},
        {[](_xMenu* n) { return n->put_ID(77); }, {L"put 6 (Long 77)"}},
        {[](_xMenu* n) { return n->put_WindowsList(VARIANT_TRUE); }, {L"put 6 (Long 35000)"}},
        {[](_xMenu* n) { return n->put_Caption(B(L"New").Get()); }, {L"put 4 (String \"New\")"}},
        {[](_xMenu* n) { return n->put_Key(B(L"k").Get()); }, {}},
        {[](_xMenu* n) { return n->put_Tag(B(L"t").Get()); }, {}},
        {[](_xMenu* n) { return n->put_StartID(3); }, {}},
        {[](_xMenu* n) { return n->put_MenuSeperator(VARIANT_TRUE); }, {}},
        {[](_xMenu* n) { return n->put_ShortCutFirstKey(xMenuShortCutFirstKeys_ALT); }, {}},
    };
}
template <>
std::vector<Forwarded<_xToolBar>> Forwards() {
    return {
        {[](_xToolBar* n) { return n->put_Caption(B(L"Cap").Get()); }, {L"put 4 (String \"Cap\")"}},
        {[](_xToolBar* n) { return n->put_Text(B(L"Txt").Get()); }, {L"put 4 (String \"Txt\")"}},
        {[](_xToolBar* n) { return n->put_TooltipText(B(L"Tip").Get()); }, {L"put 10 (String \"Tip\")"}},
        {[](_xToolBar* n) { return n->put_ID(7); }, {L"put 6 (Long 7)"}},
        {[](_xToolBar* n) { return n->put_ToolBarID(8); }, {L"name \"ToolBarID\"", L"put ToolBarID (Long 8)"}},
        {[](_xToolBar* n) { return n->put_Value(xToolBarValue_tblPressed); }, {L"put 14 (Boolean True)"}},
        {[](_xToolBar* n) { return n->put_Value(static_cast<xToolBarValue>(5)); }, {L"put 14 (Boolean True)"}},
        {[](_xToolBar* n) { return n->put_Value(xToolBarValue_tblUnPressed); }, {L"put 14 (Boolean False)"}},
        {[](_xToolBar* n) { return n->put_Checked(VARIANT_TRUE); }, {L"put 14 (Boolean True)"}},
        {[](_xToolBar* n) { return n->put_Enabled(VARIANT_FALSE); }, {L"put 13 (Boolean False)"}},
        {[](_xToolBar* n) { return n->put_Visible(VARIANT_FALSE); }, {L"put 12 (Boolean False)"}},
        {[](_xToolBar* n) { return n->put_Enabled(2); }, {L"put 13 (Boolean True)"}},
        {[](_xToolBar* n) { return n->put_Key(B(L"k").Get()); }, {}},
        {[](_xToolBar* n) { return n->put_Tag(B(L"t").Get()); }, {}},
        {[](_xToolBar* n) { return n->put_StartID(1); }, {}},
        {[](_xToolBar* n) { return n->put_ToolBarSeperator(VARIANT_FALSE); }, {}},
        {[](_xToolBar* n) { return n->put_Left(1); }, {}},
        {[](_xToolBar* n) { return n->put_Top(1); }, {}},
        {[](_xToolBar* n) { return n->put_Width(1); }, {}},
        {[](_xToolBar* n) { return n->put_Height(1); }, {}},
        {[](_xToolBar* n) { return n->putref_Parent(nullptr); }, {}},
    };
}
// A rendered entry's control: a menu entry's CmdBarControl, a button's CmdBarButton.
template <class Node>
HRESULT SetControl(Node* n, Node* from) {
    if constexpr (kIsMenu<Node>) return n->putref_CmdBarControl(from ? Read(from, &_xMenu::get_CmdBarControl).Get() : nullptr);
    else return n->putref_CmdBarButton(from ? Read(from, &_xToolBar::get_CmdBarButton).Get() : nullptr);
}

// A designed node with a control and a popup sends each change to the
// control only, with its own call.
TYPED_TEST(EitherFamilyNode, ADesignedNodeForwardsEachChangeToItsControl) {
    for (const auto& f : Forwards<TypeParam>()) {
        HostBars bars;
        Tree<TypeParam> t(L"T{X}");
        ASSERT_TRUE(Render(t.root.Get(), bars.object.Get()));
        MUST(t[L"X"]->putref_CmdBarPopup(Read(t[L"T"], &TypeParam::get_CmdBarPopup).Get()));
        bars.ClearLog();
        MUST(f.assign(t[L"X"]));
        Lines expected;
        for (const std::wstring& call : f.calls) expected.push_back(L"Control#2 " + call);
        EXPECT_EQ(bars.Log(), expected);
    }
}

TYPED_TEST(EitherFamilyNode, ANodeThatIsNotDesignedSendsNothingEvenWithControls) {
    Tree<TypeParam> t(L"T{X}");
    ASSERT_TRUE(this->Render(t.root.Get()));
    ComPtr<TypeParam> loose = NewNode<TypeParam>();
    MUST(SetControl(loose.Get(), t[L"X"]));
    MUST(loose->putref_CmdBarPopup(Read(t[L"T"], &TypeParam::get_CmdBarPopup).Get()));
    this->host.ClearLog();
    for (const auto& f : Forwards<TypeParam>()) MUST(f.assign(loose.Get()));
    EXPECT_EQ(this->host.Log(), Lines{});
}

// A node with only a popup (a title, a button with entries) sends the change
// there; one without either sends nothing; both store it, a Boolean stored
// as any non-zero value as True.
TYPED_TEST(EitherFamilyNode, APopupOnlyReceivesTheChangeAndEachNodeStoresIt) {
    Tree<TypeParam> t(L"T{X}");
    TypeParam* x = t[L"X"];
    ASSERT_TRUE(this->Render(t.root.Get()));
    this->host.ClearLog();
    EXPECT_TRUE(Put(t[L"T"], L"Caption", Variant::String(L"Title")).ok());
    MUST(SetControl<TypeParam>(x, nullptr));
    MUST(x->put_Checked(1));
    MUST(x->put_Enabled(2));
    EXPECT_EQ(this->host.Log(), Lines{L"Control#1 put 4 (String \"Title\")"});
    EXPECT_EQ(Read(x, &TypeParam::get_Checked), VARIANT_TRUE);
    EXPECT_EQ(Read(x, &TypeParam::get_Enabled), VARIANT_TRUE);
    EXPECT_EQ(Read(t[L"T"], &TypeParam::get_Caption), L"Title");
}

// A getter given no place for its value fails with error 5 and changes nothing.
TYPED_TEST(EitherFamilyNode, AGetterWithoutAPlaceForTheValueIsError5) {
    ComPtr<TypeParam> n = NewNode<TypeParam>(L"N");
    EXPECT_EQ(n->get_Caption(nullptr), kError5);
    EXPECT_EQ(PendingDescription(), L"Invalid procedure call or argument");
    EXPECT_EQ(n->get_Checked(nullptr), kError5);
    EXPECT_EQ(n->get_ID(nullptr), kError5);
    EXPECT_EQ(n->get_CmdBarPopup(nullptr), kError5);
    EXPECT_EQ(Read(n.Get(), &TypeParam::get_Caption), L"N");
}

// The properties few nodes set: each reads its default until it is set, then
// its own value, whichever of the others were set before it.
struct RareProperty {
    const wchar_t* name;
    const wchar_t* by_default;
    Variant value;
};
template <class Node>
std::vector<RareProperty> RareProperties() {
    if constexpr (kIsMenu<Node>)
        return {{L"ShortCutSecondKey", L"0", Variant::Long(79)}, {L"Tag", L"", Variant::String(L"t")},
                {L"ShortCutFirstKey", L"0", Variant::Long(8)}, {L"Key", L"", Variant::String(L"k")}};
    else
        return {{L"Height", L"0", Variant::Long(14)}, {L"Tag", L"", Variant::String(L"t")},
                {L"Left", L"0", Variant::Long(11)}, {L"TooltipText", L"", Variant::String(L"tip")},
                {L"Top", L"0", Variant::Long(12)}, {L"Key", L"", Variant::String(L"k")},
                {L"Width", L"0", Variant::Long(13)}, {L"Text", L"", Variant::String(L"x")}};
}
TYPED_TEST(EitherFamilyNode, RarelySetPropertiesKeepTheirDefaultsUntilEachIsSet) {
    ComPtr<TypeParam> n = NewNode<TypeParam>(L"N");
    auto props = RareProperties<TypeParam>();
    for (size_t set = 0; set <= props.size(); ++set) {
        for (size_t i = 0; i < props.size(); ++i) {
            EXPECT_EQ(Str(Get(n.Get(), props[i].name).value), i < set ? Str(props[i].value) : props[i].by_default)
                << props[i].name << " after " << set << " set";
        }
        if (set < props.size()) {
            ASSERT_TRUE(Put(n.Get(), props[set].name, props[set].value).ok());
        }
    }
}

// A node's collection is the same object at every read until another is put
// in its place; Nothing put there, before any read too, stays Nothing.
TYPED_TEST(EitherFamilyNode, ACollectionStaysUntilReplacedNothingIncluded) {
    std::vector<const wchar_t*> names{L"Buttons"};
    if constexpr (kIsMenu<TypeParam>) names = {L"SubMenus", L"ArrayMenu"};
    for (const wchar_t* name : names) {
        ComPtr<TypeParam> asked = NewNode<TypeParam>(L"A"), emptied = NewNode<TypeParam>(L"E");
        LateResult first = Get(asked.Get(), name);
        ASSERT_NE(Object(first.value), nullptr) << name;
        EXPECT_EQ(Object(Get(asked.Get(), name).value), Object(first.value)) << name;
        ASSERT_TRUE(PutRef(emptied.Get(), name, Variant::Object(nullptr)).ok());
        EXPECT_EQ(Object(Get(emptied.Get(), name).value), nullptr) << name;
        ASSERT_TRUE(PutRef(emptied.Get(), name, Variant::Object(Object(first.value))).ok());
        EXPECT_EQ(Object(Get(emptied.Get(), name).value), Object(first.value)) << name;
    }
}

// The host's error reaches the caller, late- or early-bound, with its
// number and description; the value is stored all the same.
TYPED_TEST(EitherFamilyNode, AFailingForwardFailsTheAssignment) {
    Tree<TypeParam> t(L"T{X}");
    TypeParam* x = t[L"X"];
    ASSERT_TRUE(this->Render(t.root.Get()));
    EventRecorder events(x, EventsOf<TypeParam>());
    this->host.FailCall(L"Control#2", L"put 4", 1, 1004, L"Caption refused");
    LateResult r = Put(x, L"Caption", Variant::String(L"Late"));
    EXPECT_EQ(r.hr, DISP_E_EXCEPTION);
    EXPECT_EQ(r.number, 1004);
    EXPECT_EQ(r.description, L"Caption refused");
    EXPECT_EQ(Read(x, &TypeParam::get_Caption), L"Late");

    EXPECT_EQ(this->host.DestroyControl(2), 1);
    EXPECT_EQ(Put(x, L"Caption", Variant::String(L"Gone")).scode, static_cast<HRESULT>(0x8000FFFF));
    EXPECT_EQ(x->put_Enabled(VARIANT_FALSE), static_cast<HRESULT>(0x8000FFFF));
    EXPECT_EQ(PendingDescription(), L"The control has been destroyed");
    EXPECT_EQ(Read(x, &TypeParam::get_Caption), L"Gone");
    EXPECT_FALSE(Flag(x, &TypeParam::get_Enabled));
    EXPECT_EQ(events.Joined(), L"");
}

// ArrayParent (menu) and Parent (toolbar) hold a node of the component
// without keeping it alive (Nothing once it has gone), a host's own node counted.
TYPED_TEST(EitherFamilyNode, TheParentHoldsOnlyAHostsOwnNodeCounted) {
    auto set = [](TypeParam* n, TypeParam* parent) {
        if constexpr (kIsMenu<TypeParam>) return n->putref_ArrayParent(parent);
        else return n->putref_Parent(parent);
    };
    auto get = [](TypeParam* n) {
        if constexpr (kIsMenu<TypeParam>) return Read(n, &_xMenu::get_ArrayParent);
        else return Read(n, &_xToolBar::get_Parent);
    };
    ComPtr<TypeParam> child = NewNode<TypeParam>(), parent = NewNode<TypeParam>();
    MUST(set(child.Get(), parent.Get()));
    EXPECT_TRUE(Same(get(child.Get()).Get(), parent.Get()));
    parent = nullptr;
    EXPECT_FALSE(get(child.Get()));

    int before = Fake<TypeParam>::Alive();
    ComPtr<TypeParam> foreign;
    if constexpr (kIsMenu<TypeParam>) foreign = NewForeignMenu();
    else foreign = NewForeignToolBar();
    MUST(set(child.Get(), foreign.Get()));
    foreign = nullptr;
    EXPECT_EQ(Fake<TypeParam>::Alive(), before + 1);
    EXPECT_TRUE(get(child.Get()));
    MUST(set(child.Get(), nullptr));
    EXPECT_EQ(Fake<TypeParam>::Alive(), before);
}

// Remove by position or key (any letter case); a missing key is error 5, a
// position out of range 9, and nothing moves.
TYPED_TEST(EitherFamilyNode, RemoveByPositionOrKeyAndItsErrors) {
    const struct {
        Variant index;
        HRESULT hr;
        const wchar_t* left;
    } cases[] = {
        {Variant::String(L"B"), S_OK, L"a c "},      {Variant::String(L"b"), S_OK, L"a c "},
        {Variant::Long(1), S_OK, L"b c "},           {Variant::Short(3), S_OK, L"a b "},
        {Variant::String(L"x"), kError5, L"a b c "}, {Variant::String(L""), kError5, L"a b c "},
        {Variant::Long(0), kError9, L"a b c "},      {Variant::Long(4), kError9, L"a b c "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Str(c.index));
        ComPtr<TypeParam> root = NewNode<TypeParam>();
        for (const wchar_t* key : {L"a", L"b", L"c"}) Add(root.Get(), NewNode<TypeParam>(key), key);
        auto entries = EntriesOf(root.Get());
        Variant index = c.index;
        EXPECT_EQ(entries->Remove(index.Get()), c.hr);
        EXPECT_EQ(PendingDescription().empty(), SUCCEEDED(c.hr));
        std::wstring left;
        for (long i = 1; i <= CountOf(entries.Get()); ++i)
            left += Read(ItemAt(entries.Get(), i).Get(), &TypeParam::get_Caption) + L" ";
        EXPECT_EQ(left, c.left);
    }
}

}  // namespace
}  // namespace zuv::test
