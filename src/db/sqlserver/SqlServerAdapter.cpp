#include "db/AdapterFactories.h"
#include "db/AdapterRegistry.h"

#include "core/AsciiText.h"
#include "core/Error.h"
#include "db/sqlserver/OdbcApi.h"
#include "db/sqlserver/SqlServerDriver.h"

#include <algorithm>
#include <mutex>
#include <vector>

namespace brivel::db {

namespace {

using odbc::Allocate;
using odbc::Fail;
using odbc::Succeeded;

// Long enough for a distant server, short enough that a wrong address does not
// look like a hung wizard.
constexpr SQLULEN kLoginTimeoutSeconds = 15;
// Requests other than queries (the driver's own round trips, the commit).
constexpr SQLULEN kConnectionTimeoutSeconds = 30;

SQLPOINTER IntAttr(SQLULEN v) { return reinterpret_cast<SQLPOINTER>(v); }

SQLWCHAR* W(std::u16string& s) { return reinterpret_cast<SQLWCHAR*>(s.data()); }

// SQLCancel, called from another thread, stops the function running on a
// statement handle; the adapter says which statement that is.
class OdbcCanceller final : public Canceller {
public:
    explicit OdbcCanceller(std::shared_ptr<const odbc::Api> api) : api_(std::move(api)) {}
    void cancel() noexcept override
    {
        std::lock_guard lock(mutex_);
        if (statement_ != SQL_NULL_HANDLE)
            api_->Cancel(statement_);
    }
    void use(SQLHSTMT statement) noexcept
    {
        std::lock_guard lock(mutex_);
        statement_ = statement;
    }

    // The statement of one call, known to the canceller until it is freed.
    class InUse {
    public:
        InUse(const std::shared_ptr<OdbcCanceller>& c, const odbc::Handle& stmt) : c_(c) { c_->use(stmt.get()); }
        ~InUse() { c_->use(SQL_NULL_HANDLE); }
        InUse(const InUse&) = delete;
        InUse& operator=(const InUse&) = delete;

    private:
        std::shared_ptr<OdbcCanceller> c_;
    };

private:
    std::shared_ptr<const odbc::Api> api_;
    std::mutex mutex_;
    SQLHSTMT statement_ = SQL_NULL_HANDLE;
};

class SqlServerAdapter final : public DbAdapter {
public:
    ~SqlServerAdapter() override { close(); }

    void open(const ConnectionDefinition& def) override
    {
        close();
        api_ = odbc::Api::Load();
        odbc::Handle env = Allocate(api_, SQL_HANDLE_ENV, SQL_NULL_HANDLE);
        SQLRETURN rc = api_->SetEnvAttr(env.get(), SQL_ATTR_ODBC_VERSION, IntAttr(SQL_OV_ODBC3), 0);
        if (!Succeeded(rc))
            Fail(*api_, SQL_HANDLE_ENV, env.get(), rc, "O gerenciador ODBC recusou a versão 3 da interface");

        const std::string driver = ChooseSqlServerDriver(InstalledDrivers(env));

        odbc::Handle dbc = Allocate(api_, SQL_HANDLE_DBC, env.get());
        // Drivers without these attributes still connect; their own defaults then apply.
        api_->SetConnectAttrW(dbc.get(), SQL_ATTR_LOGIN_TIMEOUT, IntAttr(kLoginTimeoutSeconds), SQL_IS_UINTEGER);
        api_->SetConnectAttrW(dbc.get(), SQL_ATTR_CONNECTION_TIMEOUT, IntAttr(kConnectionTimeoutSeconds),
                              SQL_IS_UINTEGER);

        std::u16string in = odbc::Wide(SqlServerConnectionString(driver, def));
        SQLSMALLINT outLength = 0;
        rc = api_->DriverConnectW(dbc.get(), nullptr, W(in), odbc::Length<SQLSMALLINT>(in.size(), "a cadeia de conexão"),
                                  nullptr, 0, &outLength, SQL_DRIVER_NOPROMPT);
        if (!Succeeded(rc))
            Fail(*api_, SQL_HANDLE_DBC, dbc.get(), rc, "Não foi possível conectar ao SQL Server (driver " + driver + ")");

        env_ = std::move(env);
        dbc_ = std::move(dbc);
        connected_ = true;
        canceller_ = std::make_shared<OdbcCanceller>(api_);
    }

    std::shared_ptr<Canceller> canceller() const override { return canceller_; }

    void close() noexcept override
    {
        if (!api_)
            return;
        if (dbc_) {
            // A disconnect with a transaction pending is refused (25000).
            if (manualCommit_)
                api_->EndTran(SQL_HANDLE_DBC, dbc_.get(), SQL_ROLLBACK);
            if (connected_)
                api_->Disconnect(dbc_.get());
        }
        dbc_.reset();
        env_.reset();
        canceller_.reset();
        connected_ = false;
        manualCommit_ = false;
        inTransaction_ = false;
    }

    bool isOpen() const override { return connected_; }

    void execute(const std::string& sql) override
    {
        odbc::Handle stmt = NewStatement();
        const OdbcCanceller::InUse inUse(canceller_, stmt);
        std::u16string text = odbc::Wide(sql);
        SQLRETURN rc = api_->ExecDirectW(stmt.get(), W(text), odbc::Length<SQLINTEGER>(text.size(), "o comando"));
        if (rc != SQL_NO_DATA && !Succeeded(rc))
            Fail(*api_, SQL_HANDLE_STMT, stmt.get(), rc, "");
        // SQL Server reports errors of later results in a batch only when they are reached.
        while ((rc = api_->MoreResults(stmt.get())) != SQL_NO_DATA)
            if (!Succeeded(rc))
                Fail(*api_, SQL_HANDLE_STMT, stmt.get(), rc, "");
    }

    void startTransaction() override
    {
        RequireOpen();
        if (inTransaction_)
            return;
        SetAutocommit(false);
        inTransaction_ = true;
    }

    void commit() override
    {
        RequireOpen();
        if (!inTransaction_)
            return;
        const SQLRETURN rc = api_->EndTran(SQL_HANDLE_DBC, dbc_.get(), SQL_COMMIT);
        // A failed commit leaves the transaction open for the caller's rollback.
        if (!Succeeded(rc))
            Fail(*api_, SQL_HANDLE_DBC, dbc_.get(), rc, "Falha ao confirmar a transação");
        inTransaction_ = false;
        SetAutocommit(true);
    }

    void rollback() override
    {
        RequireOpen();
        if (!inTransaction_)
            return;
        inTransaction_ = false;
        const SQLRETURN rc = api_->EndTran(SQL_HANDLE_DBC, dbc_.get(), SQL_ROLLBACK);
        // Switching autocommit back on commits whatever is pending: only after a rollback that worked.
        if (!Succeeded(rc))
            Fail(*api_, SQL_HANDLE_DBC, dbc_.get(), rc, "Falha ao desfazer a transação");
        SetAutocommit(true);
    }

    bool inTransaction() const override { return inTransaction_; }

    std::string parameterMarker(const std::string&) const override { return "?"; }

    long long queryInt(const std::string& sql, const std::string& value, const std::string& column) override
    {
        odbc::Handle stmt = NewStatement();
        const OdbcCanceller::InUse inUse(canceller_, stmt);
        std::u16string param = odbc::Wide(value);
        SQLLEN paramLength = odbc::Length<SQLLEN>(param.size() * sizeof(SQLWCHAR), "o parâmetro da consulta");
        SQLRETURN rc = api_->BindParameter(stmt.get(), 1, SQL_PARAM_INPUT, SQL_C_WCHAR, SQL_WVARCHAR,
                                           std::max<SQLULEN>(param.size(), 1), 0, W(param),
                                           odbc::Length<SQLLEN>((param.size() + 1) * sizeof(SQLWCHAR),
                                                                "o parâmetro da consulta"),
                                           &paramLength);
        if (!Succeeded(rc))
            Fail(*api_, SQL_HANDLE_STMT, stmt.get(), rc, "Falha ao associar o parâmetro da consulta");

        std::u16string text = odbc::Wide(sql);
        rc = api_->ExecDirectW(stmt.get(), W(text), odbc::Length<SQLINTEGER>(text.size(), "a consulta"));
        if (!Succeeded(rc))
            Fail(*api_, SQL_HANDLE_STMT, stmt.get(), rc, "");

        const SQLUSMALLINT index = FindColumn(stmt.get(), column);
        rc = api_->Fetch(stmt.get());
        if (rc == SQL_NO_DATA)
            throw Error(NoRowText());
        if (!Succeeded(rc))
            Fail(*api_, SQL_HANDLE_STMT, stmt.get(), rc, "");

        SQLBIGINT result = 0;
        SQLLEN indicator = 0;
        rc = api_->GetData(stmt.get(), index, SQL_C_SBIGINT, &result, sizeof result, &indicator);
        if (!Succeeded(rc))
            Fail(*api_, SQL_HANDLE_STMT, stmt.get(), rc, "Falha ao ler a coluna " + column);
        if (indicator == SQL_NULL_DATA)
            throw Error(NullValueText(column));
        return result;
    }

private:
    std::vector<std::string> InstalledDrivers(const odbc::Handle& env)
    {
        std::vector<std::string> names;
        SQLUSMALLINT direction = SQL_FETCH_FIRST;
        for (;;) {
            SQLWCHAR name[512] = {};
            SQLWCHAR attributes[2] = {};
            SQLSMALLINT nameLength = 0, attributesLength = 0;
            // The attribute list is not needed: its truncation (01004) is expected.
            const SQLRETURN rc = api_->DriversW(env.get(), direction, name, 512, &nameLength, attributes, 2,
                                                &attributesLength);
            if (rc == SQL_NO_DATA)
                break;
            if (!Succeeded(rc))
                Fail(*api_, SQL_HANDLE_ENV, env.get(), rc, "Não foi possível listar os drivers ODBC instalados");
            names.push_back(odbc::Narrow(name, std::min<size_t>(std::max<SQLSMALLINT>(nameLength, 0), 511)));
            direction = SQL_FETCH_NEXT;
        }
        return names;
    }

    void RequireOpen() const
    {
        if (!connected_)
            throw Error("A conexão com o SQL Server não está aberta.");
    }

    odbc::Handle NewStatement()
    {
        RequireOpen();
        return Allocate(api_, SQL_HANDLE_STMT, dbc_.get());
    }

    void SetAutocommit(bool on)
    {
        manualCommit_ = !on;
        const SQLRETURN rc = api_->SetConnectAttrW(dbc_.get(), SQL_ATTR_AUTOCOMMIT,
                                                   IntAttr(on ? SQL_AUTOCOMMIT_ON : SQL_AUTOCOMMIT_OFF),
                                                   SQL_IS_UINTEGER);
        if (!Succeeded(rc)) {
            manualCommit_ = on;
            Fail(*api_, SQL_HANDLE_DBC, dbc_.get(), rc,
                 on ? "Falha ao voltar ao modo de confirmação automática" : "Falha ao iniciar a transação");
        }
    }

    SQLUSMALLINT FindColumn(SQLHSTMT stmt, const std::string& column)
    {
        SQLSMALLINT count = 0;
        SQLRETURN rc = api_->NumResultCols(stmt, &count);
        if (!Succeeded(rc))
            Fail(*api_, SQL_HANDLE_STMT, stmt, rc, "");
        const std::string wanted = UpperAscii(column);
        for (SQLUSMALLINT i = 1; i <= static_cast<SQLUSMALLINT>(std::max<SQLSMALLINT>(count, 0)); ++i) {
            SQLWCHAR name[256] = {};
            SQLSMALLINT nameLength = 0, type = 0, digits = 0, nullable = 0;
            SQLULEN size = 0;
            rc = api_->DescribeColW(stmt, i, name, 256, &nameLength, &type, &size, &digits, &nullable);
            if (!Succeeded(rc))
                Fail(*api_, SQL_HANDLE_STMT, stmt, rc, "");
            const size_t n = std::min<size_t>(std::max<SQLSMALLINT>(nameLength, 0), 255);
            if (UpperAscii(odbc::Narrow(name, n)) == wanted)
                return i;
        }
        throw Error(MissingColumnText(column));
    }

    std::shared_ptr<const odbc::Api> api_;
    odbc::Handle env_;
    odbc::Handle dbc_;
    bool connected_ = false;
    bool manualCommit_ = false;
    bool inTransaction_ = false;
    std::shared_ptr<OdbcCanceller> canceller_;
};

} // namespace

std::unique_ptr<DbAdapter> CreateSqlServerAdapter() { return std::make_unique<SqlServerAdapter>(); }

// This kind's entry in the adapters the build compiles.
namespace sqlserver {
const AdapterRegistration& Registration()
{
    static const AdapterRegistration registration{tbSQLServer, [](DriverLink*) {
        return CreateSqlServerAdapter();
    }};
    return registration;
}
} // namespace sqlserver

} // namespace brivel::db
