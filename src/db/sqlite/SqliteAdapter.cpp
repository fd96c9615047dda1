#include "db/AdapterFactories.h"
#include "db/AdapterRegistry.h"
#include "core/AsciiText.h"
#include "db/IntegerText.h"

#include "core/Error.h"

#include <sqlite3.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <mutex>
#include <thread>

namespace brivel::db {

namespace {

// The sqlite3 functions the adapter calls, resolved from a library loaded at run time.
struct SqliteApi {
    decltype(&sqlite3_open_v2) open_v2;
    decltype(&sqlite3_close) close;
    decltype(&sqlite3_errmsg) errmsg;
    decltype(&sqlite3_busy_handler) busy_handler;
    decltype(&sqlite3_interrupt) interrupt;
    decltype(&sqlite3_exec) exec;
    decltype(&sqlite3_free) free;
    decltype(&sqlite3_get_autocommit) get_autocommit;
    decltype(&sqlite3_prepare_v2) prepare_v2;
    decltype(&sqlite3_bind_text) bind_text;
    decltype(&sqlite3_step) step;
    decltype(&sqlite3_finalize) finalize;
    decltype(&sqlite3_column_count) column_count;
    decltype(&sqlite3_column_name) column_name;
    decltype(&sqlite3_column_type) column_type;
    decltype(&sqlite3_column_int64) column_int64;
    decltype(&sqlite3_column_text) column_text;
    decltype(&sqlite3_system_errno) system_errno = nullptr;  // 3.22 and later

    explicit SqliteApi(const ClientLibrary& lib)
    {
        lib.resolve(open_v2, "sqlite3_open_v2");
        lib.resolve(close, "sqlite3_close");
        lib.resolve(errmsg, "sqlite3_errmsg");
        lib.resolve(busy_handler, "sqlite3_busy_handler");
        lib.resolve(interrupt, "sqlite3_interrupt");
        lib.resolve(exec, "sqlite3_exec");
        lib.resolve(free, "sqlite3_free");
        lib.resolve(get_autocommit, "sqlite3_get_autocommit");
        lib.resolve(prepare_v2, "sqlite3_prepare_v2");
        lib.resolve(bind_text, "sqlite3_bind_text");
        lib.resolve(step, "sqlite3_step");
        lib.resolve(finalize, "sqlite3_finalize");
        lib.resolve(column_count, "sqlite3_column_count");
        lib.resolve(column_name, "sqlite3_column_name");
        lib.resolve(column_type, "sqlite3_column_type");
        lib.resolve(column_int64, "sqlite3_column_int64");
        lib.resolve(column_text, "sqlite3_column_text");
        lib.resolveOptional(system_errno, "sqlite3_system_errno");
    }
};

// Loaded by the first open and kept for the rest of the process; a failed load
// is tried again by the next open.
const SqliteApi& Api()
{
    static std::mutex mutex;
    static std::unique_ptr<SqliteApi> api;
    std::lock_guard lock(mutex);
    if (!api)
        api = std::make_unique<SqliteApi>(*ClientLibrary::Load(ClientLibraryFiles(tbSQLite), DisplayName(tbSQLite)));
    return *api;
}

// The pragma value for a definition's text, limited to the words SQLite knows,
// so nothing typed reaches the statement as SQL.
std::string PragmaWord(const std::string& param, const std::string& value, std::initializer_list<const char*> words)
{
    const std::string up = UpperAscii(value);
    for (const char* w : words)
        if (up == w)
            return up;
    throw Error("Valor inválido para " + param + " do SQLite: \"" + value + "\".");
}

// Another process holding a lock is waited for this long before "database is locked".
constexpr int kBusyWaitMs = 5000;
constexpr int kBusyStepMs = 10;

// sqlite3_interrupt stops the running statement; the wait for another process's
// lock is SQLite's busy handler, which the interrupt does not reach, so ours
// also gives up when cancelled.
class SqliteCanceller final : public Canceller {
public:
    SqliteCanceller(const SqliteApi& api, sqlite3* db) : api_(api), db_(db) {}
    void arm() noexcept override { cancelled_ = false; }
    void cancel() noexcept override
    {
        cancelled_ = true;
        std::lock_guard lock(mutex_);
        if (db_)
            api_.interrupt(db_);
    }
    void forget() noexcept
    {
        std::lock_guard lock(mutex_);
        db_ = nullptr;
    }
    static int BusyWait(void* self, int attempts)
    {
        if (static_cast<SqliteCanceller*>(self)->cancelled_ || attempts * kBusyStepMs >= kBusyWaitMs)
            return 0;
        std::this_thread::sleep_for(std::chrono::milliseconds(kBusyStepMs));
        return 1;
    }

private:
    const SqliteApi& api_;
    std::mutex mutex_;
    sqlite3* db_;
    std::atomic<bool> cancelled_{false};
};

class SqliteAdapter final : public DbAdapter {
public:
    SqliteAdapter() : api_(Api()), db_(nullptr, DbCloser{api_.close}) {}

    void open(const ConnectionDefinition& def) override
    {
        close();
        const std::string path = def.value("Database");
        sqlite3* raw = nullptr;
        const int rc = api_.open_v2(path.c_str(), &raw, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
        Db db(raw, DbCloser{api_.close});
        if (rc != SQLITE_OK)
            throw Error("Não foi possível abrir o banco SQLite \"" + path + "\": " +
                            (db ? api_.errmsg(db.get()) : "memória insuficiente") + ".",
                        db ? causeOf(db.get(), rc) : FailureCause::Unknown);
        // Another process holding a lock is waited for instead of failing at once.
        auto canceller = std::make_shared<SqliteCanceller>(api_, db.get());
        api_.busy_handler(db.get(), &SqliteCanceller::BusyWait, canceller.get());
        std::string pragmas;
        if (def.has("LockingMode"))
            pragmas += "PRAGMA locking_mode=" + PragmaWord("LockingMode", def.value("LockingMode"), {"NORMAL", "EXCLUSIVE"}) + ";";
        if (def.has("Synchronous"))
            pragmas += "PRAGMA synchronous=" +
                       PragmaWord("Synchronous", def.value("Synchronous"), {"OFF", "NORMAL", "FULL", "EXTRA"}) + ";";
        // Opening is lazy: reading the schema is what finds a file that is not a database.
        pragmas += "PRAGMA schema_version;";
        run(db.get(), pragmas, "Não foi possível abrir o banco SQLite \"" + path + "\": ");
        canceller_ = std::move(canceller);
        db_ = std::move(db);
    }

    ~SqliteAdapter() override { close(); }

    void close() noexcept override
    {
        if (canceller_)
            canceller_->forget();
        db_.reset();
        canceller_.reset();
    }

    std::shared_ptr<Canceller> canceller() const override { return canceller_; }

    bool isOpen() const override { return db_ != nullptr; }

    void execute(const std::string& sql) override { run(connection(), sql, ""); }

    void startTransaction() override
    {
        if (inTransaction())
            throw Error("Já existe uma transação ativa nesta conexão.");
        run(connection(), "BEGIN", "");
    }

    void commit() override
    {
        if (!inTransaction())
            throw Error("Não há transação ativa para confirmar.");
        run(connection(), "COMMIT", "");
    }

    void rollback() override
    {
        // SQLite itself ends the transaction after some failures (disk full, busy).
        if (inTransaction())
            run(connection(), "ROLLBACK", "");
    }

    bool inTransaction() const override { return db_ && !api_.get_autocommit(db_.get()); }

    std::string parameterMarker(const std::string&) const override { return "?"; }

    long long queryInt(const std::string& sql, const std::string& value, const std::string& column) override
    {
        sqlite3* db = connection();
        sqlite3_stmt* raw = nullptr;
        if (api_.prepare_v2(db, sql.c_str(), int(sql.size()), &raw, nullptr) != SQLITE_OK)
            throw Error(api_.errmsg(db));
        const Stmt stmt(raw, StmtFinalizer{api_.finalize});
        if (!stmt)
            throw Error("O comando SQL está vazio.");
        if (api_.bind_text(stmt.get(), 1, value.data(), int(value.size()), SQLITE_TRANSIENT) != SQLITE_OK)
            throw Error(api_.errmsg(db));
        int col = -1;
        for (int i = 0, n = api_.column_count(stmt.get()); i < n && col < 0; ++i)
            if (UpperAscii(api_.column_name(stmt.get(), i)) == UpperAscii(column))
                col = i;
        if (col < 0)
            throw Error(MissingColumnText(column));
        const int rc = api_.step(stmt.get());
        if (rc == SQLITE_DONE)
            throw Error(NoRowText());
        if (rc != SQLITE_ROW)
            throw Error(api_.errmsg(db), causeOf(db, rc));
        switch (api_.column_type(stmt.get(), col)) {
        case SQLITE_NULL:
            throw Error(NullValueText(column));
        case SQLITE_INTEGER:
            return api_.column_int64(stmt.get(), col);
        default: {
            const char* p = reinterpret_cast<const char*>(api_.column_text(stmt.get(), col));
            return IntegerFromText(p ? p : "", column);
        }
        }
    }

private:
    struct DbCloser {
        decltype(&sqlite3_close) close;
        void operator()(sqlite3* db) const
        {
            if (db)
                close(db);
        }
    };
    using Db = std::unique_ptr<sqlite3, DbCloser>;
    struct StmtFinalizer {
        decltype(&sqlite3_finalize) finalize;
        void operator()(sqlite3_stmt* s) const
        {
            if (s)
                finalize(s);
        }
    };
    using Stmt = std::unique_ptr<sqlite3_stmt, StmtFinalizer>;

    sqlite3* connection() const
    {
        if (!db_)
            throw Error("A conexão com o SQLite não está aberta.");
        return db_.get();
    }

    // Runs every statement of `sql`, ignoring rows; a failure carries SQLite's text.
    void run(sqlite3* db, const std::string& sql, const std::string& prefix)
    {
        char* err = nullptr;
        const int rc = api_.exec(db, sql.c_str(), nullptr, nullptr, &err);
        if (rc == SQLITE_OK)
            return;
        const std::string message = err ? err : api_.errmsg(db);
        api_.free(err);
        throw Error(prefix + message, causeOf(db, rc));
    }

    // From the result code and, for a file that cannot be opened, the system's error number.
    FailureCause causeOf(sqlite3* db, int rc) const
    {
        switch (rc & 0xff) {
        case SQLITE_READONLY:
        case SQLITE_PERM:
        case SQLITE_AUTH:
            return FailureCause::NoPrivilege;
        case SQLITE_CANTOPEN: {
            const int os = api_.system_errno ? api_.system_errno(db) : 0;
#ifdef _WIN32
            if (os == 5)  // ERROR_ACCESS_DENIED
                return FailureCause::NoPrivilege;
            return os == 2 || os == 3 ? FailureCause::DatabaseNotFound : FailureCause::Unknown;
#else
            if (os == EACCES || os == EPERM || os == EROFS)
                return FailureCause::NoPrivilege;
            return os == ENOENT || os == ENOTDIR ? FailureCause::DatabaseNotFound : FailureCause::Unknown;
#endif
        }
        default: return FailureCause::Unknown;
        }
    }

    const SqliteApi& api_;
    Db db_;
    std::shared_ptr<SqliteCanceller> canceller_;
};

} // namespace

std::unique_ptr<DbAdapter> CreateSqliteAdapter() { return std::make_unique<SqliteAdapter>(); }

// This kind's entry in the adapters the build compiles.
namespace sqlite {
const AdapterRegistration& Registration()
{
    static const AdapterRegistration registration{tbSQLite, [](DriverLink*) {
        return CreateSqliteAdapter();
    }};
    return registration;
}
} // namespace sqlite

} // namespace brivel::db
