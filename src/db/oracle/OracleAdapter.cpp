#include "db/CallingConvention.h"
#include "core/AsciiText.h"
#include "db/AdapterFactories.h"
#include "db/AdapterRegistry.h"

#include "core/Error.h"
#include "db/oracle/OciApi.h"
#include "db/oracle/OracleSql.h"

#include <cctype>
#include <mutex>

namespace brivel::db {

namespace {

// The OCI functions the adapter calls, resolved once when the adapter is made.
struct OciFunctions {
    std::shared_ptr<ClientLibrary> library;

    decltype(&::OCIEnvNlsCreate) EnvNlsCreate = nullptr;
    decltype(&::OCIHandleAlloc) HandleAlloc = nullptr;
    decltype(&::OCIHandleFree) HandleFree = nullptr;
    decltype(&::OCIAttrSet) AttrSet = nullptr;
    decltype(&::OCIAttrGet) AttrGet = nullptr;
    decltype(&::OCIParamGet) ParamGet = nullptr;
    decltype(&::OCIDescriptorFree) DescriptorFree = nullptr;
    decltype(&::OCIServerAttach) ServerAttach = nullptr;
    decltype(&::OCIServerDetach) ServerDetach = nullptr;
    decltype(&::OCISessionBegin) SessionBegin = nullptr;
    decltype(&::OCISessionEnd) SessionEnd = nullptr;
    decltype(&::OCIStmtPrepare2) StmtPrepare2 = nullptr;
    decltype(&::OCIStmtRelease) StmtRelease = nullptr;
    decltype(&::OCIStmtExecute) StmtExecute = nullptr;
    decltype(&::OCIStmtFetch2) StmtFetch2 = nullptr;
    decltype(&::OCIBindByName) BindByName = nullptr;
    decltype(&::OCIDefineByPos) DefineByPos = nullptr;
    decltype(&::OCITransCommit) TransCommit = nullptr;
    decltype(&::OCITransRollback) TransRollback = nullptr;
    decltype(&::OCIErrorGet) ErrorGet = nullptr;
    decltype(&::OCIBreak) Break = nullptr;

    explicit OciFunctions(std::shared_ptr<ClientLibrary> lib) : library(std::move(lib))
    {
        const ClientLibrary& l = *library;
        l.resolve(EnvNlsCreate, "OCIEnvNlsCreate");
        l.resolve(HandleAlloc, "OCIHandleAlloc");
        l.resolve(HandleFree, "OCIHandleFree");
        l.resolve(AttrSet, "OCIAttrSet");
        l.resolve(AttrGet, "OCIAttrGet");
        l.resolve(ParamGet, "OCIParamGet");
        l.resolve(DescriptorFree, "OCIDescriptorFree");
        l.resolve(ServerAttach, "OCIServerAttach");
        l.resolve(ServerDetach, "OCIServerDetach");
        l.resolve(SessionBegin, "OCISessionBegin");
        l.resolve(SessionEnd, "OCISessionEnd");
        l.resolve(StmtPrepare2, "OCIStmtPrepare2");
        l.resolve(StmtRelease, "OCIStmtRelease");
        l.resolve(StmtExecute, "OCIStmtExecute");
        l.resolve(StmtFetch2, "OCIStmtFetch2");
        l.resolve(BindByName, "OCIBindByName");
        l.resolve(DefineByPos, "OCIDefineByPos");
        l.resolve(TransCommit, "OCITransCommit");
        l.resolve(TransRollback, "OCITransRollback");
        l.resolve(ErrorGet, "OCIErrorGet");
        l.resolve(Break, "OCIBreak");
    }
};

// OCI uses the C convention on Windows too.
static_assert(AllCdecl<
    decltype(OciFunctions::EnvNlsCreate),
    decltype(OciFunctions::HandleAlloc),
    decltype(OciFunctions::HandleFree),
    decltype(OciFunctions::AttrSet),
    decltype(OciFunctions::AttrGet),
    decltype(OciFunctions::ParamGet),
    decltype(OciFunctions::DescriptorFree),
    decltype(OciFunctions::ServerAttach),
    decltype(OciFunctions::ServerDetach),
    decltype(OciFunctions::SessionBegin),
    decltype(OciFunctions::SessionEnd),
    decltype(OciFunctions::StmtPrepare2),
    decltype(OciFunctions::StmtRelease),
    decltype(OciFunctions::StmtExecute),
    decltype(OciFunctions::StmtFetch2),
    decltype(OciFunctions::BindByName),
    decltype(OciFunctions::DefineByPos),
    decltype(OciFunctions::TransCommit),
    decltype(OciFunctions::TransRollback),
    decltype(OciFunctions::ErrorGet),
    decltype(OciFunctions::Break)>,
              "the OCI function table must use the library's calling convention");
using Api = std::shared_ptr<const OciFunctions>;

// Every error record of the handle, one per line, as Oracle worded it.
// A record's likely cause, from its ORA- number.
FailureCause CauseOf(sb4 code)
{
    switch (code) {
    case 1017: return FailureCause::Login;             // invalid username/password
    case 12541: return FailureCause::NothingListening; // no listener
    case 12545: return FailureCause::HostNotFound;     // target host or object does not exist
    case 12170:                                        // connect timeout
    case 12535: return FailureCause::Timeout;          // operation timed out
    case 12514:                                        // listener does not know the service
    case 12505: return FailureCause::DatabaseNotFound; // listener does not know the SID
    case 1031:                                         // insufficient privileges
    case 1045:                                         // lacks CREATE SESSION
    case 1950: return FailureCause::NoPrivilege;       // no privileges on tablespace
    default: return FailureCause::Unknown;
    }
}

std::string ErrorRecords(const OciFunctions& oci, void* handle, ub4 type, FailureCause* cause = nullptr)
{
    std::string out;
    if (!handle)
        return out;
    for (ub4 record = 1;; ++record) {
        OraText text[OCI_ERROR_MAXMSG_SIZE2] = {};
        sb4 code = 0;
        if (oci.ErrorGet(handle, record, nullptr, &code, text, sizeof text, type) != OCI_SUCCESS)
            break;
        if (cause && *cause == FailureCause::Unknown)
            *cause = CauseOf(code);
        std::string line(reinterpret_cast<const char*>(text));
        while (!line.empty() && std::isspace(static_cast<unsigned char>(line.back())))
            line.pop_back();
        if (line.empty())
            line = "ORA-" + std::to_string(code);
        if (!out.empty())
            out += '\n';
        out += line;
    }
    return out;
}

[[noreturn]] void Throw(const OciFunctions& oci, sword rc, void* handle, ub4 type, const std::string& context)
{
    FailureCause cause = FailureCause::Unknown;
    std::string text = rc == OCI_INVALID_HANDLE ? std::string() : ErrorRecords(oci, handle, type, &cause);
    if (text.empty())
        text = "OCI retornou o código " + std::to_string(rc) + ".";
    throw Error(context.empty() ? text : context + ":\n" + text, cause);
}

bool Ok(sword rc) { return rc == OCI_SUCCESS || rc == OCI_SUCCESS_WITH_INFO; }

// One OCI handle, freed with OCIHandleFree.
class Handle {
public:
    Handle(Api oci, ub4 type) : oci_(std::move(oci)), type_(type) {}
    ~Handle()
    {
        if (h_)
            oci_->HandleFree(h_, type_);
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;

    void** out() { return &h_; }
    template <class T>
    T* as() const
    {
        return static_cast<T*>(h_);
    }
    void* get() const { return h_; }
    ub4 type() const { return type_; }

private:
    Api oci_;
    ub4 type_;
    void* h_ = nullptr;
};

// The server attachment and the user session, ended before their handles are freed.
struct Session {
    explicit Session(const Api& oci)
        : oci(oci), env(oci, OCI_HTYPE_ENV), err(oci, OCI_HTYPE_ERROR), server(oci, OCI_HTYPE_SERVER),
          service(oci, OCI_HTYPE_SVCCTX), user(oci, OCI_HTYPE_SESSION), breakErr(oci, OCI_HTYPE_ERROR)
    {
    }
    ~Session()
    {
        if (loggedOn)
            oci->SessionEnd(service.as<OCISvcCtx>(), err.as<OCIError>(), user.as<OCISession>(), OCI_DEFAULT);
        if (attached)
            oci->ServerDetach(server.as<OCIServer>(), err.as<OCIError>(), OCI_DEFAULT);
        // Members then go in reverse: session, service, server, error, environment.
    }

    Api oci;
    Handle env;
    Handle err;
    Handle server;
    Handle service;
    Handle user;
    Handle breakErr;  // OCIBreak's own, as it runs beside a call using `err`
    bool attached = false;
    bool loggedOn = false;
};

// A statement from OCIStmtPrepare2, handed back with OCIStmtRelease.
class Statement {
public:
    Statement(const Session& s, const std::string& sql) : s_(s)
    {
        const sword rc = s_.oci->StmtPrepare2(s_.service.as<OCISvcCtx>(), &stmt_, s_.err.as<OCIError>(),
                                              reinterpret_cast<const OraText*>(sql.data()),
                                              static_cast<ub4>(sql.size()), nullptr, 0, OCI_NTV_SYNTAX, OCI_DEFAULT);
        if (!Ok(rc)) {
            // A failed prepare may still hand out a handle that must go back.
            release();
            Throw(*s_.oci, rc, s_.err.get(), OCI_HTYPE_ERROR, "");
        }
    }
    ~Statement() { release(); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    OCIStmt* get() const { return stmt_; }

private:
    void release()
    {
        if (stmt_)
            s_.oci->StmtRelease(stmt_, s_.err.as<OCIError>(), nullptr, 0, OCI_DEFAULT);
        stmt_ = nullptr;
    }
    const Session& s_;
    OCIStmt* stmt_ = nullptr;
};

// A select-list parameter descriptor from OCIParamGet.
class ParamDescriptor {
public:
    explicit ParamDescriptor(const Api& oci) : oci_(oci) {}
    ~ParamDescriptor()
    {
        if (p_)
            oci_->DescriptorFree(p_, OCI_DTYPE_PARAM);
    }
    ParamDescriptor(const ParamDescriptor&) = delete;
    ParamDescriptor& operator=(const ParamDescriptor&) = delete;
    void** out() { return &p_; }
    void* get() const { return p_; }

private:
    const Api& oci_;
    void* p_ = nullptr;
};

// OCIBreak stops, from another thread, the call running on a service context.
class OracleCanceller final : public Canceller {
public:
    OracleCanceller(Api oci, const Session& s)
        : oci_(std::move(oci)), service_(s.service.get()), err_(s.breakErr.as<OCIError>())
    {
    }
    void cancel() noexcept override
    {
        std::lock_guard lock(mutex_);
        if (service_)
            oci_->Break(service_, err_);
    }
    void forget() noexcept
    {
        std::lock_guard lock(mutex_);
        service_ = nullptr;
    }

private:
    Api oci_;
    std::mutex mutex_;
    void* service_;
    OCIError* err_;
};

class OracleAdapter final : public DbAdapter {
public:
    // `home` is kept but not applied: the library is named in full by the link and
    // finds the rest of the Instant Client beside itself (Windows: PATH; Linux:
    // the loader's search from libclntsh), and the connect descriptor is complete,
    // so no ORACLE_HOME or TNS_ADMIN is needed. Setting ORACLE_HOME for the whole
    // process could instead steer a full client installed on the machine.
    OracleAdapter(std::shared_ptr<ClientLibrary> library, std::string home)
        : oci_(std::make_shared<const OciFunctions>(std::move(library))), home_(std::move(home))
    {
    }
    ~OracleAdapter() override { close(); }

    void open(const ConnectionDefinition& def) override
    {
        close();
        auto s = std::make_unique<Session>(oci_);

        OCIEnv* env = nullptr;
        sword rc = oci_->EnvNlsCreate(&env, OCI_DEFAULT, nullptr, nullptr, nullptr, nullptr, 0, nullptr,
                                      OCI_AL32UTF8_ID, OCI_AL32UTF8_ID);
        *s->env.out() = env;
        if (!Ok(rc))
            Throw(*oci_, rc, env, OCI_HTYPE_ENV, "Não foi possível iniciar o ambiente do Oracle Client");

        for (Handle* h : {&s->err, &s->server, &s->service, &s->user, &s->breakErr}) {
            rc = oci_->HandleAlloc(env, h->out(), h->type(), 0, nullptr);
            if (!Ok(rc))
                Throw(*oci_, rc, env, OCI_HTYPE_ENV, "Não foi possível alocar os recursos do Oracle Client");
        }
        OCIError* err = s->err.as<OCIError>();

        const std::string database = WithConnectTimeout(def.value("Database"));
        rc = oci_->ServerAttach(s->server.as<OCIServer>(), err, reinterpret_cast<const OraText*>(database.data()),
                                static_cast<sb4>(database.size()), OCI_DEFAULT);
        if (!Ok(rc))
            Throw(*oci_, rc, err, OCI_HTYPE_ERROR, "Não foi possível conectar ao Oracle");
        s->attached = true;

        Check(oci_->AttrSet(s->service.get(), OCI_HTYPE_SVCCTX, s->server.get(), 0, OCI_ATTR_SERVER, err), *s,
              "Não foi possível conectar ao Oracle");
        std::string user = def.value("User_Name");
        std::string password = def.value("Password");
        Check(oci_->AttrSet(s->user.get(), OCI_HTYPE_SESSION, user.data(), static_cast<ub4>(user.size()),
                            OCI_ATTR_USERNAME, err),
              *s, "Não foi possível conectar ao Oracle");
        Check(oci_->AttrSet(s->user.get(), OCI_HTYPE_SESSION, password.data(), static_cast<ub4>(password.size()),
                            OCI_ATTR_PASSWORD, err),
              *s, "Não foi possível conectar ao Oracle");
        rc = oci_->SessionBegin(s->service.as<OCISvcCtx>(), err, s->user.as<OCISession>(), OCI_CRED_RDBMS,
                                OCI_DEFAULT);
        password.assign(password.size(), '\0');
        Check(rc, *s, "Não foi possível conectar ao Oracle");
        s->loggedOn = true;
        Check(oci_->AttrSet(s->service.get(), OCI_HTYPE_SVCCTX, s->user.get(), 0, OCI_ATTR_SESSION, err), *s,
              "Não foi possível conectar ao Oracle");

        canceller_ = std::make_shared<OracleCanceller>(oci_, *s);
        session_ = std::move(s);
        inTransaction_ = false;
    }

    std::shared_ptr<Canceller> canceller() const override { return canceller_; }

    void close() noexcept override
    {
        if (canceller_)
            canceller_->forget();
        canceller_.reset();
        if (session_ && inTransaction_)
            // Explicit: what a logoff does to pending work is not ours to leave to chance.
            oci_->TransRollback(session_->service.as<OCISvcCtx>(), session_->err.as<OCIError>(), OCI_DEFAULT);
        session_.reset();
        inTransaction_ = false;
    }

    bool isOpen() const override { return session_ != nullptr; }

    void execute(const std::string& sql) override
    {
        const Session& s = open_();
        Statement stmt(s, sql);
        ub2 type = 0;
        Check(oci_->AttrGet(stmt.get(), OCI_HTYPE_STMT, &type, nullptr, OCI_ATTR_STMT_TYPE, s.err.as<OCIError>()), s,
              "");
        // A query runs with no iterations; anything else once. Outside a transaction
        // each statement commits itself, as a statement in autocommit would.
        const ub4 iterations = type == OCI_STMT_SELECT ? 0 : 1;
        const ub4 mode = inTransaction_ ? OCI_DEFAULT : OCI_COMMIT_ON_SUCCESS;
        Check(oci_->StmtExecute(s.service.as<OCISvcCtx>(), stmt.get(), s.err.as<OCIError>(), iterations, 0, nullptr,
                                nullptr, mode),
              s, "");
    }

    void startTransaction() override
    {
        open_();
        // Oracle opens a transaction with the first change; this only stops the commits.
        inTransaction_ = true;
    }

    void commit() override
    {
        const Session& s = open_();
        if (!inTransaction_)
            return;
        // A failed commit leaves the transaction open for the caller's rollback.
        Check(oci_->TransCommit(s.service.as<OCISvcCtx>(), s.err.as<OCIError>(), OCI_DEFAULT), s,
              "Falha ao confirmar a transação");
        inTransaction_ = false;
    }

    void rollback() override
    {
        const Session& s = open_();
        if (!inTransaction_)
            return;
        inTransaction_ = false;
        Check(oci_->TransRollback(s.service.as<OCISvcCtx>(), s.err.as<OCIError>(), OCI_DEFAULT), s,
              "Falha ao desfazer a transação");
    }

    bool inTransaction() const override { return inTransaction_; }

    std::string parameterMarker(const std::string& name) const override { return ":" + name; }

    long long queryInt(const std::string& sql, const std::string& value, const std::string& column) override
    {
        const Session& s = open_();
        OCIError* err = s.err.as<OCIError>();
        Statement stmt(s, sql);

        std::string bound = value;
        // Oracle reads an empty text as NULL; say so rather than pass a zero length.
        sb2 boundIndicator = bound.empty() ? -1 : 0;
        const std::string placeholder = FirstBindPlaceholder(sql);
        if (!placeholder.empty()) {
            OCIBind* bind = nullptr;
            Check(oci_->BindByName(stmt.get(), &bind, err, reinterpret_cast<const OraText*>(placeholder.data()),
                                   static_cast<sb4>(placeholder.size()), bound.data(), static_cast<sb4>(bound.size()),
                                   SQLT_CHR, &boundIndicator, nullptr, nullptr, 0, nullptr, OCI_DEFAULT),
                  s, "");
        }
        Check(oci_->StmtExecute(s.service.as<OCISvcCtx>(), stmt.get(), err, 0, 0, nullptr, nullptr, OCI_DEFAULT), s,
              "");

        const ub4 position = FindColumn(s, stmt.get(), column);
        sb8 result = 0;
        sb2 indicator = 0;
        OCIDefine* define = nullptr;
        Check(oci_->DefineByPos(stmt.get(), &define, err, position, &result, sizeof result, SQLT_INT, &indicator,
                                nullptr, nullptr, OCI_DEFAULT),
              s, "");
        const sword rc = oci_->StmtFetch2(stmt.get(), err, 1, OCI_FETCH_NEXT, 0, OCI_DEFAULT);
        if (rc == OCI_NO_DATA)
            throw Error(NoRowText());
        Check(rc, s, "");
        if (indicator == -1)
            throw Error(NullValueText(column));
        return result;
    }

private:
    const Session& open_() const
    {
        if (!session_)
            throw Error("A conexão com o Oracle não está aberta.");
        return *session_;
    }

    void Check(sword rc, const Session& s, const std::string& context) const
    {
        if (!Ok(rc))
            Throw(*oci_, rc, s.err.get(), OCI_HTYPE_ERROR, context);
    }

    ub4 FindColumn(const Session& s, OCIStmt* stmt, const std::string& column) const
    {
        OCIError* err = s.err.as<OCIError>();
        ub4 count = 0;
        Check(oci_->AttrGet(stmt, OCI_HTYPE_STMT, &count, nullptr, OCI_ATTR_PARAM_COUNT, err), s, "");
        const std::string wanted = UpperAscii(column);
        for (ub4 pos = 1; pos <= count; ++pos) {
            ParamDescriptor param(oci_);
            Check(oci_->ParamGet(stmt, OCI_HTYPE_STMT, err, param.out(), pos), s, "");
            OraText* name = nullptr;
            ub4 length = 0;
            Check(oci_->AttrGet(param.get(), OCI_DTYPE_PARAM, &name, &length, OCI_ATTR_NAME, err), s, "");
            if (name && UpperAscii(std::string(reinterpret_cast<const char*>(name), length)) == wanted)
                return pos;
        }
        throw Error(MissingColumnText(column));
    }

    Api oci_;
    [[maybe_unused]] std::string home_;
    std::unique_ptr<Session> session_;
    bool inTransaction_ = false;
    std::shared_ptr<OracleCanceller> canceller_;
};

} // namespace

std::unique_ptr<DbAdapter> CreateOracleAdapter(std::shared_ptr<ClientLibrary> oci, std::string home)
{
    if (!oci)
        throw Error("A biblioteca cliente do Oracle não foi carregada.");
    return std::make_unique<OracleAdapter>(std::move(oci), std::move(home));
}

// This kind's entry in the adapters the build compiles.
namespace oracle {
const AdapterRegistration& Registration()
{
    static const AdapterRegistration registration{tbOracle, [](DriverLink* link) {
        return CreateOracleAdapter(link->library(), link->VendorHome);
    }};
    return registration;
}
} // namespace oracle

} // namespace brivel::db
