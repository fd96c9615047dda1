#pragma once
// On 32-bit Windows the calling convention is part of a function pointer's type,
// and a table entry whose convention differs from the library's corrupts the
// stack at the first call. Each function table states its library's convention
// with these traits in a static_assert, so a wrong declaration stops the
// 32-bit build. Elsewhere there is only one convention and they always hold.
#include <type_traits>

namespace brivel::db {

template <class Fn>
struct IsStdcall : std::false_type {};
template <class Fn>
struct IsCdecl : std::false_type {};

#if defined(_WIN32) && !defined(_WIN64)
template <class R, class... A>
struct IsStdcall<R(__stdcall*)(A...)> : std::true_type {};
template <class R, class... A>
struct IsCdecl<R(__cdecl*)(A...)> : std::true_type {};
#else
template <class R, class... A>
struct IsStdcall<R (*)(A...)> : std::true_type {};
template <class R, class... A>
struct IsCdecl<R (*)(A...)> : std::true_type {};
#endif

// The vendors' conventions on 32-bit Windows: the Firebird ISC API, ODBC (SQL_API)
// and the MySQL C API (STDCALL) are __stdcall; libpq and OCI use the C convention.
template <class... Fn>
inline constexpr bool AllStdcall = (IsStdcall<Fn>::value && ...);
template <class... Fn>
inline constexpr bool AllCdecl = (IsCdecl<Fn>::value && ...);

} // namespace brivel::db
