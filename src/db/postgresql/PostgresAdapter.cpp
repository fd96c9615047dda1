#include "db/AdapterFactories.h"
#include "db/AdapterRegistry.h"
#include "core/AsciiText.h"
#include "db/IntegerText.h"
#include "db/OperationWatch.h"
#include "db/SocketShutdown.h"
#include "db/Sockets.h"
#include "db/postgresql/PgApi.h"

#include "core/Error.h"

#include <chrono>
#include <mutex>
#include <regex>


namespace brivel::db {

PgApi::PgApi(const ClientLibrary& lib)
{
    lib.resolve(connectStartParams, "PQconnectStartParams");
    lib.resolve(connectPoll, "PQconnectPoll");
    lib.resolve(setErrorVerbosity, "PQsetErrorVerbosity");
    lib.resolve(resultErrorField, "PQresultErrorField");
    lib.resolve(status, "PQstatus");
    lib.resolve(errorMessage, "PQerrorMessage");
    lib.resolve(finish, "PQfinish");
    lib.resolve(setNoticeProcessor, "PQsetNoticeProcessor");
    lib.resolve(transactionStatus, "PQtransactionStatus");
    lib.resolve(exec, "PQexec");
    lib.resolve(execParams, "PQexecParams");
    lib.resolve(resultStatus, "PQresultStatus");
    lib.resolve(resultErrorMessage, "PQresultErrorMessage");
    lib.resolve(cmdStatus, "PQcmdStatus");
    lib.resolve(clear, "PQclear");
    lib.resolve(ntuples, "PQntuples");
    lib.resolve(nfields, "PQnfields");
    lib.resolve(fname, "PQfname");
    lib.resolve(getvalue, "PQgetvalue");
    lib.resolve(getisnull, "PQgetisnull");
    lib.resolve(getCancel, "PQgetCancel");
    lib.resolve(cancel, "PQcancel");
    lib.resolve(freeCancel, "PQfreeCancel");
    lib.resolve(socket, "PQsocket");
}

std::shared_ptr<const PgApi> PgApi::For(const std::shared_ptr<ClientLibrary>& lib)
{
    // A released and reloaded library is a new object and gets a new table.
    static std::mutex mutex;
    static std::weak_ptr<ClientLibrary> cachedLib;
    static std::shared_ptr<const PgApi> cachedApi;
    std::lock_guard lock(mutex);
    if (cachedApi && cachedLib.lock() == lib)
        return cachedApi;
    auto api = std::make_shared<const PgApi>(*lib);
    cachedLib = lib;
    cachedApi = api;
    return api;
}

namespace {

std::string Trimmed(const char* text)
{
    std::string s = text ? text : "";
    const auto blank = [](char c) { return c == ' ' || c == '\n' || c == '\r' || c == '\t'; };
    while (!s.empty() && blank(s.back()))
        s.pop_back();
    size_t start = 0;
    while (start < s.size() && blank(s[start]))
        ++start;
    return s.substr(start);
}

void IgnoreNotice(void*, const char*) {}

// An unresponsive server fails after this long per address.
constexpr std::chrono::seconds kConnectBound{10};
// How often a connect that waits for the server looks at the cancel request.
constexpr int kConnectStepMs = 50;

FailureCause CauseOfSqlState(const std::string& state)
{
    if (state == "28P01" || state == "28000")
        return FailureCause::Login;
    if (state == "3D000")
        return FailureCause::DatabaseNotFound;
    if (state == "42501")
        return FailureCause::NoPrivilege;
    return FailureCause::Unknown;
}

// libpq gives no SQLSTATE of a refused connection but in its verbose text
// ("FATAL:  28P01: password ..." and a "LOCATION:  auth_failed, auth.c:323" line).
// Takes the last code out and gives back the text libpq shows by default.
std::string TakeSqlState(const std::string& verbose, std::string& state)
{
    static const std::regex code(":  ([0-9A-Z]{5}): ");
    static const std::regex location("\\n[^\\n:]+:  [^\\n]*\\.c:[0-9]+(?=\\n|$)");
    std::string text;
    auto from = verbose.cbegin();
    for (std::sregex_iterator it(verbose.begin(), verbose.end(), code), end; it != end; ++it) {
        state = (*it)[1].str();
        text.append(from, verbose.cbegin() + it->position(0));
        text += ":  ";
        from = verbose.cbegin() + it->position(0) + it->length(0);
    }
    text.append(from, verbose.cend());
    return std::regex_replace(text, location, "");
}

// PQcancel opens its own connection to the server with the key libpq got at
// login, so it needs nothing of the connection it cancels.
class PgCanceller final : public Canceller {
public:
    PgCanceller(std::shared_ptr<const PgApi> api, PGconn* conn)
        : api_(std::move(api)), cancel_(api_->getCancel(conn)), socket_(api_->socket(conn))
    {
    }
    ~PgCanceller() override
    {
        if (cancel_)
            api_->freeCancel(cancel_);
    }
    void cancel() noexcept override
    {
        char reason[256];
        if (cancel_)
            api_->cancel(cancel_, reason, sizeof reason);
    }
    void abort() noexcept override
    {
        std::lock_guard lock(mutex_);
        ShutdownSocket(socket_);
    }
    // Before PQfinish closes the socket, whose number may then be reused.
    void forget() noexcept
    {
        std::lock_guard lock(mutex_);
        socket_ = -1;
    }

private:
    std::shared_ptr<const PgApi> api_;
    PGcancel* cancel_;
    std::mutex mutex_;
    int socket_;
};

class PostgresAdapter final : public DbAdapter {
public:
    explicit PostgresAdapter(std::shared_ptr<ClientLibrary> lib)
        : lib_(std::move(lib)), api_(PgApi::For(lib_)), conn_(nullptr, ConnDeleter{api_->finish})
    {
    }
    ~PostgresAdapter() override { close(); }

    void open(const ConnectionDefinition& def) override
    {
        close();
        // Keyword/value arrays with expand_dbname off: whatever was typed stays one value.
        std::vector<std::pair<const char*, std::string>> params;
        const auto add = [&](const char* keyword, const std::string& value) {
            if (!value.empty())
                params.emplace_back(keyword, value);
        };
        // The page hands over untrimmed text; a host name or port never holds blanks.
        add("host", Trimmed(def.value("Server").c_str()));
        add("port", Trimmed(def.value("Port").c_str()));
        add("dbname", def.value("Database"));
        add("user", def.value("User_Name"));
        add("password", def.value("Password"));
        const std::string charset = def.value("CharacterSet");
        add("client_encoding", charset.empty() ? "UTF8" : charset);
        add("fallback_application_name", "SetupBrivelDB");

        std::vector<const char*> keywords, values;
        for (const auto& [k, v] : params) {
            keywords.push_back(k);
            values.push_back(v.c_str());
        }
        keywords.push_back(nullptr);
        values.push_back(nullptr);

        Conn conn = connect(keywords.data(), values.data(), Trimmed(def.value("Server").c_str()));
        // libpq prints notices (such as warnings) to stderr otherwise.
        api_->setNoticeProcessor(conn.get(), IgnoreNotice, nullptr);
        canceller_ = std::make_shared<PgCanceller>(api_, conn.get());
        conn_ = std::move(conn);
    }

    void close() noexcept override
    {
        if (canceller_)
            canceller_->forget();
        canceller_.reset();
        conn_.reset();
    }

    std::shared_ptr<Canceller> canceller() const override { return canceller_; }

    bool isOpen() const override { return conn_ != nullptr; }

    void execute(const std::string& sql) override { run(sql); }

    void startTransaction() override
    {
        if (inTransaction())
            throw Error("Já existe uma transação ativa nesta conexão.");
        run("BEGIN");
    }

    void commit() override
    {
        if (!inTransaction())
            throw Error("Não há transação ativa para confirmar.");
        // After a failed statement the server answers COMMIT with a rollback, not an error.
        const Result r = run("COMMIT");
        if (std::string(api_->cmdStatus(r.get())) == "ROLLBACK")
            throw Error("A transação foi desfeita pelo servidor porque um comando dela falhou.");
    }

    void rollback() override
    {
        if (inTransaction())
            run("ROLLBACK");
    }

    bool inTransaction() const override
    {
        if (!conn_)
            return false;
        const PGTransactionStatusType s = api_->transactionStatus(conn_.get());
        return s == PQTRANS_INTRANS || s == PQTRANS_INERROR;
    }

    std::string parameterMarker(const std::string&) const override { return "$1"; }

    long long queryInt(const std::string& sql, const std::string& value, const std::string& column) override
    {
        const char* values[] = {value.c_str()};
        const Result r(api_->execParams(connection(), sql.c_str(), 1, nullptr, values, nullptr, nullptr, 0),
                       ResultDeleter{api_->clear});
        check(r.get(), PGRES_TUPLES_OK);
        int col = -1;
        for (int i = 0, n = api_->nfields(r.get()); i < n && col < 0; ++i)
            if (EqualIgnoringAsciiCase(api_->fname(r.get(), i), column))
                col = i;
        if (col < 0)
            throw Error(MissingColumnText(column));
        if (api_->ntuples(r.get()) < 1)
            throw Error(NoRowText());
        if (api_->getisnull(r.get(), 0, col))
            throw Error(NullValueText(column));
        return IntegerFromText(api_->getvalue(r.get(), 0, col), column);
    }

private:
    struct ResultDeleter {
        decltype(&PQclear) clear;
        void operator()(PGresult* r) const
        {
            if (r)
                clear(r);
        }
    };
    using Result = std::unique_ptr<PGresult, ResultDeleter>;
    struct ConnDeleter {
        decltype(&PQfinish) finish;
        void operator()(PGconn* c) const
        {
            if (c)
                finish(c);
        }
    };
    using Conn = std::unique_ptr<PGconn, ConnDeleter>;

    // libpq's non-blocking connect, so that a cancel ends the wait for the server at once.
    Conn connect(const char* const* keywords, const char* const* values, const std::string& host)
    {
        using Clock = std::chrono::steady_clock;
        Conn conn(api_->connectStartParams(keywords, values, 0), ConnDeleter{api_->finish});
        if (!conn)
            throw Error("PostgreSQL: memória insuficiente para abrir a conexão.");
        if (api_->status(conn.get()) == CONNECTION_BAD)
            fail(conn.get(), false, host);
        api_->setErrorVerbosity(conn.get(), PQERRORS_VERBOSE);
        PostgresPollingStatusType poll = PGRES_POLLING_WRITING;
        int socket = -1;
        auto deadline = Clock::now() + kConnectBound;
        bool connected = false;  // a TCP connection was made to some address
        while (poll != PGRES_POLLING_OK) {
            if (poll == PGRES_POLLING_FAILED)
                fail(conn.get(), connected, host);
            if (api_->socket(conn.get()) != socket) {
                // Each address libpq tries gets the whole bound, as with its connect_timeout.
                socket = api_->socket(conn.get());
                deadline = Clock::now() + kConnectBound;
            }
            const bool ready = WaitForSocket(socket, poll == PGRES_POLLING_WRITING, kConnectStepMs);
            if (connectCancelled())
                throw Cancelled();
            if (!ready) {
                if (Clock::now() >= deadline)
                    throw Error("PostgreSQL: o servidor não respondeu em " +
                                    std::to_string(kConnectBound.count()) + " segundos.",
                                FailureCause::Timeout);
                continue;
            }
            poll = api_->connectPoll(conn.get());
            const ConnStatusType status = api_->status(conn.get());
            if (status != CONNECTION_STARTED && status != CONNECTION_NEEDED && status != CONNECTION_BAD)
                connected = true;
        }
        api_->setErrorVerbosity(conn.get(), PQERRORS_DEFAULT);
        return conn;
    }

    [[noreturn]] void fail(PGconn* conn, bool connected, const std::string& host) const
    {
        std::string state;
        std::string message = Trimmed(TakeSqlState(api_->errorMessage(conn), state).c_str());
        if (message.empty())
            message = "Não foi possível conectar ao PostgreSQL.";
        FailureCause cause = CauseOfSqlState(state);
        // No server answered: either the name is unknown or no one listens there.
        if (cause == FailureCause::Unknown && state.empty() && !connected && api_->status(conn) == CONNECTION_BAD)
            cause = HostNameUnknown(host) ? FailureCause::HostNotFound : FailureCause::NothingListening;
        throw Error(message, cause);
    }

    PGconn* connection() const
    {
        if (!conn_)
            throw Error("A conexão com o PostgreSQL não está aberta.");
        return conn_.get();
    }

    Result run(const std::string& sql)
    {
        Result r(api_->exec(connection(), sql.c_str()), ResultDeleter{api_->clear});
        const ExecStatusType s = r ? api_->resultStatus(r.get()) : PGRES_FATAL_ERROR;
        if (s != PGRES_TUPLES_OK)
            check(r.get(), PGRES_COMMAND_OK);
        return r;
    }

    void check(PGresult* r, ExecStatusType expected) const
    {
        if (r && api_->resultStatus(r) == expected)
            return;
        std::string message = r ? Trimmed(api_->resultErrorMessage(r)) : std::string();
        if (message.empty())
            message = Trimmed(api_->errorMessage(conn_.get()));
        if (message.empty())
            message = r && api_->resultStatus(r) == PGRES_EMPTY_QUERY ? "O comando SQL está vazio."
                                                                      : "O PostgreSQL não executou o comando.";
        const char* state = r ? api_->resultErrorField(r, PG_DIAG_SQLSTATE) : nullptr;
        throw Error(message, CauseOfSqlState(state ? state : ""));
    }

    std::shared_ptr<ClientLibrary> lib_;
    std::shared_ptr<const PgApi> api_;
    Conn conn_;
    std::shared_ptr<PgCanceller> canceller_;
};

} // namespace

std::unique_ptr<DbAdapter> CreatePostgresAdapter(std::shared_ptr<ClientLibrary> libpq)
{
    return std::make_unique<PostgresAdapter>(std::move(libpq));
}

// This kind's entry in the adapters the build compiles.
namespace postgresql {
const AdapterRegistration& Registration()
{
    static const AdapterRegistration registration{tbPostgreSQL, [](DriverLink* link) {
        return CreatePostgresAdapter(link->library());
    }};
    return registration;
}
} // namespace postgresql

} // namespace brivel::db
