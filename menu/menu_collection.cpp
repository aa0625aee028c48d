#include "menu_collection.h"

#include "core/walk.h"
#include "menu_node.h"

namespace zuv {
namespace {

// A number, or a string that reads as one (in the user's locale, as a
// script host reads it).  `value` receives it.
bool ReadsAsNumber(const VARIANT& v, double& value) {
    switch (v.vt) {
    case VT_I1: case VT_UI1: case VT_I2: case VT_UI2: case VT_I4: case VT_UI4: case VT_I8: case VT_UI8:
    case VT_INT: case VT_UINT: case VT_R4: case VT_R8: case VT_CY: case VT_DECIMAL: case VT_BOOL:
    case VT_BSTR: {
        Variant number;
        if (FAILED(VariantChangeTypeEx(number.Get(), const_cast<VARIANT*>(&v), LOCALE_USER_DEFAULT, 0, VT_R8)))
            return false;
        value = number.Get()->dblVal;
        return true;
    }
    default:
        return false;
    }
}

}  // namespace

MenuCollection* STDMETHODCALLTYPE MenuCollection::Self(const void* module_tag) noexcept {
    return module_tag == ModuleTag() ? this : nullptr;
}

std::optional<bool> MenuCollection::CountsFromZeroWithoutCalls() const {
    _xMenu* first = list_.First();
    if (!first) return false;
    const MenuNode* own = tree::Own(first);
    if (!own) return std::nullopt;
    ComPtr<_xMenu> parent;
    VARIANT_BOOL designed = VARIANT_FALSE;
    own->Peek(&_xMenu::get_ArrayParent, parent);
    if (!parent) return false;
    own->Peek(&_xMenu::get_IsMenuDesigned, designed);
    if (!designed) return false;
    const MenuNode* own_parent = tree::Own(parent.Get());
    if (!own_parent) return std::nullopt;
    VARIANT_BOOL base_zero = VARIANT_FALSE;
    own_parent->Peek(&_xMenu::get_IsArrayBaseZero, base_zero);
    return base_zero != VARIANT_FALSE;
}

bool MenuCollection::CountsFromZero() {
    if (std::optional<bool> known = CountsFromZeroWithoutCalls()) return *known;
    // Always the first entry, whichever position was asked for.  The three
    // values are read through its public properties, stopping at the first
    // that does not hold.  An empty entry has no array parent.
    ComPtr<_xMenu> first = list_.At(1);
    if (!first) return false;
    ComPtr<_xMenu> parent;
    Check(first->get_ArrayParent(parent.Out()));
    if (!parent) return false;
    VARIANT_BOOL designed = VARIANT_FALSE;
    Check(first->get_IsMenuDesigned(&designed));
    if (!designed) return false;
    VARIANT_BOOL base_zero = VARIANT_FALSE;
    Check(parent->get_IsArrayBaseZero(&base_zero));
    return base_zero != VARIANT_FALSE;
}

IndexKey MenuCollection::MapIndex(const VARIANT& index) {
    // A number one higher, as a position (error 6 when out of range).
    auto shifted = [](double number) {
        Variant one_higher;
        one_higher.Get()->vt = VT_R8;
        one_higher.Get()->dblVal = number + 1;
        return ReadIndexKey(*one_higher.Get());
    };
    // The common arguments, passed by value, are read in place; a string
    // is not read as a number when the collection is known not to count
    // from zero, as it is a key either way.
    switch (index.vt) {
    case VT_I2:
        return IndexKey::Position(MapPosition(index.iVal));
    case VT_I4:
        return CountsFromZero() ? shifted(index.lVal) : ReadIndexKey(index);
    case VT_BSTR:
        if (CountsFromZeroWithoutCalls() == std::optional<bool>(false)) return ReadIndexKey(index);
        break;
    default:
        break;
    }
    Variant copy;
    if (FAILED(VariantCopyInd(copy.Get(), const_cast<VARIANT*>(&index)))) RaiseError(kErrTypeMismatch);
    double number = 0;
    // The copy becomes a number one higher (a numeric string included).
    if (ReadsAsNumber(*copy.Get(), number) && CountsFromZero()) return shifted(number);
    // Unmapped: a number is a position, a string (numeric or not) a key,
    // which outlives the copy.
    IndexKey key = ReadIndexKey(*copy.Get());
    return key.is_key && key.key != key.owned.Get() ? IndexKey::Copied(key.key) : key;
}

}  // namespace zuv
