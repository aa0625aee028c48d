#include "menu_collection.h"

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

bool MenuCollection::CountsFromZero() {
    if (list_.Count() == 0) return false;
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
    Variant copy;
    if (FAILED(VariantCopyInd(copy.Get(), const_cast<VARIANT*>(&index)))) RaiseError(kErrTypeMismatch);
    double number = 0;
    if (ReadsAsNumber(*copy.Get(), number) && CountsFromZero()) {
        // The copy becomes a number one higher (a numeric string included).
        Variant shifted;
        shifted.Get()->vt = VT_R8;
        shifted.Get()->dblVal = number + 1;
        return ReadIndexKey(*shifted.Get());
    }
    // Unmapped: a number is a position, a string (numeric or not) a key.
    return ReadIndexKey(*copy.Get());
}

}  // namespace zuv
