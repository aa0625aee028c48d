// Readable one-line renderings of type-library elements, so that a library
// can be compared with a table of expected lines and every difference shows
// as one mismatching line.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <string>
#include <vector>

namespace zuv::test {

std::string Narrow(const wchar_t* text);
std::string GuidText(REFGUID guid);

// Name (member MEMBERID_NIL: the type itself) from GetDocumentation.
std::string NameOf(ITypeInfo* info, MEMBERID member = MEMBERID_NIL);

// "long", "BSTR*", "_xMenu**", and for imported types the role name of a
// known library (see typelib_render.cpp), else "{lib}/{type}".
std::string TypeText(ITypeInfo* context, const TYPEDESC& desc);

// "<slot> <get|put|putref|method> <Name> <memid>[ hidden] (<params>)" for a
// vtable function, "event <Name> <memid> (<params>)" for a dispatch one.
// Parameters: "[in,out,opt,retval,def=V] <type>[ <name>]".
std::string FunctionText(ITypeInfo* info, UINT index);

// "<Name> = <value>" for each member of an enumeration.
std::vector<std::string> EnumText(ITypeInfo* info);

// "[default,source] <name> <guid>" for each implemented type of a coclass.
std::vector<std::string> ImplTypesText(ITypeInfo* info);

}  // namespace zuv::test
