// Readable one-line renderings of type-library elements, so that a library
// can be compared with a table of expected lines and every difference shows
// as one mismatching line.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <string>
#include <vector>

#include "frame/wrappers.h"

namespace zuv::test {

std::string Narrow(const wchar_t* text);
std::string GuidText(REFGUID guid);

// Name (member MEMBERID_NIL: the type itself) from GetDocumentation.
std::string NameOf(ITypeInfo* info, MEMBERID member = MEMBERID_NIL);

// A copy of the type's attributes (scalar fields only).
TYPEATTR AttrOf(ITypeInfo* info);

// "<KIND> <Name> <guid> [<flags>]"; a dual interface shows the flags of its
// vtable face (the loader drops oleautomation from the dispatch face).
std::string TypeLine(ITypeInfo* info);

// "long", "BSTR*", "_xMenu**", and for imported types the role name of a
// known library (see typelib_render.cpp), else "{lib} vM.m/{type}".
std::string TypeText(ITypeInfo* context, const TYPEDESC& desc);

// "<slot> <get|put|putref|method> <Name> <memid>[ hidden] (<params>)" for a
// vtable function, "event <Name> <memid> (<params>)" for a dispatch one;
// parameters "[in,out,opt,retval,def=V] <type>[ <name>]".  A function that
// is not a stdcall HRESULT (vtable) or a void method (dispatch) says so.
std::string FunctionText(ITypeInfo* info, UINT index);
std::vector<std::string> Functions(ITypeInfo* info);

// "<Name> = <value>" for each member of an enumeration.
std::vector<std::string> EnumText(ITypeInfo* info);

// "[default,source] <name> <guid>" for each implemented type.
std::vector<std::string> ImplTypesText(ITypeInfo* info);

// The vtable face of a dual interface (null when there is none).
ComPtr<ITypeInfo> VtableFace(ITypeInfo* dispatch);

}  // namespace zuv::test
