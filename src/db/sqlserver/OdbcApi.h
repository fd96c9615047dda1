#pragma once
// The ODBC driver manager, loaded at run time: the prototypes come from the
// SDK headers, the addresses from the library.
#ifdef _WIN32
#include <windows.h>
#endif
#include <sql.h>
#include <sqlext.h>
#include <sqlucode.h>

#include "core/Error.h"
#include "db/CallingConvention.h"
#include "db/ClientLibrary.h"

#include <limits>
#include <memory>
#include <string>

namespace brivel::db::odbc {

// Text crosses the API as UTF-16 (the W functions): the ANSI ones would go
// through the Windows code page or unixODBC's Latin-1 default.
static_assert(sizeof(SQLWCHAR) == 2, "SQLWCHAR must be UTF-16");

struct Api {
    std::shared_ptr<ClientLibrary> library;

    decltype(&::SQLAllocHandle) AllocHandle = nullptr;
    decltype(&::SQLFreeHandle) FreeHandle = nullptr;
    decltype(&::SQLSetEnvAttr) SetEnvAttr = nullptr;
    decltype(&::SQLDriversW) DriversW = nullptr;
    decltype(&::SQLSetConnectAttrW) SetConnectAttrW = nullptr;
    decltype(&::SQLDriverConnectW) DriverConnectW = nullptr;
    decltype(&::SQLDisconnect) Disconnect = nullptr;
    decltype(&::SQLEndTran) EndTran = nullptr;
    decltype(&::SQLExecDirectW) ExecDirectW = nullptr;
    decltype(&::SQLMoreResults) MoreResults = nullptr;
    decltype(&::SQLBindParameter) BindParameter = nullptr;
    decltype(&::SQLNumResultCols) NumResultCols = nullptr;
    decltype(&::SQLDescribeColW) DescribeColW = nullptr;
    decltype(&::SQLFetch) Fetch = nullptr;
    decltype(&::SQLGetData) GetData = nullptr;
    decltype(&::SQLGetDiagRecW) GetDiagRecW = nullptr;
    decltype(&::SQLCancel) Cancel = nullptr;

    // The driver manager of this platform, loaded once for the process.
    static std::shared_ptr<const Api> Load();
};

// The driver manager exports __stdcall functions on 32-bit Windows (SQL_API).
static_assert(AllStdcall<
    decltype(Api::AllocHandle),
    decltype(Api::FreeHandle),
    decltype(Api::SetEnvAttr),
    decltype(Api::DriversW),
    decltype(Api::SetConnectAttrW),
    decltype(Api::DriverConnectW),
    decltype(Api::Disconnect),
    decltype(Api::EndTran),
    decltype(Api::ExecDirectW),
    decltype(Api::MoreResults),
    decltype(Api::BindParameter),
    decltype(Api::NumResultCols),
    decltype(Api::DescribeColW),
    decltype(Api::Fetch),
    decltype(Api::GetData),
    decltype(Api::GetDiagRecW),
    decltype(Api::Cancel)>,
              "the ODBC function table must use the library's calling convention");

// One ODBC handle, freed with its library's SQLFreeHandle.
class Handle {
public:
    Handle() = default;
    Handle(std::shared_ptr<const Api> api, SQLSMALLINT type, SQLHANDLE h) : api_(std::move(api)), type_(type), h_(h) {}
    ~Handle() { reset(); }
    Handle(Handle&& o) noexcept : api_(std::move(o.api_)), type_(o.type_), h_(o.h_) { o.h_ = SQL_NULL_HANDLE; }
    Handle& operator=(Handle&& o) noexcept
    {
        if (this != &o) {
            reset();
            api_ = std::move(o.api_);
            type_ = o.type_;
            h_ = o.h_;
            o.h_ = SQL_NULL_HANDLE;
        }
        return *this;
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;

    void reset() noexcept
    {
        if (h_ != SQL_NULL_HANDLE && api_)
            api_->FreeHandle(type_, h_);
        h_ = SQL_NULL_HANDLE;
    }
    SQLHANDLE get() const { return h_; }
    SQLSMALLINT type() const { return type_; }
    explicit operator bool() const { return h_ != SQL_NULL_HANDLE; }

private:
    std::shared_ptr<const Api> api_;
    SQLSMALLINT type_ = 0;
    SQLHANDLE h_ = SQL_NULL_HANDLE;
};

// Allocates a handle of `type` under `parent` (SQL_NULL_HANDLE for the environment).
Handle Allocate(const std::shared_ptr<const Api>& api, SQLSMALLINT type, SQLHANDLE parent);

// A diagnostic record's likely cause, from its SQLSTATE and SQL Server's native error number.
FailureCause CauseOf(const std::string& state, SQLINTEGER native);

// Every diagnostic record of the handle, one per line: "[SQLSTATE] text"; the
// first record whose cause is known gives `cause`.
std::string Diagnostics(const Api& api, SQLSMALLINT type, SQLHANDLE handle, FailureCause* cause = nullptr);

// Throws an Error with the handle's diagnostics after `context` (alone when
// `context` is empty), or with the return code when the driver left none.
[[noreturn]] void Fail(const Api& api, SQLSMALLINT type, SQLHANDLE handle, SQLRETURN rc, const std::string& context);

inline bool Succeeded(SQLRETURN rc) { return rc == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO; }

std::u16string Wide(const std::string& utf8);
std::string Narrow(const SQLWCHAR* text, size_t length);

[[noreturn]] void TooLong(const char* what, size_t length, unsigned long long max);

// A length in the integer type of the ODBC argument that takes it. A length that
// does not fit throws: cast, it would wrap to a small or negative one (SQL_NTS
// among them) and the driver would read a truncated text.
template <class T> T Length(size_t length, const char* what)
{
    if (length > static_cast<unsigned long long>(std::numeric_limits<T>::max()))
        TooLong(what, length, static_cast<unsigned long long>(std::numeric_limits<T>::max()));
    return static_cast<T>(length);
}

} // namespace brivel::db::odbc
