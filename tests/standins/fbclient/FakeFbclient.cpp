// A stand-in for Firebird's client library (fbclient.dll), for the Windows tests,
// where no fbclient.dll built for Windows is at hand. Its functions are declared
// by the same ibase.h as the adapter's table (ISC_EXPORT: __stdcall on 32-bit
// Windows) and exported under their plain names, as fbclient.dll exports them.
//
// It checks the call sequence the way the real client refuses it: unknown or
// stale handles, a detach with a transaction still open, a statement described,
// executed or fetched before it is prepared, a malformed parameter block or
// XSQLDA, a dialect other than 3. Each refusal is an error whose text starts
// with "fbclient stand-in:", so the test sees which rule was broken.
// Behind it, just enough of a server:
//  - the login is "masterkey" for any user; another password is Firebird's login error;
//  - a server named "nowhere" cannot be reached;
//  - each name attached to is a database of its own, kept while the library is loaded;
//  - CREATE TABLE / DROP TABLE take effect at commit, as Firebird's DDL does, and a
//    table created in a transaction cannot take rows before that commit;
//  - INSERT INTO adds a row, kept by a commit, dropped by a rollback;
//  - SELECT <integer or CAST(NULL AS INTEGER)> alias FROM RDB$DATABASE [WHERE ? = '<text>']
//    gives one row, or none when the bound text is another;
//  - SELECT COUNT(*) alias FROM RDB$RELATIONS ... ? counts the tables named by the
//    bound text (upper-cased); FROM <table> counts its rows;
//  - a statement holding /*FALHA*/ fails; anything else is accepted.
// Every call is appended to fbclient.log beside the library file.
#include <ibase.h>

#include <windows.h>

#include <cctype>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace {

using Tables = std::map<std::string, long long>;  // committed tables and their rows

struct Txn {
    Tables* tables;  // those of the transaction's database
    std::set<std::string> created, dropped;
    std::map<std::string, long long> inserted;
};
struct Stmt {
    bool prepared = false, executed = false, fetched = false;
    int params = 0;
    std::string alias;
    long long value = 0;
    // SELECT <constant> alias FROM RDB$DATABASE: NULL or value, one row when the bound text is `literal`.
    bool constant = false, isNull = false, matched = true;
    std::string literal;
    std::string sql;
};
struct Db {
    Tables* tables;
    std::set<Txn*> transactions;
};

std::map<std::string, Tables> g_databases;  // by the name attached to
std::map<FB_API_HANDLE, std::unique_ptr<Db>> g_dbs;
std::map<FB_API_HANDLE, std::unique_ptr<Txn>> g_txns;
std::map<FB_API_HANDLE, std::unique_ptr<Stmt>> g_stmts;
std::map<FB_API_HANDLE, FB_API_HANDLE> g_txnDb;  // transaction -> database
unsigned g_next = 0x100;
std::vector<std::unique_ptr<std::string>> g_messages;  // kept alive for the status vectors

FB_API_HANDLE NewHandle()
{
    g_next += 4;
    return (FB_API_HANDLE)(uintptr_t)g_next;  // void* on 32-bit Windows, unsigned int on 64-bit
}

std::wstring LogPath()
{
    HMODULE self = nullptr;
    wchar_t file[4096];
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            reinterpret_cast<LPCWSTR>(&LogPath), &self) ||
        !GetModuleFileNameW(self, file, 4096))
        return L"fbclient.log";
    std::wstring path = file;
    const size_t slash = path.rfind(L'\\');
    return (slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1)) + L"fbclient.log";
}

void Log(const std::string& line)
{
    if (FILE* f = _wfopen(LogPath().c_str(), L"a")) {
        std::fprintf(f, "%s\n", line.c_str());
        std::fclose(f);
    }
}

ISC_STATUS Ok(ISC_STATUS* status)
{
    status[0] = isc_arg_gds;
    status[1] = 0;
    status[2] = isc_arg_end;
    return 0;
}

ISC_STATUS Fail(ISC_STATUS* status, ISC_STATUS code, const std::string& text)
{
    Log("  error " + text);
    g_messages.push_back(std::make_unique<std::string>(text));
    status[0] = isc_arg_gds;
    status[1] = code;
    status[2] = isc_arg_string;
    status[3] = reinterpret_cast<ISC_STATUS>(g_messages.back()->c_str());
    status[4] = isc_arg_end;
    return code;
}

ISC_STATUS Misuse(ISC_STATUS* status, const std::string& what)
{
    return Fail(status, isc_dsql_error, "fbclient stand-in: " + what);
}

std::string Upper(std::string s)
{
    for (char& c : s)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

// The word after `keyword` (upper-cased text), or "".
std::string WordAfter(const std::string& upper, const std::string& keyword)
{
    size_t at = upper.find(keyword);
    if (at == std::string::npos)
        return "";
    at += keyword.size();
    while (at < upper.size() && std::isspace(static_cast<unsigned char>(upper[at])))
        ++at;
    size_t end = at;
    while (end < upper.size() && (std::isalnum(static_cast<unsigned char>(upper[end])) || upper[end] == '_' ||
                                  upper[end] == '$'))
        ++end;
    return upper.substr(at, end - at);
}

Db* DbOf(isc_db_handle* h) { return h && g_dbs.count(*h) ? g_dbs[*h].get() : nullptr; }
Txn* TxnOf(isc_tr_handle* h) { return h && g_txns.count(*h) ? g_txns[*h].get() : nullptr; }
Stmt* StmtOf(isc_stmt_handle* h) { return h && g_stmts.count(*h) ? g_stmts[*h].get() : nullptr; }

bool Visible(const std::string& table, const Txn& t)
{
    return (t.tables->count(table) && !t.dropped.count(table)) || t.created.count(table);
}

ISC_STATUS Execute(ISC_STATUS* status, Txn& t, const std::string& sql)
{
    const std::string upper = Upper(sql);
    if (upper.find("/*FALHA*/") != std::string::npos)
        return Fail(status, isc_dsql_error, "Dynamic SQL Error\n-SQL error code = -104\n-Falha provocada pelo teste");
    if (upper.rfind("CREATE TABLE", 0) == 0) {
        const std::string name = WordAfter(upper, "CREATE TABLE");
        if (Visible(name, t))
            return Fail(status, isc_no_meta_update, "unsuccessful metadata update\n-CREATE TABLE " + name +
                                                        " failed\n-Table " + name + " already exists");
        t.created.insert(name);
        t.dropped.erase(name);
        return Ok(status);
    }
    if (upper.rfind("DROP TABLE", 0) == 0) {
        const std::string name = WordAfter(upper, "DROP TABLE");
        if (!Visible(name, t))
            return Fail(status, isc_no_meta_update, "unsuccessful metadata update\n-DROP TABLE " + name +
                                                        " failed\n-Table " + name + " does not exist");
        if (!t.created.erase(name))
            t.dropped.insert(name);
        t.inserted.erase(name);
        return Ok(status);
    }
    if (upper.rfind("INSERT INTO", 0) == 0) {
        const std::string name = WordAfter(upper, "INSERT INTO");
        // Firebird: a table is usable by other statements only once its creation is committed.
        if (!t.tables->count(name) || t.dropped.count(name))
            return Fail(status, isc_dsql_relation_err,
                        "Dynamic SQL Error\n-SQL error code = -204\n-Table unknown\n-" + name);
        ++t.inserted[name];
    }
    return Ok(status);
}

} // namespace

extern "C" {

ISC_STATUS ISC_EXPORT isc_attach_database(ISC_STATUS* status, short nameLength, const ISC_SCHAR* name,
                                          isc_db_handle* db, short dpbLength, const ISC_SCHAR* dpb)
{
    const std::string target(name, static_cast<size_t>(nameLength));
    Log("attach " + target);
    if (!db || *db)
        return Misuse(status, "isc_attach_database wants a handle set to zero");
    if (dpbLength < 1 || dpb[0] != isc_dpb_version1)
        return Misuse(status, "the attach parameter block does not start with isc_dpb_version1");
    std::string password;
    for (int i = 1; i < dpbLength;) {
        if (i + 1 >= dpbLength)
            return Misuse(status, "the attach parameter block is cut short");
        const int tag = static_cast<unsigned char>(dpb[i]);
        const int length = static_cast<unsigned char>(dpb[i + 1]);
        if (i + 2 + length > dpbLength)
            return Misuse(status, "an item of the attach parameter block runs past its end");
        const std::string value(dpb + i + 2, static_cast<size_t>(length));
        if (tag == isc_dpb_password)
            password = value;
        else if (tag == isc_dpb_user_name || tag == isc_dpb_lc_ctype)
            Log("  dpb " + std::to_string(tag) + " " + value);
        i += 2 + length;
    }
    if (target.find("nowhere") != std::string::npos)
        return Fail(status, isc_network_error,
                    "Unable to complete network request to host \"nowhere\".\n-Failed to locate host machine.");
    if (password != "masterkey")
        return Fail(status, isc_login,
                    "Your user name and password are not defined. Ask your database administrator to set up a "
                    "Firebird login.");
    *db = NewHandle();
    g_dbs[*db] = std::make_unique<Db>(Db{&g_databases[target], {}});
    return Ok(status);
}

ISC_STATUS ISC_EXPORT isc_detach_database(ISC_STATUS* status, isc_db_handle* db)
{
    Db* d = DbOf(db);
    Log("detach");
    if (!d)
        return Fail(status, isc_bad_db_handle, "invalid database handle (no active connection)");
    if (!d->transactions.empty())
        return Fail(status, isc_open_trans, "cannot disconnect database with open transactions (" +
                                                std::to_string(d->transactions.size()) + " active)");
    size_t statements = g_stmts.size();
    Log("  statements still allocated: " + std::to_string(statements));
    g_dbs.erase(*db);
    *db = 0;
    return Ok(status);
}

ISC_STATUS ISC_EXPORT isc_start_multiple(ISC_STATUS* status, isc_tr_handle* tr, short count, void* teb)
{
    Log("start");
    struct Teb {
        isc_db_handle* db;
        int tpbLength;
        const char* tpb;
    };
    const Teb* t = static_cast<const Teb*>(teb);
    if (!tr || *tr)
        return Misuse(status, "isc_start_multiple wants a transaction handle set to zero");
    if (count != 1 || !t)
        return Misuse(status, "isc_start_multiple expects one database");
    Db* d = DbOf(t->db);
    if (!d)
        return Fail(status, isc_bad_db_handle, "invalid database handle (no active connection)");
    if (t->tpbLength < 1 || t->tpb[0] != isc_tpb_version3)
        return Misuse(status, "the transaction parameter block does not start with isc_tpb_version3");
    *tr = NewHandle();
    g_txns[*tr] = std::make_unique<Txn>(Txn{d->tables, {}, {}, {}});
    g_txnDb[*tr] = *t->db;
    d->transactions.insert(g_txns[*tr].get());
    return Ok(status);
}

static ISC_STATUS EndTransaction(ISC_STATUS* status, isc_tr_handle* tr, bool keep)
{
    Txn* t = TxnOf(tr);
    Log(keep ? "commit" : "rollback");
    if (!t)
        return Fail(status, isc_bad_trans_handle, "invalid transaction handle (expecting explicit transaction start)");
    if (keep) {
        for (const auto& name : t->dropped)
            t->tables->erase(name);
        for (const auto& name : t->created)
            (*t->tables)[name] = 0;
        for (const auto& [name, rows] : t->inserted)
            (*t->tables)[name] += rows;
    }
    if (g_dbs.count(g_txnDb[*tr]))
        g_dbs[g_txnDb[*tr]]->transactions.erase(t);
    g_txnDb.erase(*tr);
    g_txns.erase(*tr);
    *tr = 0;
    return Ok(status);
}

ISC_STATUS ISC_EXPORT isc_commit_transaction(ISC_STATUS* status, isc_tr_handle* tr)
{
    return EndTransaction(status, tr, true);
}

ISC_STATUS ISC_EXPORT isc_rollback_transaction(ISC_STATUS* status, isc_tr_handle* tr)
{
    return EndTransaction(status, tr, false);
}

ISC_STATUS ISC_EXPORT isc_dsql_execute_immediate(ISC_STATUS* status, isc_db_handle* db, isc_tr_handle* tr,
                                                 unsigned short length, const ISC_SCHAR* sql, unsigned short dialect,
                                                 const XSQLDA* in)
{
    const std::string text = length ? std::string(sql, length) : std::string(sql);
    Log("execute_immediate " + text.substr(0, 200));
    if (!DbOf(db))
        return Fail(status, isc_bad_db_handle, "invalid database handle (no active connection)");
    Txn* t = TxnOf(tr);
    if (!t)
        return Fail(status, isc_bad_trans_handle, "invalid transaction handle (expecting explicit transaction start)");
    if (dialect != 3)
        return Misuse(status, "dialect " + std::to_string(dialect) + " instead of 3");
    if (in)
        return Misuse(status, "isc_dsql_execute_immediate got parameters it was not told about");
    return Execute(status, *t, text);
}

ISC_STATUS ISC_EXPORT isc_dsql_allocate_statement(ISC_STATUS* status, isc_db_handle* db, isc_stmt_handle* stmt)
{
    Log("allocate_statement");
    if (!DbOf(db))
        return Fail(status, isc_bad_db_handle, "invalid database handle (no active connection)");
    if (!stmt || *stmt)
        return Misuse(status, "isc_dsql_allocate_statement wants a statement handle set to zero");
    *stmt = NewHandle();
    g_stmts[*stmt] = std::make_unique<Stmt>();
    return Ok(status);
}

ISC_STATUS ISC_EXPORT isc_dsql_prepare(ISC_STATUS* status, isc_tr_handle* tr, isc_stmt_handle* stmt,
                                       unsigned short length, const ISC_SCHAR* sql, unsigned short dialect, XSQLDA* out)
{
    const std::string text = length ? std::string(sql, length) : std::string(sql);
    Log("prepare " + text.substr(0, 60));
    Stmt* s = StmtOf(stmt);
    if (!s)
        return Fail(status, isc_bad_stmt_handle, "Attempt to reclose a closed cursor");
    if (!TxnOf(tr))
        return Fail(status, isc_bad_trans_handle, "invalid transaction handle (expecting explicit transaction start)");
    if (dialect != 3)
        return Misuse(status, "dialect " + std::to_string(dialect) + " instead of 3");
    if (out)
        return Misuse(status, "unexpected output XSQLDA at prepare");
    const std::string upper = Upper(text);
    s->constant = upper.rfind("SELECT COUNT(*)", 0) != 0 && upper.find(" FROM RDB$DATABASE") != std::string::npos;
    if (s->constant) {
        s->isNull = upper.rfind("SELECT CAST(NULL AS INTEGER)", 0) == 0;
        s->alias = WordAfter(upper, s->isNull ? "AS INTEGER)" : "SELECT " + WordAfter(upper, "SELECT"));
        s->value = s->isNull ? 0 : std::atoll(WordAfter(upper, "SELECT").c_str());
        const size_t close = text.rfind('\''), open = close == std::string::npos ? close : text.rfind('\'', close - 1);
        s->literal = open == std::string::npos ? "" : text.substr(open + 1, close - open - 1);
    } else if (upper.rfind("SELECT COUNT(*)", 0) == 0) {
        s->alias = WordAfter(upper, "COUNT(*)");
        if (s->alias == "FROM")
            s->alias = "COUNT";
    } else {
        return Fail(status, isc_dsql_error, "Dynamic SQL Error\n-SQL error code = -104\n-Token unknown");
    }
    s->params = 0;
    for (char c : text)
        s->params += c == '?';
    s->sql = upper;
    s->prepared = true;
    s->executed = s->fetched = false;
    return Ok(status);
}

static ISC_STATUS Describe(ISC_STATUS* status, isc_stmt_handle* stmt, unsigned short version, XSQLDA* da, bool bind)
{
    Log(bind ? "describe_bind" : "describe");
    Stmt* s = StmtOf(stmt);
    if (!s)
        return Fail(status, isc_bad_stmt_handle, "Attempt to reclose a closed cursor");
    if (!s->prepared)
        return Misuse(status, "describe before prepare");
    if (version != SQLDA_VERSION1 || !da || da->version != SQLDA_VERSION1 || da->sqln < 1)
        return Misuse(status, "an XSQLDA that is not version 1 or has no room");
    da->sqld = static_cast<ISC_SHORT>(bind ? s->params : 1);
    const int n = da->sqld < da->sqln ? da->sqld : da->sqln;
    for (int i = 0; i < n; ++i) {
        XSQLVAR& v = da->sqlvar[i];
        std::memset(&v, 0, sizeof v);
        if (bind) {
            v.sqltype = SQL_VARYING + 1;
            v.sqllen = 31;
        } else {
            v.sqltype = SQL_INT64 + (s->isNull ? 1 : 0);  // COUNT is a BIGINT in dialect 3
            v.sqllen = 8;
            v.aliasname_length = static_cast<ISC_SHORT>(s->alias.size());
            std::memcpy(v.aliasname, s->alias.data(), s->alias.size());
        }
    }
    return Ok(status);
}

ISC_STATUS ISC_EXPORT isc_dsql_describe(ISC_STATUS* status, isc_stmt_handle* stmt, unsigned short version, XSQLDA* da)
{
    return Describe(status, stmt, version, da, false);
}

ISC_STATUS ISC_EXPORT isc_dsql_describe_bind(ISC_STATUS* status, isc_stmt_handle* stmt, unsigned short version,
                                             XSQLDA* da)
{
    return Describe(status, stmt, version, da, true);
}

ISC_STATUS ISC_EXPORT isc_dsql_execute(ISC_STATUS* status, isc_tr_handle* tr, isc_stmt_handle* stmt,
                                       unsigned short version, const XSQLDA* in)
{
    Log("execute");
    Stmt* s = StmtOf(stmt);
    Txn* t = TxnOf(tr);
    if (!s)
        return Fail(status, isc_bad_stmt_handle, "Attempt to reclose a closed cursor");
    if (!t)
        return Fail(status, isc_bad_trans_handle, "invalid transaction handle (expecting explicit transaction start)");
    if (!s->prepared)
        return Misuse(status, "execute before prepare");
    if (version != SQLDA_VERSION1 || !in || in->sqld != s->params)
        return Misuse(status, "the input XSQLDA does not match the statement's parameters");
    std::string bound, raw;
    if (s->params == 1) {
        const XSQLVAR& v = in->sqlvar[0];
        if ((v.sqltype & ~1) != SQL_TEXT || !v.sqldata || v.sqllen < 0)
            return Misuse(status, "the parameter is not fixed text with data");
        raw = std::string(v.sqldata, static_cast<size_t>(v.sqllen));
        bound = Upper(raw);
    }
    if (s->constant) {
        s->matched = s->params == 0 || raw == s->literal;
    } else if (s->sql.find("RDB$RELATIONS") != std::string::npos) {
        s->value = Visible(bound, *t) ? 1 : 0;
    } else {
        const std::string table = WordAfter(s->sql, " FROM ");
        if (!Visible(table, *t))
            return Fail(status, isc_dsql_relation_err,
                        "Dynamic SQL Error\n-SQL error code = -204\n-Table unknown\n-" + table);
        s->value = (t->tables->count(table) ? (*t->tables)[table] : 0) +
                   (t->inserted.count(table) ? t->inserted[table] : 0);
    }
    s->executed = true;
    s->fetched = false;
    return Ok(status);
}

ISC_STATUS ISC_EXPORT isc_dsql_fetch(ISC_STATUS* status, isc_stmt_handle* stmt, unsigned short version,
                                     const XSQLDA* out)
{
    Log("fetch");
    Stmt* s = StmtOf(stmt);
    if (!s)
        return Fail(status, isc_bad_stmt_handle, "Attempt to reclose a closed cursor");
    if (!s->executed)
        return Misuse(status, "fetch before execute");
    if (version != SQLDA_VERSION1 || !out || out->sqld != 1 || !out->sqlvar[0].sqldata)
        return Misuse(status, "the output XSQLDA has no buffer");
    Ok(status);
    if (s->fetched || (s->constant && !s->matched))
        return 100;
    s->fetched = true;
    if (s->isNull) {
        if (!out->sqlvar[0].sqlind)
            return Misuse(status, "a nullable column without an indicator");
        *out->sqlvar[0].sqlind = -1;
        return 0;
    }
    std::memcpy(out->sqlvar[0].sqldata, &s->value, sizeof s->value);
    if (out->sqlvar[0].sqlind)
        *out->sqlvar[0].sqlind = 0;
    return 0;
}

ISC_STATUS ISC_EXPORT isc_dsql_free_statement(ISC_STATUS* status, isc_stmt_handle* stmt, unsigned short option)
{
    Log("free_statement");
    if (!StmtOf(stmt))
        return Fail(status, isc_bad_stmt_handle, "Attempt to reclose a closed cursor");
    if (option != DSQL_drop)
        return Misuse(status, "a statement kept open (not DSQL_drop)");
    g_stmts.erase(*stmt);
    *stmt = 0;
    return Ok(status);
}

ISC_LONG ISC_EXPORT fb_interpret(ISC_SCHAR* buffer, unsigned int size, const ISC_STATUS** vector)
{
    const ISC_STATUS* v = *vector;
    if (!v || v[0] != isc_arg_gds || v[1] == 0 || v[2] != isc_arg_string || size == 0) {
        return 0;
    }
    const char* text = reinterpret_cast<const char*>(v[3]);
    std::snprintf(buffer, size, "%s", text);
    *vector = v + 4;  // at isc_arg_end: the next call returns 0
    return static_cast<ISC_LONG>(std::strlen(buffer));
}

// Called once at the program's exit; nothing of the stand-in outlives the process.
int ISC_EXPORT fb_shutdown(unsigned int, const int)
{
    return 0;
}

} // extern "C"
