#include "db/sqlserver/OdbcApi.h"

#include "core/Error.h"
#include "core/TextCodec.h"
#include "db/AdapterFactories.h"

#include <algorithm>
#include <mutex>
#include <vector>

namespace brivel::db::odbc {

std::shared_ptr<const Api> Api::Load()
{
    static std::mutex mutex;
    static std::shared_ptr<const Api> loaded;
    std::lock_guard lock(mutex);
    if (loaded)
        return loaded;

    auto api = std::make_shared<Api>();
    api->library = ClientLibrary::Load(ClientLibraryFiles(tbSQLServer), "gerenciador ODBC");
    const ClientLibrary& lib = *api->library;
    lib.resolve(api->AllocHandle, "SQLAllocHandle");
    lib.resolve(api->FreeHandle, "SQLFreeHandle");
    lib.resolve(api->SetEnvAttr, "SQLSetEnvAttr");
    lib.resolve(api->DriversW, "SQLDriversW");
    lib.resolve(api->SetConnectAttrW, "SQLSetConnectAttrW");
    lib.resolve(api->DriverConnectW, "SQLDriverConnectW");
    lib.resolve(api->Disconnect, "SQLDisconnect");
    lib.resolve(api->EndTran, "SQLEndTran");
    lib.resolve(api->ExecDirectW, "SQLExecDirectW");
    lib.resolve(api->MoreResults, "SQLMoreResults");
    lib.resolve(api->BindParameter, "SQLBindParameter");
    lib.resolve(api->NumResultCols, "SQLNumResultCols");
    lib.resolve(api->DescribeColW, "SQLDescribeColW");
    lib.resolve(api->Fetch, "SQLFetch");
    lib.resolve(api->GetData, "SQLGetData");
    lib.resolve(api->GetDiagRecW, "SQLGetDiagRecW");
    lib.resolve(api->Cancel, "SQLCancel");
    loaded = std::move(api);
    return loaded;
}

Handle Allocate(const std::shared_ptr<const Api>& api, SQLSMALLINT type, SQLHANDLE parent)
{
    SQLHANDLE h = SQL_NULL_HANDLE;
    const SQLRETURN rc = api->AllocHandle(type, parent, &h);
    if (!Succeeded(rc)) {
        if (type == SQL_HANDLE_ENV || parent == SQL_NULL_HANDLE)
            throw Error("O gerenciador ODBC não conseguiu criar o ambiente (código " + std::to_string(rc) + ").");
        const SQLSMALLINT parentType = type == SQL_HANDLE_DBC ? SQL_HANDLE_ENV : SQL_HANDLE_DBC;
        Fail(*api, parentType, parent, rc, "Falha ao alocar um handle ODBC");
    }
    return Handle(api, type, h);
}

std::u16string Wide(const std::string& utf8) { return Utf8ToUtf16(utf8); }

std::string Narrow(const SQLWCHAR* text, size_t length)
{
    return Utf16ToUtf8(std::u16string(reinterpret_cast<const char16_t*>(text), length));
}

void TooLong(const char* what, size_t length, unsigned long long max)
{
    throw Error(std::string("SQL Server: ") + what + " tem " + std::to_string(length) +
                " unidades de texto (UTF-16); o ODBC aceita no máximo " + std::to_string(max) + ".");
}

FailureCause CauseOf(const std::string& state, SQLINTEGER native)
{
    if (state == "28000")
        return FailureCause::Login;
    if (state == "HYT00" || state == "HYT01")
        return FailureCause::Timeout;
    if (state == "08001" || state == "08S01") {
        switch (native) {
        case 11001: return FailureCause::HostNotFound;      // WSAHOST_NOT_FOUND
        case 10061: return FailureCause::NothingListening;  // WSAECONNREFUSED
        case 10060: return FailureCause::Timeout;           // WSAETIMEDOUT
        default: return FailureCause::Unknown;
        }
    }
    if (state == "42000") {
        switch (native) {
        case 4060: return FailureCause::DatabaseNotFound;  // cannot open the database requested by the login
        case 262:                                          // CREATE TABLE permission denied
        case 229:                                          // permission denied on an object
        case 916:                                          // the login may not use the database
            return FailureCause::NoPrivilege;
        default: return FailureCause::Unknown;
        }
    }
    return FailureCause::Unknown;
}

std::string Diagnostics(const Api& api, SQLSMALLINT type, SQLHANDLE handle, FailureCause* cause)
{
    std::string out;
    if (handle == SQL_NULL_HANDLE)
        return out;
    for (SQLSMALLINT record = 1;; ++record) {
        SQLWCHAR state[6] = {};
        SQLINTEGER native = 0;
        std::vector<SQLWCHAR> text(512);
        SQLSMALLINT length = 0;
        SQLRETURN rc = api.GetDiagRecW(type, handle, record, state, &native, text.data(),
                                       static_cast<SQLSMALLINT>(text.size()), &length);
        if (rc == SQL_SUCCESS_WITH_INFO && length >= static_cast<SQLSMALLINT>(text.size())) {
            // Truncated: ask again with room for the whole text, as far as a SQLSMALLINT reaches.
            text.assign(std::min<size_t>(static_cast<size_t>(length) + 1, std::numeric_limits<SQLSMALLINT>::max()), 0);
            rc = api.GetDiagRecW(type, handle, record, state, &native, text.data(),
                                 Length<SQLSMALLINT>(text.size(), "a mensagem do driver"), &length);
        }
        if (!Succeeded(rc))
            break;
        size_t n = 0;
        while (n < static_cast<size_t>(length) && n < text.size() && text[n] != 0)
            ++n;
        size_t s = 0;
        while (s < 5 && state[s] != 0)
            ++s;
        const std::string sqlState = Narrow(state, s);
        if (cause && *cause == FailureCause::Unknown)
            *cause = CauseOf(sqlState, native);
        std::string line = "[" + sqlState + "] " + Narrow(text.data(), n);
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r' || line.back() == ' '))
            line.pop_back();
        if (!out.empty())
            out += '\n';
        out += line;
    }
    return out;
}

void Fail(const Api& api, SQLSMALLINT type, SQLHANDLE handle, SQLRETURN rc, const std::string& context)
{
    FailureCause cause = FailureCause::Unknown;
    const std::string diag = Diagnostics(api, type, handle, &cause);
    if (diag.empty())
        throw Error((context.empty() ? std::string("Falha no driver ODBC") : context) + " (código de retorno ODBC " +
                    std::to_string(rc) + ").");
    throw Error(context.empty() ? diag : context + ":\n" + diag, cause);
}

} // namespace brivel::db::odbc
