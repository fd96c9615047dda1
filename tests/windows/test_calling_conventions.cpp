// The calling-convention check of the function tables has teeth: on 32-bit
// Windows the traits tell __stdcall from the C convention, so a table declared
// with the wrong one fails the static_assert beside it in src/db. (The 64-bit
// build has one convention only; there these hold trivially.)
#include "db/CallingConvention.h"

using namespace brivel::db;

namespace {
extern "C" int __stdcall StdcallFunction(int);
extern "C" int CdeclFunction(int);
using Stdcall = decltype(&StdcallFunction);
using Cdecl = decltype(&CdeclFunction);
} // namespace

static_assert(IsStdcall<Stdcall>::value && IsCdecl<Cdecl>::value);
#if defined(_WIN32) && !defined(_WIN64)
static_assert(!IsCdecl<Stdcall>::value && !IsStdcall<Cdecl>::value, "the traits must tell the conventions apart");
static_assert(!AllStdcall<Stdcall, Cdecl> && !AllCdecl<Cdecl, Stdcall>);
#endif
