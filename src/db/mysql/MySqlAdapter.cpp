#ifdef _WIN32
#include <winsock2.h>  // before anything that may bring windows.h
#endif
#include "core/AsciiText.h"
#include "db/CallingConvention.h"
#include "db/AdapterFactories.h"
#include "db/AdapterRegistry.h"
#include "db/OperationWatch.h"
#include "db/SocketShutdown.h"
#include "db/Sockets.h"

#include "core/ConnectionFields.h"
#include "core/Error.h"

#include <mysql.h>

#include <cctype>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace brivel::db {

namespace {

// Long enough for any DDL of the installer on a busy server, short enough that
// a server that vanishes mid-statement ends in an error rather than a hang.
constexpr unsigned int kConnectTimeoutSeconds = 10;
constexpr unsigned int kReadTimeoutSeconds = 300;
constexpr unsigned int kWriteTimeoutSeconds = 300;
// How often a connect that waits for the server looks at the cancel request.
constexpr int kConnectStepMs = 50;

// MYSQL_BIND, MYSQL_FIELD (up to `type`) and the options used here have the same
// layout and values in MariaDB Connector/C and in libmysqlclient 8.
struct MySqlApi {
    std::shared_ptr<ClientLibrary> lib;
    decltype(&mysql_server_init) server_init;
    decltype(&mysql_server_end) server_end;
    decltype(&mysql_init) init;
    decltype(&mysql_options) options;
    decltype(&mysql_real_connect) real_connect;
    decltype(&mysql_close) close;
    decltype(&mysql_error) error;
    decltype(&mysql_errno) errnum;
    decltype(&mysql_real_query) real_query;
    decltype(&mysql_store_result) store_result;
    decltype(&mysql_free_result) free_result;
    decltype(&mysql_next_result) next_result;
    decltype(&mysql_field_count) field_count;
    decltype(&mysql_num_fields) num_fields;
    decltype(&mysql_fetch_field_direct) fetch_field_direct;
    decltype(&mysql_stmt_init) stmt_init;
    decltype(&mysql_stmt_prepare) stmt_prepare;
    decltype(&mysql_stmt_param_count) stmt_param_count;
    decltype(&mysql_stmt_bind_param) stmt_bind_param;
    decltype(&mysql_stmt_execute) stmt_execute;
    decltype(&mysql_stmt_result_metadata) stmt_result_metadata;
    decltype(&mysql_stmt_bind_result) stmt_bind_result;
    decltype(&mysql_stmt_fetch) stmt_fetch;
    decltype(&mysql_stmt_free_result) stmt_free_result;
    decltype(&mysql_stmt_close) stmt_close;
    decltype(&mysql_stmt_error) stmt_error;
    decltype(&mysql_thread_id) thread_id;
    decltype(&mysql_thread_end) thread_end = nullptr;   // optional
    decltype(&mysql_get_socket) get_socket = nullptr;   // MariaDB's only
    // MariaDB's non-blocking connect, which a cancel can leave part-way.
    decltype(&mysql_real_connect_start) real_connect_start = nullptr;
    decltype(&mysql_real_connect_cont) real_connect_cont = nullptr;
    decltype(&mysql_get_timeout_value_ms) get_timeout_value_ms = nullptr;

    explicit MySqlApi(std::shared_ptr<ClientLibrary> l) : lib(std::move(l))
    {
        lib->resolve(server_init, "mysql_server_init");
        lib->resolve(server_end, "mysql_server_end");
        lib->resolve(init, "mysql_init");
        lib->resolve(options, "mysql_options");
        lib->resolve(real_connect, "mysql_real_connect");
        lib->resolve(close, "mysql_close");
        lib->resolve(error, "mysql_error");
        lib->resolve(errnum, "mysql_errno");
        lib->resolve(real_query, "mysql_real_query");
        lib->resolve(store_result, "mysql_store_result");
        lib->resolve(free_result, "mysql_free_result");
        lib->resolve(next_result, "mysql_next_result");
        lib->resolve(field_count, "mysql_field_count");
        lib->resolve(num_fields, "mysql_num_fields");
        lib->resolve(fetch_field_direct, "mysql_fetch_field_direct");
        lib->resolve(stmt_init, "mysql_stmt_init");
        lib->resolve(stmt_prepare, "mysql_stmt_prepare");
        lib->resolve(stmt_param_count, "mysql_stmt_param_count");
        lib->resolve(stmt_bind_param, "mysql_stmt_bind_param");
        lib->resolve(stmt_execute, "mysql_stmt_execute");
        lib->resolve(stmt_result_metadata, "mysql_stmt_result_metadata");
        lib->resolve(stmt_bind_result, "mysql_stmt_bind_result");
        lib->resolve(stmt_fetch, "mysql_stmt_fetch");
        lib->resolve(stmt_free_result, "mysql_stmt_free_result");
        lib->resolve(stmt_close, "mysql_stmt_close");
        lib->resolve(stmt_error, "mysql_stmt_error");
        lib->resolve(thread_id, "mysql_thread_id");
        lib->resolveOptional(thread_end, "mysql_thread_end");
        lib->resolveOptional(get_socket, "mysql_get_socket");
        lib->resolveOptional(real_connect_start, "mysql_real_connect_start");
        lib->resolveOptional(real_connect_cont, "mysql_real_connect_cont");
        lib->resolveOptional(get_timeout_value_ms, "mysql_get_timeout_value_ms");
        // mysql_init would do this implicitly; doing it here keeps it off later calls.
        if (server_init(0, nullptr, nullptr) != 0)
            throw Error("Não foi possível inicializar a biblioteca cliente do MySQL (" + lib->file() + ").");
    }
};

// libmysql/libmariadb export __stdcall functions on 32-bit Windows (STDCALL in mysql.h).
static_assert(AllStdcall<
    decltype(MySqlApi::server_init),
    decltype(MySqlApi::server_end),
    decltype(MySqlApi::init),
    decltype(MySqlApi::options),
    decltype(MySqlApi::real_connect),
    decltype(MySqlApi::close),
    decltype(MySqlApi::error),
    decltype(MySqlApi::errnum),
    decltype(MySqlApi::real_query),
    decltype(MySqlApi::store_result),
    decltype(MySqlApi::free_result),
    decltype(MySqlApi::next_result),
    decltype(MySqlApi::field_count),
    decltype(MySqlApi::num_fields),
    decltype(MySqlApi::fetch_field_direct),
    decltype(MySqlApi::stmt_init),
    decltype(MySqlApi::stmt_prepare),
    decltype(MySqlApi::stmt_param_count),
    decltype(MySqlApi::stmt_bind_param),
    decltype(MySqlApi::stmt_execute),
    decltype(MySqlApi::stmt_result_metadata),
    decltype(MySqlApi::stmt_bind_result),
    decltype(MySqlApi::stmt_fetch),
    decltype(MySqlApi::stmt_free_result),
    decltype(MySqlApi::stmt_close),
    decltype(MySqlApi::stmt_error),
    decltype(MySqlApi::thread_id),
    decltype(MySqlApi::thread_end),
    decltype(MySqlApi::get_socket),
    decltype(MySqlApi::real_connect_start),
    decltype(MySqlApi::real_connect_cont),
    decltype(MySqlApi::get_timeout_value_ms)>,
              "the MySQL function table must use the library's calling convention");

// Loaded on the first open and kept for the rest of the process (never freed, as
// the library is never unloaded); a failed load is tried again by the next open.
const MySqlApi& Api()
{
    static std::mutex mutex;
    static const MySqlApi* api = nullptr;
    std::lock_guard lock(mutex);
    if (!api) {
        api = new MySqlApi(ClientLibrary::Load(ClientLibraryFiles(tbMySQL), DisplayName(tbMySQL)));
        // At exit, once: free what mysql_server_init set up. Registered after the
        // library's own exit handlers (libmysqlclient has C++ statics), so it runs
        // before them.
        std::atexit([] { api->server_end(); });
    }
    return *api;
}

unsigned int ParsePort(const std::string& text)
{
    const std::string trimmed = Trimmed(text);
    if (trimmed.empty())
        return 0;  // the library's default, 3306
    const long long port = PortNumber(trimmed);
    if (port < 1 || port > 65535)
        throw Error("Porta inválida para o MySQL: \"" + text + "\". Informe um número de 1 a 65535.");
    return static_cast<unsigned int>(port);
}

// The operating system's error number the library puts last in a connect failure's
// text ("... (111)", "... system error: 110"); -1 when there is none.
long LastNumberOf(const std::string& text)
{
    size_t end = text.find_last_of("0123456789");
    if (end == std::string::npos)
        return -1;
    size_t start = end;
    while (start > 0 && std::isdigit(static_cast<unsigned char>(text[start - 1])))
        --start;
    return end - start < 9 ? std::stol(text.substr(start, end - start + 1)) : -1;
}

FailureCause CauseOf(unsigned int code, const std::string& text)
{
    switch (code) {
    case 1045:  // ER_ACCESS_DENIED_ERROR
    case 1698:  // ER_ACCESS_DENIED_NO_PASSWORD_ERROR
        return FailureCause::Login;
    case 2005:  // CR_UNKNOWN_HOST
        return FailureCause::HostNotFound;
    case 1049:  // ER_BAD_DB_ERROR
        return FailureCause::DatabaseNotFound;
    case 1044:  // ER_DBACCESS_DENIED_ERROR
    case 1142:  // ER_TABLEACCESS_DENIED_ERROR
    case 1227:  // ER_SPECIFIC_ACCESS_DENIED_ERROR
        return FailureCause::NoPrivilege;
    case 2002:  // CR_CONNECTION_ERROR
    case 2003:  // CR_CONN_HOST_ERROR
    case 2013: {  // CR_SERVER_LOST (during the handshake)
        const long os = LastNumberOf(text);
        if (os == 110 || os == 10060)  // ETIMEDOUT, WSAETIMEDOUT
            return FailureCause::Timeout;
        return code == 2013 ? FailureCause::Unknown : FailureCause::NothingListening;
    }
    default: return FailureCause::Unknown;
    }
}

struct ResultDeleter {
    const MySqlApi* api;
    void operator()(MYSQL_RES* r) const { api->free_result(r); }
};
using ResultPtr = std::unique_ptr<MYSQL_RES, ResultDeleter>;

struct StmtDeleter {
    const MySqlApi* api;
    void operator()(MYSQL_STMT* s) const { api->stmt_close(s); }
};
using StmtPtr = std::unique_ptr<MYSQL_STMT, StmtDeleter>;

// Where the server is and who logs in, for the second connection of a cancel.
struct MySqlLogin {
    std::string server, user, password;
    unsigned int port = 0;
};

// The server stops a statement when another session sends KILL QUERY with the
// statement's connection id.
class MySqlCanceller final : public Canceller {
public:
    MySqlCanceller(const MySqlApi& api, MYSQL* m, MySqlLogin login)
        : api_(api), login_(std::move(login)), threadId_(api.thread_id(m)),
          socket_(api.get_socket ? static_cast<long long>(api.get_socket(m)) : -1)
    {
    }
    void cancel() noexcept override
    {
        if (MYSQL* k = api_.init(nullptr)) {
            const unsigned int timeout = kConnectTimeoutSeconds;
            api_.options(k, MYSQL_OPT_CONNECT_TIMEOUT, &timeout);
            api_.options(k, MYSQL_OPT_READ_TIMEOUT, &timeout);
            api_.options(k, MYSQL_OPT_WRITE_TIMEOUT, &timeout);
            if (!login_.server.empty()) {
                const unsigned int protocol = MYSQL_PROTOCOL_TCP;
                api_.options(k, MYSQL_OPT_PROTOCOL, &protocol);
            }
            if (api_.real_connect(k, login_.server.empty() ? nullptr : login_.server.c_str(), login_.user.c_str(),
                                  login_.password.c_str(), nullptr, login_.port, nullptr, 0)) {
                const std::string kill = "KILL QUERY " + std::to_string(threadId_);
                api_.real_query(k, kill.data(), static_cast<unsigned long>(kill.size()));
            }
            api_.close(k);
        }
        // This thread is the library's only for the cancel.
        if (api_.thread_end)
            api_.thread_end();
    }
    void abort() noexcept override
    {
        std::lock_guard lock(mutex_);
        ShutdownSocket(socket_);
    }
    void forget() noexcept
    {
        std::lock_guard lock(mutex_);
        socket_ = -1;
    }

private:
    const MySqlApi& api_;
    MySqlLogin login_;
    unsigned long threadId_;
    std::mutex mutex_;
    long long socket_;
};

class MySqlAdapter final : public DbAdapter {
public:
    ~MySqlAdapter() override { close(); }

    void open(const ConnectionDefinition& def) override
    {
        close();
        const unsigned int port = ParsePort(def.value("Port"));
        const MySqlApi& api = Api();
        api_ = &api;

        // A host name never holds blanks; the configuration file gets the trimmed text too.
        const std::string server = Trimmed(def.value("Server"));
        const std::string database = def.value("Database");
        const std::string user = def.value("User_Name");
        const std::string password = def.value("Password");
        const std::string charset = def.value("CharacterSet");

        struct MysqlCloser {
            const MySqlApi* api;
            void operator()(MYSQL* m) const { api->close(m); }
        };
        std::unique_ptr<MYSQL, MysqlCloser> mysql(api.init(nullptr), MysqlCloser{&api});
        if (!mysql)
            throw Error("MySQL: memória insuficiente para criar a conexão.");

        const unsigned int connectTimeout = kConnectTimeoutSeconds;
        const unsigned int readTimeout = kReadTimeoutSeconds;
        const unsigned int writeTimeout = kWriteTimeoutSeconds;
        setOption(mysql.get(), MYSQL_OPT_CONNECT_TIMEOUT, &connectTimeout);
        setOption(mysql.get(), MYSQL_OPT_READ_TIMEOUT, &readTimeout);
        setOption(mysql.get(), MYSQL_OPT_WRITE_TIMEOUT, &writeTimeout);
        if (!charset.empty())
            setOption(mysql.get(), MYSQL_SET_CHARSET_NAME, charset.c_str());
        if (!server.empty()) {
            // "localhost" would otherwise mean the local socket on Unix; the API
            // this connection is tested for reaches the server over TCP.
            const unsigned int protocol = MYSQL_PROTOCOL_TCP;
            setOption(mysql.get(), MYSQL_OPT_PROTOCOL, &protocol);
        }

        connect(mysql.get(), server, user, password, database, port);
        canceller_ = std::make_shared<MySqlCanceller>(api, mysql.get(), MySqlLogin{server, user, password, port});
        mysql_ = mysql.release();
        inTransaction_ = false;
    }

    std::shared_ptr<Canceller> canceller() const override { return canceller_; }

    void close() noexcept override
    {
        if (canceller_)
            canceller_->forget();
        canceller_.reset();
        if (!mysql_)
            return;
        // An open transaction is rolled back by the server when the session ends.
        api_->close(mysql_);
        mysql_ = nullptr;
        inTransaction_ = false;
    }

    bool isOpen() const override { return mysql_ != nullptr; }

    void execute(const std::string& sql) override
    {
        MYSQL* m = handle();
        if (api_->real_query(m, sql.data(), static_cast<unsigned long>(sql.size())) != 0)
            throw errorOf(m);
        drainResults(m);
    }

    void startTransaction() override
    {
        execute("START TRANSACTION");
        inTransaction_ = true;
    }

    void commit() override
    {
        // A failed COMMIT leaves no transaction open on the server either.
        inTransaction_ = false;
        execute("COMMIT");
    }

    void rollback() override
    {
        inTransaction_ = false;
        execute("ROLLBACK");
    }

    bool inTransaction() const override { return mysql_ && inTransaction_; }

    std::string parameterMarker(const std::string&) const override { return "?"; }

    long long queryInt(const std::string& sql, const std::string& value, const std::string& column) override
    {
        MYSQL* m = handle();
        StmtPtr stmt(api_->stmt_init(m), StmtDeleter{api_});
        if (!stmt)
            throw Error(messageOf(m));
        if (api_->stmt_prepare(stmt.get(), sql.data(), static_cast<unsigned long>(sql.size())) != 0)
            throw Error(stmtMessage(stmt.get()));
        if (api_->stmt_param_count(stmt.get()) != 1)
            throw Error("MySQL: a consulta deveria ter exatamente um parâmetro e tem " +
                        std::to_string(api_->stmt_param_count(stmt.get())) + ".");

        MYSQL_BIND param{};
        unsigned long valueLength = static_cast<unsigned long>(value.size());
        param.buffer_type = MYSQL_TYPE_STRING;
        param.buffer = const_cast<char*>(value.data());
        param.buffer_length = valueLength;
        param.length = &valueLength;
        if (api_->stmt_bind_param(stmt.get(), &param))
            throw Error(stmtMessage(stmt.get()));

        ResultPtr meta(api_->stmt_result_metadata(stmt.get()), ResultDeleter{api_});
        if (!meta)
            throw Error(MissingColumnText(column));
        const unsigned int count = api_->num_fields(meta.get());
        int target = -1;
        for (unsigned int i = 0; i < count && target < 0; ++i) {
            const MYSQL_FIELD* field = api_->fetch_field_direct(meta.get(), i);
            if (field && field->name && EqualIgnoringAsciiCase(field->name, column))
                target = static_cast<int>(i);
        }
        if (target < 0)
            throw Error(MissingColumnText(column));

        if (api_->stmt_execute(stmt.get()) != 0)
            throw Error(stmtMessage(stmt.get()));

        // Every column must be bound; the others get no buffer and are skipped.
        std::vector<MYSQL_BIND> binds(count);
        std::vector<unsigned long> lengths(count);
        long long result = 0;
        my_bool isNull = 0;
        my_bool conversionError = 0;
        for (unsigned int i = 0; i < count; ++i) {
            binds[i].buffer_type = MYSQL_TYPE_STRING;
            binds[i].length = &lengths[i];
        }
        MYSQL_BIND& out = binds[static_cast<size_t>(target)];
        out.buffer_type = MYSQL_TYPE_LONGLONG;
        out.buffer = &result;
        out.buffer_length = sizeof result;
        out.is_null = &isNull;
        out.error = &conversionError;
        if (api_->stmt_bind_result(stmt.get(), binds.data()))
            throw Error(stmtMessage(stmt.get()));

        const int rc = api_->stmt_fetch(stmt.get());
        if (rc == 1)
            throw Error(stmtMessage(stmt.get()));
        if (rc == MYSQL_NO_DATA)
            throw Error(NoRowText());
        if (isNull)
            throw Error(NullValueText(column));
        if (conversionError)
            throw Error("MySQL: a coluna " + column + " não contém um número inteiro.");
        api_->stmt_free_result(stmt.get());
        return result;
    }

private:
    MYSQL* handle() const
    {
        if (!mysql_)
            throw Error("A conexão com o MySQL não está aberta.");
        return mysql_;
    }

    void connect(MYSQL* m, const std::string& server, const std::string& user, const std::string& password,
                 const std::string& database, unsigned int port)
    {
        const char* host = server.empty() ? nullptr : server.c_str();
        const char* db = database.empty() ? nullptr : database.c_str();
        const bool nonBlocking = api_->real_connect_start && api_->real_connect_cont && api_->get_socket &&
                                 api_->get_timeout_value_ms && api_->options(m, MYSQL_OPT_NONBLOCK, nullptr) == 0;
        if (!nonBlocking) {
            if (!api_->real_connect(m, host, user.c_str(), password.c_str(), db, port, nullptr, 0))
                throw errorOf(m);
            return;
        }
        using Clock = std::chrono::steady_clock;
        MYSQL* connected = nullptr;
        int wait = api_->real_connect_start(&connected, m, host, user.c_str(), password.c_str(), db, port, nullptr, 0);
        while (wait != 0) {
            // The library's own timeouts (connect, read) stay in force: it asks to be told when one passed.
            const auto deadline = (wait & MYSQL_WAIT_TIMEOUT)
                                      ? Clock::now() + std::chrono::milliseconds(api_->get_timeout_value_ms(m))
                                      : Clock::time_point::max();
            int ready = 0;
            while (ready == 0) {
                const bool onSocket = (wait & (MYSQL_WAIT_READ | MYSQL_WAIT_WRITE | MYSQL_WAIT_EXCEPT)) != 0;
                bool readable = false;
                if (onSocket)
                    readable = WaitForSocket(static_cast<long long>(api_->get_socket(m)),
                                             (wait & MYSQL_WAIT_WRITE) != 0, kConnectStepMs);
                else
                    std::this_thread::sleep_for(std::chrono::milliseconds(kConnectStepMs));
                if (connectCancelled())
                    throw Cancelled();  // the caller's mysql_close frees what the connect had
                if (readable)
                    ready = wait & (MYSQL_WAIT_READ | MYSQL_WAIT_WRITE | MYSQL_WAIT_EXCEPT);
                else if (Clock::now() >= deadline)
                    ready = MYSQL_WAIT_TIMEOUT;
            }
            wait = api_->real_connect_cont(&connected, m, ready);
        }
        if (!connected)
            throw errorOf(m);
    }

    Error errorOf(MYSQL* m) const
    {
        const std::string text = messageOf(m);
        return Error(text, CauseOf(api_->errnum(m), text));
    }

    void setOption(MYSQL* m, mysql_option option, const void* value) const
    {
        if (api_->options(m, option, value) != 0)
            throw Error("MySQL: opção de conexão recusada pela biblioteca " + api_->lib->file() + ".");
    }

    std::string messageOf(MYSQL* m) const
    {
        const char* text = api_->error(m);
        if (text && *text)
            return text;
        return "MySQL: erro " + std::to_string(api_->errnum(m)) + ".";
    }

    std::string stmtMessage(MYSQL_STMT* s) const
    {
        const char* text = api_->stmt_error(s);
        if (text && *text)
            return text;
        return "MySQL: erro ao executar a consulta.";
    }

    // Frees whatever results the statement produced so the session can go on.
    void drainResults(MYSQL* m) const
    {
        for (;;) {
            if (MYSQL_RES* r = api_->store_result(m))
                api_->free_result(r);
            else if (api_->field_count(m) != 0)
                throw errorOf(m);
            const int next = api_->next_result(m);
            if (next < 0)
                return;
            if (next > 0)
                throw errorOf(m);
        }
    }

    const MySqlApi* api_ = nullptr;
    MYSQL* mysql_ = nullptr;
    bool inTransaction_ = false;
    std::shared_ptr<MySqlCanceller> canceller_;
};

} // namespace

std::unique_ptr<DbAdapter> CreateMySqlAdapter() { return std::make_unique<MySqlAdapter>(); }

// This kind's entry in the adapters the build compiles.
namespace mysql {
const AdapterRegistration& Registration()
{
    static const AdapterRegistration registration{tbMySQL, [](DriverLink*) {
        return CreateMySqlAdapter();
    }};
    return registration;
}
} // namespace mysql

} // namespace brivel::db
