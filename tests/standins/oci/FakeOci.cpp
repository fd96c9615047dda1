// A stand-in for Oracle's client library (libclntsh), for testing the Oracle
// adapter's own code where no Oracle exists. It exports the OCI functions the
// adapter calls and fakes just enough of a server behind them:
//  - the login is "tiger" for any user; any other password is ORA-01017;
//  - a descriptor holding (HOST=nowhere) cannot be reached (ORA-12545);
//  - CREATE TABLE / DROP TABLE change a set of tables (with their column names)
//    and commit pending work first, as Oracle's DDL does (ORA-00955, ORA-00942
//    when they cannot);
//  - INSERT INTO adds a pending row to an existing table, kept by a commit
//    (OCITransCommit or OCI_COMMIT_ON_SUCCESS) and dropped by a rollback;
//  - UPDATE of an existing table succeeds (values are not kept);
//  - a statement whose first words are a line of fakeoci-recusa.txt beside the
//    library ("UPDATE", "CREATE TABLE API_USUARIOS") is ORA-00900, as a statement
//    the server does not know;
//  - SELECT <integer or NULL> alias FROM DUAL [WHERE :name = '<text>'] gives one
//    row, or none when the bound text is another;
//  - SELECT COUNT(*) [alias] FROM USER_TABLES ... :name counts the tables named
//    by the bound text (upper-cased); FROM USER_TAB_COLUMNS ... '<table>' ... :name
//    counts that table's columns named so; FROM <table> counts its rows;
//  - a statement holding /*ERRO_RECURSIVO*/ fails with two error records;
//  - a statement holding /*ESPERA*/ waits (at most two minutes) until OCIBreak
//    is called from another thread, then fails with ORA-01013;
//  - anything else is ORA-00900.
// Every call worth checking is appended to fakeoci.log beside the library file,
// so that each copy of the library, loaded from its own folder, logs apart.
#pragma GCC visibility push(default)
#include "db/oracle/OciApi.h"
#pragma GCC visibility pop

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

#include <algorithm>
#include <cctype>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr ub4 kMagic = 0x0C1F4CEu;

struct Obj {
    ub4 magic = kMagic;
    ub4 type;
    explicit Obj(ub4 t) : type(t) {}
    virtual ~Obj() { magic = 0; }
};

struct ErrorObj : Obj {
    ErrorObj() : Obj(OCI_HTYPE_ERROR) {}
    std::vector<std::pair<sb4, std::string>> records;
};
struct EnvObj : Obj {
    EnvObj() : Obj(OCI_HTYPE_ENV) {}
    std::vector<std::pair<sb4, std::string>> records;
};
struct ServerObj : Obj {
    ServerObj() : Obj(OCI_HTYPE_SERVER) {}
    bool attached = false;
};
struct SessionObj : Obj {
    SessionObj() : Obj(OCI_HTYPE_SESSION) {}
    std::string user, password;
    bool begun = false;
};
struct SvcObj : Obj {
    SvcObj() : Obj(OCI_HTYPE_SVCCTX) {}
    ServerObj* server = nullptr;
    SessionObj* session = nullptr;
};
struct BindObj : Obj {
    BindObj() : Obj(OCI_HTYPE_BIND) {}
    std::string name;
    const char* value = nullptr;
    sb4 size = 0;
    const sb2* indicator = nullptr;
};
struct DefineObj : Obj {
    DefineObj() : Obj(OCI_HTYPE_DEFINE) {}
    ub4 position = 0;
    void* value = nullptr;
    sb4 size = 0;
    sb2* indicator = nullptr;
};
struct StmtObj : Obj {
    StmtObj() : Obj(OCI_HTYPE_STMT) {}
    std::string sql;
    std::unique_ptr<BindObj> bind;
    std::unique_ptr<DefineObj> define;
    bool executed = false;
    std::string column;
    long long result = 0;
    bool null = false;
    int rowsLeft = 0;
};
struct ParamObj : Obj {
    ParamObj() : Obj(OCI_DTYPE_PARAM) {}
    std::string name;
};

struct Table {
    int committed = 0;
    int pending = 0;
    std::vector<std::string> columns;
};

// The one "database" of this copy of the library.
std::map<std::string, Table> g_tables;
int g_live = 0;  // handles, statements and descriptors not given back

#ifdef _WIN32
std::wstring PathBeside(const wchar_t* name)
{
    HMODULE self = nullptr;
    wchar_t file[4096];
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            reinterpret_cast<LPCWSTR>(&PathBeside), &self) ||
        !GetModuleFileNameW(self, file, 4096))
        return name;
    std::wstring path = file;
    const size_t slash = path.rfind(L'\\');
    return (slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1)) + name;
}
FILE* OpenLog() { return _wfopen(PathBeside(L"fakeoci.log").c_str(), L"a"); }
FILE* OpenRefused() { return _wfopen(PathBeside(L"fakeoci-recusa.txt").c_str(), L"r"); }
#else
std::string PathBeside(const char* name)
{
    Dl_info info{};
    if (!dladdr(reinterpret_cast<void*>(&PathBeside), &info) || !info.dli_fname)
        return name;
    std::string file = info.dli_fname;
    const size_t slash = file.rfind('/');
    return (slash == std::string::npos ? std::string() : file.substr(0, slash + 1)) + name;
}
FILE* OpenLog() { return std::fopen(PathBeside("fakeoci.log").c_str(), "a"); }
FILE* OpenRefused() { return std::fopen(PathBeside("fakeoci-recusa.txt").c_str(), "r"); }
#endif

std::vector<std::string> Words(const std::string& sql);

// Whether a test asked (in fakeoci-recusa.txt beside the library, the first words
// of a statement per line) that statements beginning so fail as unknown SQL.
bool Refused(const std::vector<std::string>& words)
{
    FILE* f = OpenRefused();
    if (!f)
        return false;
    char line[256];
    bool refused = false;
    while (!refused && std::fgets(line, sizeof line, f)) {
        const std::vector<std::string> start = Words(line);
        refused = !start.empty() && start.size() <= words.size() && std::equal(start.begin(), start.end(), words.begin());
    }
    std::fclose(f);
    return refused;
}

// The statement waiting for OCIBreak, and the break.
std::mutex g_breakMutex;
std::condition_variable g_breakWake;
bool g_breakWaiting = false;
bool g_break = false;

void Log(const std::string& line)
{
    if (FILE* f = OpenLog()) {
        std::fprintf(f, "%s\n", line.c_str());
        std::fclose(f);
    }
}

template <class T>
T* As(const void* h, ub4 type)
{
    auto* o = static_cast<Obj*>(const_cast<void*>(h));
    if (!o || o->magic != kMagic || o->type != type)
        return nullptr;
    return static_cast<T*>(o);
}

sword Fail(OCIError* errhp, std::vector<std::pair<sb4, std::string>> records)
{
    if (auto* e = As<ErrorObj>(errhp, OCI_HTYPE_ERROR))
        e->records = std::move(records);
    return OCI_ERROR;
}
sword Fail(OCIError* errhp, sb4 code, const std::string& text) { return Fail(errhp, {{code, text}}); }

void Clear(OCIError* errhp)
{
    if (auto* e = As<ErrorObj>(errhp, OCI_HTYPE_ERROR))
        e->records.clear();
}

std::string Upper(std::string s)
{
    for (char& c : s)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

// Upper-cased words and symbols, quoted text kept as one word.
std::vector<std::string> Words(const std::string& sql)
{
    std::vector<std::string> out;
    for (size_t i = 0; i < sql.size();) {
        const char c = sql[i];
        if (std::isspace(static_cast<unsigned char>(c))) {
            ++i;
        } else if (std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == ':' || c == '$' || c == '#') {
            size_t j = i + 1;
            while (j < sql.size() && (std::isalnum(static_cast<unsigned char>(sql[j])) || sql[j] == '_' ||
                                      sql[j] == '$' || sql[j] == '#'))
                ++j;
            out.push_back(Upper(sql.substr(i, j - i)));
            i = j;
        } else if (c == '\'') {
            const size_t j = sql.find('\'', i + 1);
            const size_t end = j == std::string::npos ? sql.size() : j + 1;
            out.push_back(sql.substr(i, end - i));
            i = end;
        } else {
            out.push_back(std::string(1, c));
            ++i;
        }
    }
    return out;
}

ub2 StatementType(const std::string& sql)
{
    const auto w = Words(sql);
    const std::string first = w.empty() ? "" : w[0];
    if (first == "SELECT" || first == "WITH")
        return OCI_STMT_SELECT;
    if (first == "UPDATE")
        return 2;
    if (first == "DELETE")
        return 3;
    if (first == "INSERT")
        return 4;
    if (first == "CREATE")
        return 5;
    if (first == "DROP")
        return 6;
    if (first == "ALTER")
        return 7;
    if (first == "BEGIN")
        return 8;
    if (first == "DECLARE")
        return 9;
    return 0;
}

void CommitPending(const char* why)
{
    bool any = false;
    for (auto& [name, t] : g_tables) {
        any = any || t.pending > 0;
        t.committed += t.pending;
        t.pending = 0;
    }
    if (any)
        Log(why);
}

bool HasPlaceholder(const std::string& sql, const std::string& name)
{
    for (const auto& w : Words(sql))
        if (w == Upper(name))
            return true;
    return false;
}

std::string Hidden(size_t n) { return std::string(n, '*'); }

} // namespace

extern "C" {

sword OCIEnvNlsCreate(OCIEnv** envhpp, ub4 mode, void*, void* (*)(void*, size_t), void* (*)(void*, void*, size_t),
                      void (*)(void*, void*), size_t, void**, ub2 charset, ub2 ncharset)
{
    auto* env = new EnvObj;
    *envhpp = reinterpret_cast<OCIEnv*>(env);
    Log("ENV mode=" + std::to_string(mode) + " charset=" + std::to_string(charset) +
        " ncharset=" + std::to_string(ncharset));
    if (charset != OCI_AL32UTF8_ID) {
        env->records = {{12705, "ORA-12705: Cannot access NLS data files or invalid environment specified"}};
        return OCI_ERROR;
    }
    return OCI_SUCCESS;
}

sword OCIHandleAlloc(const void* parenth, void** hndlpp, ub4 type, size_t, void**)
{
    if (!As<EnvObj>(parenth, OCI_HTYPE_ENV) || !hndlpp)
        return OCI_INVALID_HANDLE;
    Obj* o = nullptr;
    switch (type) {
    case OCI_HTYPE_ERROR: o = new ErrorObj; break;
    case OCI_HTYPE_SERVER: o = new ServerObj; break;
    case OCI_HTYPE_SVCCTX: o = new SvcObj; break;
    case OCI_HTYPE_SESSION: o = new SessionObj; break;
    default: return OCI_INVALID_HANDLE;
    }
    ++g_live;
    *hndlpp = o;
    return OCI_SUCCESS;
}

sword OCIHandleFree(void* hndlp, ub4 type)
{
    auto* o = static_cast<Obj*>(hndlp);
    if (!o || o->magic != kMagic || o->type != type)
        return OCI_INVALID_HANDLE;
    if (type == OCI_HTYPE_ENV) {
        Log("FREE ENV live=" + std::to_string(g_live));
    } else {
        if (type == OCI_HTYPE_SERVER && static_cast<ServerObj*>(o)->attached)
            Log("FREE SERVER STILL ATTACHED");
        if (type == OCI_HTYPE_SESSION && static_cast<SessionObj*>(o)->begun)
            Log("FREE SESSION STILL LOGGED ON");
        Log("FREE " + std::to_string(type));
        --g_live;
    }
    delete o;
    return OCI_SUCCESS;
}

sword OCIAttrSet(void* trgthndlp, ub4 trghndltyp, void* attributep, ub4 size, ub4 attrtype, OCIError* errhp)
{
    Clear(errhp);
    if (auto* svc = As<SvcObj>(trgthndlp, trghndltyp == OCI_HTYPE_SVCCTX ? OCI_HTYPE_SVCCTX : 0)) {
        if (attrtype == OCI_ATTR_SERVER && As<ServerObj>(attributep, OCI_HTYPE_SERVER)) {
            svc->server = static_cast<ServerObj*>(attributep);
            return OCI_SUCCESS;
        }
        if (attrtype == OCI_ATTR_SESSION && As<SessionObj>(attributep, OCI_HTYPE_SESSION)) {
            svc->session = static_cast<SessionObj*>(attributep);
            return OCI_SUCCESS;
        }
    }
    if (auto* ses = As<SessionObj>(trgthndlp, trghndltyp == OCI_HTYPE_SESSION ? OCI_HTYPE_SESSION : 0)) {
        const std::string text(static_cast<const char*>(attributep), size);
        if (attrtype == OCI_ATTR_USERNAME) {
            ses->user = text;
            return OCI_SUCCESS;
        }
        if (attrtype == OCI_ATTR_PASSWORD) {
            ses->password = text;
            return OCI_SUCCESS;
        }
    }
    return Fail(errhp, 24315, "ORA-24315: illegal attribute type");
}

sword OCIAttrGet(const void* trgthndlp, ub4 trghndltyp, void* attributep, ub4* sizep, ub4 attrtype, OCIError* errhp)
{
    Clear(errhp);
    if (auto* stmt = As<StmtObj>(trgthndlp, trghndltyp == OCI_HTYPE_STMT ? OCI_HTYPE_STMT : 0)) {
        if (attrtype == OCI_ATTR_STMT_TYPE) {
            *static_cast<ub2*>(attributep) = StatementType(stmt->sql);
            return OCI_SUCCESS;
        }
        if (attrtype == OCI_ATTR_PARAM_COUNT) {
            if (!stmt->executed)
                return Fail(errhp, 24338, "ORA-24338: statement handle not executed");
            *static_cast<ub4*>(attributep) = stmt->column.empty() ? 0 : 1;
            return OCI_SUCCESS;
        }
    }
    if (auto* p = As<ParamObj>(trgthndlp, trghndltyp == OCI_DTYPE_PARAM ? OCI_DTYPE_PARAM : 0)) {
        if (attrtype == OCI_ATTR_NAME) {
            *static_cast<const OraText**>(attributep) = reinterpret_cast<const OraText*>(p->name.data());
            if (sizep)
                *sizep = static_cast<ub4>(p->name.size());
            return OCI_SUCCESS;
        }
    }
    return Fail(errhp, 24315, "ORA-24315: illegal attribute type");
}

sword OCIParamGet(const void* hndlp, ub4 htype, OCIError* errhp, void** parmdpp, ub4 pos)
{
    Clear(errhp);
    auto* stmt = As<StmtObj>(hndlp, htype == OCI_HTYPE_STMT ? OCI_HTYPE_STMT : 0);
    if (!stmt)
        return OCI_INVALID_HANDLE;
    if (!stmt->executed)
        return Fail(errhp, 24338, "ORA-24338: statement handle not executed");
    if (pos != 1 || stmt->column.empty())
        return Fail(errhp, 24334, "ORA-24334: no descriptor for this position");
    auto* p = new ParamObj;
    p->name = stmt->column;
    ++g_live;
    *parmdpp = p;
    return OCI_SUCCESS;
}

sword OCIDescriptorFree(void* descp, ub4 type)
{
    auto* p = As<ParamObj>(descp, type == OCI_DTYPE_PARAM ? OCI_DTYPE_PARAM : 0);
    if (!p)
        return OCI_INVALID_HANDLE;
    delete p;
    --g_live;
    return OCI_SUCCESS;
}

sword OCIServerAttach(OCIServer* srvhp, OCIError* errhp, const OraText* dblink, sb4 dblink_len, ub4)
{
    Clear(errhp);
    auto* srv = As<ServerObj>(srvhp, OCI_HTYPE_SERVER);
    if (!srv || !As<ErrorObj>(errhp, OCI_HTYPE_ERROR))
        return OCI_INVALID_HANDLE;
    const std::string link(reinterpret_cast<const char*>(dblink), static_cast<size_t>(dblink_len));
    Log("ATTACH " + link);
    if (link.find("(HOST=nowhere)") != std::string::npos)
        return Fail(errhp, 12545, "ORA-12545: Connect failed because target host or object does not exist");
    srv->attached = true;
    return OCI_SUCCESS;
}

sword OCIServerDetach(OCIServer* srvhp, OCIError* errhp, ub4)
{
    Clear(errhp);
    auto* srv = As<ServerObj>(srvhp, OCI_HTYPE_SERVER);
    if (!srv)
        return OCI_INVALID_HANDLE;
    srv->attached = false;
    Log("DETACH");
    return OCI_SUCCESS;
}

sword OCISessionBegin(OCISvcCtx* svchp, OCIError* errhp, OCISession* usrhp, ub4 credt, ub4)
{
    Clear(errhp);
    auto* svc = As<SvcObj>(svchp, OCI_HTYPE_SVCCTX);
    auto* ses = As<SessionObj>(usrhp, OCI_HTYPE_SESSION);
    if (!svc || !ses)
        return OCI_INVALID_HANDLE;
    if (!svc->server || !svc->server->attached)
        return Fail(errhp, 12154, "ORA-12154: TNS:could not resolve the connect identifier specified");
    if (credt != OCI_CRED_RDBMS || ses->password != "tiger") {
        Log("LOGON REFUSED " + ses->user + " password " + Hidden(ses->password.size()));
        return Fail(errhp, 1017, "ORA-01017: invalid username/password; logon denied");
    }
    ses->begun = true;
    Log("LOGON " + ses->user);
    return OCI_SUCCESS;
}

sword OCISessionEnd(OCISvcCtx* svchp, OCIError* errhp, OCISession* usrhp, ub4)
{
    Clear(errhp);
    auto* ses = As<SessionObj>(usrhp, OCI_HTYPE_SESSION);
    if (!As<SvcObj>(svchp, OCI_HTYPE_SVCCTX) || !ses)
        return OCI_INVALID_HANDLE;
    ses->begun = false;
    Log("LOGOFF");
    return OCI_SUCCESS;
}

sword OCIStmtPrepare2(OCISvcCtx* svchp, OCIStmt** stmthp, OCIError* errhp, const OraText* stmttext, ub4 stmt_len,
                      const OraText*, ub4, ub4 language, ub4)
{
    Clear(errhp);
    auto* svc = As<SvcObj>(svchp, OCI_HTYPE_SVCCTX);
    if (!svc || !As<ErrorObj>(errhp, OCI_HTYPE_ERROR))
        return OCI_INVALID_HANDLE;
    if (!svc->session || !svc->session->begun)
        return Fail(errhp, 3114, "ORA-03114: not connected to ORACLE");
    if (language != OCI_NTV_SYNTAX)
        return Fail(errhp, 1002, "ORA-01002: unsupported syntax");
    auto* stmt = new StmtObj;
    stmt->sql.assign(reinterpret_cast<const char*>(stmttext), stmt_len);
    ++g_live;
    *stmthp = reinterpret_cast<OCIStmt*>(stmt);
    return OCI_SUCCESS;
}

sword OCIStmtRelease(OCIStmt* stmthp, OCIError* errhp, const OraText*, ub4, ub4)
{
    Clear(errhp);
    auto* stmt = As<StmtObj>(stmthp, OCI_HTYPE_STMT);
    if (!stmt)
        return OCI_INVALID_HANDLE;
    delete stmt;
    --g_live;
    return OCI_SUCCESS;
}

sword OCIBindByName(OCIStmt* stmtp, OCIBind** bindp, OCIError* errhp, const OraText* placeholder, sb4 placeh_len,
                    void* valuep, sb4 value_sz, ub2 dty, void* indp, ub2*, ub2*, ub4, ub4*, ub4)
{
    Clear(errhp);
    auto* stmt = As<StmtObj>(stmtp, OCI_HTYPE_STMT);
    if (!stmt)
        return OCI_INVALID_HANDLE;
    const std::string name(reinterpret_cast<const char*>(placeholder), static_cast<size_t>(placeh_len));
    if (!HasPlaceholder(stmt->sql, name))
        return Fail(errhp, 1036, "ORA-01036: illegal variable name/number");
    if (dty != SQLT_CHR)
        return Fail(errhp, 3115, "ORA-03115: unsupported network datatype or representation");
    stmt->bind = std::make_unique<BindObj>();
    stmt->bind->name = name;
    stmt->bind->value = static_cast<const char*>(valuep);
    stmt->bind->size = value_sz;
    stmt->bind->indicator = static_cast<const sb2*>(indp);
    *bindp = reinterpret_cast<OCIBind*>(stmt->bind.get());
    return OCI_SUCCESS;
}

sword OCIDefineByPos(OCIStmt* stmtp, OCIDefine** defnp, OCIError* errhp, ub4 position, void* valuep, sb4 value_sz,
                     ub2 dty, void* indp, ub2*, ub2*, ub4)
{
    Clear(errhp);
    auto* stmt = As<StmtObj>(stmtp, OCI_HTYPE_STMT);
    if (!stmt)
        return OCI_INVALID_HANDLE;
    if (position != 1 || dty != SQLT_INT || (value_sz != 4 && value_sz != 8))
        return Fail(errhp, 1007, "ORA-01007: variable not in select list");
    stmt->define = std::make_unique<DefineObj>();
    stmt->define->position = position;
    stmt->define->value = valuep;
    stmt->define->size = value_sz;
    stmt->define->indicator = static_cast<sb2*>(indp);
    *defnp = reinterpret_cast<OCIDefine*>(stmt->define.get());
    return OCI_SUCCESS;
}

sword OCIStmtExecute(OCISvcCtx* svchp, OCIStmt* stmtp, OCIError* errhp, ub4 iters, ub4, const OCISnapshot*,
                     OCISnapshot*, ub4 mode)
{
    Clear(errhp);
    auto* svc = As<SvcObj>(svchp, OCI_HTYPE_SVCCTX);
    auto* stmt = As<StmtObj>(stmtp, OCI_HTYPE_STMT);
    if (!svc || !stmt)
        return OCI_INVALID_HANDLE;
    const bool commit = (mode & OCI_COMMIT_ON_SUCCESS) != 0;
    Log(std::string(commit ? "EXEC+COMMIT " : "EXEC ") + stmt->sql);
    const ub2 type = StatementType(stmt->sql);
    if (type != OCI_STMT_SELECT && iters == 0)
        return Fail(errhp, 24333, "ORA-24333: zero iteration count");
    if (stmt->sql.find("/*ESPERA*/") != std::string::npos) {
        std::unique_lock lock(g_breakMutex);
        g_breakWaiting = true;
        const bool broken = g_breakWake.wait_for(lock, std::chrono::minutes(2), [] { return g_break; });
        g_break = false;
        g_breakWaiting = false;
        if (broken)
            return Fail(errhp, 1013, "ORA-01013: user requested cancel of current operation");
    }
    if (stmt->sql.find("/*ERRO_RECURSIVO*/") != std::string::npos)
        return Fail(errhp, {{604, "ORA-00604: error occurred at recursive SQL level 1"},
                            {1653, "ORA-01653: unable to extend table SYS.OBJ$ by 8 in tablespace SYSTEM"}});

    const auto w = Words(stmt->sql);
    auto word = [&](size_t i) { return i < w.size() ? w[i] : std::string(); };
    if (Refused(w))
        return Fail(errhp, 900, "ORA-00900: invalid SQL statement");
    if (type == 5 && word(1) == "TABLE") {
        CommitPending("IMPLICIT COMMIT");
        const std::string name = word(2);
        if (g_tables.count(name))
            return Fail(errhp, 955, "ORA-00955: name is already used by an existing object");
        Table t;
        // The first word of each item of the outer list, constraints aside.
        int depth = 0;
        bool itemStart = false;
        for (size_t i = 3; i < w.size(); ++i) {
            if (w[i] == "(" && ++depth == 1) {
                itemStart = true;
                continue;
            }
            if (w[i] == ")")
                --depth;
            else if (w[i] == "," && depth == 1)
                itemStart = true;
            else if (itemStart && depth == 1 && w[i] != "CONSTRAINT")
                t.columns.push_back(w[i]);
            if (w[i] != "(" && w[i] != ",")
                itemStart = false;
        }
        g_tables[name] = t;
        return OCI_SUCCESS;
    }
    if (type == 6 && word(1) == "TABLE") {
        CommitPending("IMPLICIT COMMIT");
        if (!g_tables.erase(word(2)))
            return Fail(errhp, 942, "ORA-00942: table or view does not exist");
        return OCI_SUCCESS;
    }
    if (type == 4 && word(1) == "INTO") {
        auto it = g_tables.find(word(2));
        if (it == g_tables.end())
            return Fail(errhp, 942, "ORA-00942: table or view does not exist");
        ++it->second.pending;
        if (commit)
            CommitPending("AUTOCOMMIT");
        return OCI_SUCCESS;
    }
    if (type == 2) {
        // UPDATE: the table must exist; values are not kept.
        if (!g_tables.count(word(1)))
            return Fail(errhp, 942, "ORA-00942: table or view does not exist");
        if (commit)
            CommitPending("AUTOCOMMIT");
        return OCI_SUCCESS;
    }
    if (type == OCI_STMT_SELECT && word(3) == "FROM" && word(4) == "DUAL") {
        const BindObj* b = stmt->bind.get();
        bool row = true;
        if (word(5) == "WHERE")
            row = b && word(6) == Upper(b->name) && word(7) == "=" && word(8) == "'" + std::string(b->value, b->size) + "'";
        stmt->executed = true;
        stmt->column = word(2);
        stmt->null = word(1) == "NULL";
        stmt->result = stmt->null ? 0 : std::strtoll(word(1).c_str(), nullptr, 10);
        stmt->rowsLeft = row ? 1 : 0;
        return OCI_SUCCESS;
    }
    if (type == OCI_STMT_SELECT && word(1) == "COUNT") {
        // SELECT COUNT ( * ) [AS] alias FROM source ...
        size_t i = 5;
        std::string column = "COUNT(*)";
        if (word(i) == "AS")
            ++i;
        if (word(i) != "FROM")
            column = word(i++);
        if (word(i) != "FROM")
            return Fail(errhp, 923, "ORA-00923: FROM keyword not found where expected");
        const std::string source = word(i + 1);
        for (const auto& token : w)
            if (token.size() > 1 && token[0] == ':' && (!stmt->bind || Upper(stmt->bind->name) != token))
                return Fail(errhp, 1008, "ORA-01008: not all variables bound");
        long long count = 0;
        if (source == "USER_TABLES") {
            const BindObj* b = stmt->bind.get();
            if (b && !(b->indicator && *b->indicator == -1))
                count = static_cast<long long>(g_tables.count(Upper(std::string(b->value, b->size))));
            if (b)
                Log("BIND " + b->name + "=" + std::string(b->value, b->size));
        } else if (source == "USER_TAB_COLUMNS") {
            const BindObj* b = stmt->bind.get();
            std::string table;
            for (const auto& token : w)
                if (table.empty() && token.size() > 2 && token[0] == '\'')
                    table = token.substr(1, token.size() - 2);
            auto it = g_tables.find(table);
            if (b && it != g_tables.end())
                count = std::count(it->second.columns.begin(), it->second.columns.end(),
                                   Upper(std::string(b->value, b->size)));
        } else {
            auto it = g_tables.find(source);
            if (it == g_tables.end())
                return Fail(errhp, 942, "ORA-00942: table or view does not exist");
            count = it->second.committed + it->second.pending;
        }
        stmt->executed = true;
        stmt->column = column;
        stmt->null = false;
        stmt->result = count;
        stmt->rowsLeft = 1;
        return OCI_SUCCESS;
    }
    return Fail(errhp, 900, "ORA-00900: invalid SQL statement");
}

sword OCIStmtFetch2(OCIStmt* stmthp, OCIError* errhp, ub4 nrows, ub2 orientation, sb4, ub4)
{
    Clear(errhp);
    auto* stmt = As<StmtObj>(stmthp, OCI_HTYPE_STMT);
    if (!stmt)
        return OCI_INVALID_HANDLE;
    if (!stmt->executed)
        return Fail(errhp, 24338, "ORA-24338: statement handle not executed");
    if (nrows != 1 || orientation != OCI_FETCH_NEXT)
        return Fail(errhp, 24391, "ORA-24391: invalid fetch operation");
    if (stmt->rowsLeft == 0)
        return OCI_NO_DATA;
    --stmt->rowsLeft;
    if (DefineObj* d = stmt->define.get()) {
        if (d->size == 8)
            *static_cast<long long*>(d->value) = stmt->result;
        else
            *static_cast<int*>(d->value) = static_cast<int>(stmt->result);
        if (d->indicator)
            *d->indicator = stmt->null ? -1 : 0;
    }
    return OCI_SUCCESS;
}

sword OCITransCommit(OCISvcCtx* svchp, OCIError* errhp, ub4)
{
    Clear(errhp);
    if (!As<SvcObj>(svchp, OCI_HTYPE_SVCCTX))
        return OCI_INVALID_HANDLE;
    Log("COMMIT");
    CommitPending("COMMITTED ROWS");
    return OCI_SUCCESS;
}

#ifndef FAKEOCI_WITHOUT_TRANS_ROLLBACK
sword OCITransRollback(OCISvcCtx* svchp, OCIError* errhp, ub4)
{
    Clear(errhp);
    if (!As<SvcObj>(svchp, OCI_HTYPE_SVCCTX))
        return OCI_INVALID_HANDLE;
    Log("ROLLBACK");
    for (auto& [name, t] : g_tables)
        t.pending = 0;
    return OCI_SUCCESS;
}
#endif

sword OCIBreak(void* hndlp, OCIError* errhp)
{
    if (!As<SvcObj>(hndlp, OCI_HTYPE_SVCCTX) || !errhp)
        return OCI_INVALID_HANDLE;
    {
        std::lock_guard lock(g_breakMutex);
        // A break with no call running is answered and forgotten, as by the server.
        g_break = g_breakWaiting;
    }
    g_breakWake.notify_all();
    Log("BREAK");
    return OCI_SUCCESS;
}

sword OCIErrorGet(void* hndlp, ub4 recordno, OraText*, sb4* errcodep, OraText* bufp, ub4 bufsiz, ub4 type)
{
    const std::vector<std::pair<sb4, std::string>>* records = nullptr;
    if (auto* e = As<ErrorObj>(hndlp, type == OCI_HTYPE_ERROR ? OCI_HTYPE_ERROR : 0))
        records = &e->records;
    else if (auto* env = As<EnvObj>(hndlp, type == OCI_HTYPE_ENV ? OCI_HTYPE_ENV : 0))
        records = &env->records;
    if (!records)
        return OCI_INVALID_HANDLE;
    if (recordno == 0 || recordno > records->size())
        return OCI_NO_DATA;
    const auto& [code, text] = (*records)[recordno - 1];
    if (errcodep)
        *errcodep = code;
    if (bufp && bufsiz > 0) {
        // Oracle ends its messages with a line break.
        const std::string out = text.substr(0, bufsiz - 2) + "\n";
        std::memcpy(bufp, out.c_str(), out.size() + 1);
    }
    return OCI_SUCCESS;
}

} // extern "C"
