#include "db/CallingConvention.h"
#include "core/AsciiText.h"
#include "db/firebird/FirebirdAdapter.h"

#include "core/ConnectionFields.h"
#include "core/Error.h"
#include "db/AdapterFactories.h"
#include "db/AdapterRegistry.h"

#include <ibase.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

namespace brivel::db {

namespace {

constexpr int kDialect = 3;
constexpr std::uint32_t kConnectTimeoutSeconds = 10;
// A conflicting lock held by another session (the API running against the same
// database) ends in an error instead of blocking the wizard for good.
constexpr std::uint32_t kLockTimeoutSeconds = 30;
constexpr const char* kDefaultPort = "3050";
constexpr unsigned int kShutdownMilliseconds = 5000;

bool IsAsciiAlnum(char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0; }

bool IsBracketedIPv6(const std::string& host)
{
    if (host.size() < 4 || host.front() != '[' || host.back() != ']')
        return false;
    const std::string inner = host.substr(1, host.size() - 2);
    const size_t zone = inner.find('%');
    const std::string address = inner.substr(0, zone);
    if (address.find(':') == std::string::npos)
        return false;
    for (char c : address)
        if (!std::isxdigit(static_cast<unsigned char>(c)) && c != ':' && c != '.')
            return false;
    if (zone != std::string::npos) {
        const std::string id = inner.substr(zone + 1);
        if (id.empty())
            return false;
        for (char c : id)
            if (!IsAsciiAlnum(c) && c != '-' && c != '_' && c != '.')
                return false;
    }
    return true;
}

bool IsHostName(const std::string& host)
{
    for (char c : host)
        if (!IsAsciiAlnum(c) && c != '.' && c != '-' && c != '_')
            return false;
    return true;
}

void AppendItem(std::string& dpb, char tag, const std::string& value, const char* what)
{
    if (value.size() > 255)
        throw Error(std::string("Firebird: ") + what + " tem mais de 255 bytes e não pode ser enviado ao servidor.");
    if (value.find('\0') != std::string::npos)
        throw Error(std::string("Firebird: ") + what + " contém um caractere nulo.");
    dpb += tag;
    dpb += static_cast<char>(value.size());
    dpb += value;
}

void AppendInt(std::string& block, char tag, std::uint32_t value)
{
    block += tag;
    block += static_cast<char>(4);
    for (int i = 0; i < 4; ++i)
        block += static_cast<char>((value >> (8 * i)) & 0xFF);  // little-endian, as the API wants
}

struct TransactionBlock {
    isc_db_handle* database;
    int tpbLength;  // the client's own TEB declares an int here
    const char* tpb;
};

std::string TransactionParameters()
{
    std::string tpb;
    tpb += static_cast<char>(isc_tpb_version3);
    tpb += static_cast<char>(isc_tpb_write);
    tpb += static_cast<char>(isc_tpb_read_committed);
    tpb += static_cast<char>(isc_tpb_rec_version);
    tpb += static_cast<char>(isc_tpb_wait);
    AppendInt(tpb, static_cast<char>(isc_tpb_lock_timeout), kLockTimeoutSeconds);
    return tpb;
}

struct FirebirdApi {
    std::shared_ptr<ClientLibrary> lib;
    decltype(&isc_attach_database) attach_database;
    decltype(&isc_detach_database) detach_database;
    decltype(&isc_start_multiple) start_multiple;
    decltype(&isc_commit_transaction) commit_transaction;
    decltype(&isc_rollback_transaction) rollback_transaction;
    decltype(&isc_dsql_execute_immediate) dsql_execute_immediate;
    decltype(&isc_dsql_allocate_statement) dsql_allocate_statement;
    decltype(&isc_dsql_prepare) dsql_prepare;
    decltype(&isc_dsql_describe) dsql_describe;
    decltype(&isc_dsql_describe_bind) dsql_describe_bind;
    decltype(&isc_dsql_execute) dsql_execute;
    decltype(&isc_dsql_fetch) dsql_fetch;
    decltype(&isc_dsql_free_statement) dsql_free_statement;
    decltype(&fb_interpret) interpret;
    decltype(&fb_shutdown) shutdown = nullptr;  // not in every build of the client
    decltype(&fb_cancel_operation) cancel_operation = nullptr;  // 2.5 and later

    explicit FirebirdApi(std::shared_ptr<ClientLibrary> l) : lib(std::move(l))
    {
        lib->resolve(attach_database, "isc_attach_database");
        lib->resolve(detach_database, "isc_detach_database");
        lib->resolve(start_multiple, "isc_start_multiple");
        lib->resolve(commit_transaction, "isc_commit_transaction");
        lib->resolve(rollback_transaction, "isc_rollback_transaction");
        lib->resolve(dsql_execute_immediate, "isc_dsql_execute_immediate");
        lib->resolve(dsql_allocate_statement, "isc_dsql_allocate_statement");
        lib->resolve(dsql_prepare, "isc_dsql_prepare");
        lib->resolve(dsql_describe, "isc_dsql_describe");
        lib->resolve(dsql_describe_bind, "isc_dsql_describe_bind");
        lib->resolve(dsql_execute, "isc_dsql_execute");
        lib->resolve(dsql_fetch, "isc_dsql_fetch");
        lib->resolve(dsql_free_statement, "isc_dsql_free_statement");
        lib->resolve(interpret, "fb_interpret");
        lib->resolveOptional(shutdown, "fb_shutdown");
        lib->resolveOptional(cancel_operation, "fb_cancel_operation");
    }

    // Every line of the status vector, so the user sees e.g. which table is unknown.
    std::string message(const ISC_STATUS* status) const
    {
        std::string text;
        const ISC_STATUS* cursor = status;
        char line[1024];
        while (interpret(line, sizeof line, &cursor) > 0) {
            if (!text.empty())
                text += '\n';
            text += line;
        }
        return text.empty() ? "Firebird: erro " + std::to_string(status[1]) + "." : text;
    }

    void check(const ISC_STATUS* status) const
    {
        if (status[0] == 1 && status[1] != 0)
            throw Error(message(status), CauseOf(status));
    }

    // The likely cause, from the vector's error codes and the operating system's
    // error number the client adds to a network or file failure.
    static FailureCause CauseOf(const ISC_STATUS* status)
    {
        std::vector<ISC_STATUS> codes;
        long os = -1;
        for (const ISC_STATUS* p = status; *p != isc_arg_end;) {
            const ISC_STATUS kind = *p++;
            if (kind == isc_arg_gds)
                codes.push_back(*p);
            else if (kind == isc_arg_unix || kind == isc_arg_win32)
                os = static_cast<long>(*p);
            p += kind == isc_arg_cstring ? 2 : 1;
        }
        const auto has = [&](ISC_STATUS code) { return std::find(codes.begin(), codes.end(), code) != codes.end(); };
        if (has(isc_login))
            return FailureCause::Login;
        if (has(isc_net_lookup_err) || has(isc_host_unknown))
            return FailureCause::HostNotFound;
        // A server passes its system's error on as text only; a local client gives the number.
        if (has(isc_net_connect_err)) {
            if (os == 110 || os == 10060)  // ETIMEDOUT, WSAETIMEDOUT
                return FailureCause::Timeout;
            return FailureCause::NothingListening;
        }
        if (has(isc_io_open_err)) {
            if (os == 13 || os == 5)  // EACCES, ERROR_ACCESS_DENIED
                return FailureCause::NoPrivilege;
            return FailureCause::DatabaseNotFound;
        }
        if (has(isc_no_priv))
            return FailureCause::NoPrivilege;
        return FailureCause::Unknown;
    }
};

// fbclient exports __stdcall functions on 32-bit Windows (ISC_EXPORT in ibase.h).
static_assert(AllStdcall<
    decltype(FirebirdApi::attach_database),
    decltype(FirebirdApi::detach_database),
    decltype(FirebirdApi::start_multiple),
    decltype(FirebirdApi::commit_transaction),
    decltype(FirebirdApi::rollback_transaction),
    decltype(FirebirdApi::dsql_execute_immediate),
    decltype(FirebirdApi::dsql_allocate_statement),
    decltype(FirebirdApi::dsql_prepare),
    decltype(FirebirdApi::dsql_describe),
    decltype(FirebirdApi::dsql_describe_bind),
    decltype(FirebirdApi::dsql_execute),
    decltype(FirebirdApi::dsql_fetch),
    decltype(FirebirdApi::dsql_free_statement),
    decltype(FirebirdApi::interpret),
    decltype(FirebirdApi::shutdown),
    decltype(FirebirdApi::cancel_operation)>,
              "the fbclient function table must use the library's calling convention");

// Loaded on the first open and kept for the rest of the process (never freed, as
// the library is never unloaded); a failed load is tried again by the next open.
const FirebirdApi& Api()
{
    static std::mutex mutex;
    static const FirebirdApi* api = nullptr;
    std::lock_guard lock(mutex);
    if (!api) {
        api = new FirebirdApi(ClientLibrary::Load(ClientLibraryFiles(tbFirebird), DisplayName(tbFirebird)));
        // At exit: stop the client's own threads and close what is still attached,
        // so the process ends with the library quiet. Registered after the library's
        // exit handlers, so it runs before them; bounded, so a server that stopped
        // answering cannot hold the exit.
        if (api->shutdown)
            std::atexit([] { api->shutdown(kShutdownMilliseconds, fb_shutrsn_app_stopped); });
    }
    return *api;
}

// A started transaction that rolls back unless committed.
class Transaction {
public:
    Transaction(const FirebirdApi& api, isc_db_handle* db) : api_(api)
    {
        static const std::string tpb = TransactionParameters();
        TransactionBlock teb{db, static_cast<int>(tpb.size()), tpb.data()};
        ISC_STATUS_ARRAY status{};
        api_.start_multiple(status, &handle_, 1, &teb);
        api_.check(status);
    }
    ~Transaction()
    {
        // A dead connection refuses this too; the server then drops the transaction itself.
        ISC_STATUS_ARRAY status{};
        if (handle_)
            api_.rollback_transaction(status, &handle_);
    }
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    isc_tr_handle* handle() { return &handle_; }

    void commit()
    {
        ISC_STATUS_ARRAY status{};
        api_.commit_transaction(status, &handle_);
        api_.check(status);  // on failure the handle stays, for the rollback
    }

    void rollback()
    {
        ISC_STATUS_ARRAY status{};
        api_.rollback_transaction(status, &handle_);
        api_.check(status);
    }

private:
    const FirebirdApi& api_;
    isc_tr_handle handle_ = 0;
};

class Statement {
public:
    Statement(const FirebirdApi& api, isc_db_handle* db) : api_(api)
    {
        ISC_STATUS_ARRAY status{};
        api_.dsql_allocate_statement(status, db, &handle_);
        api_.check(status);
    }
    ~Statement()
    {
        ISC_STATUS_ARRAY status{};
        if (handle_)
            api_.dsql_free_statement(status, &handle_, DSQL_drop);
    }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    isc_stmt_handle* handle() { return &handle_; }

private:
    const FirebirdApi& api_;
    isc_stmt_handle handle_ = 0;
};

// An XSQLDA with room for `count` variables.
class Sqlda {
public:
    explicit Sqlda(short count)
        : storage_((XSQLDA_LENGTH(count) + sizeof(std::max_align_t) - 1) / sizeof(std::max_align_t))
    {
        da()->version = SQLDA_VERSION1;
        da()->sqln = count;
    }
    XSQLDA* da() { return reinterpret_cast<XSQLDA*>(storage_.data()); }

private:
    std::vector<std::max_align_t> storage_;
};

// fb_cancel_operation is the client's own way to stop, from another thread, the
// request running on an attachment.
class FirebirdCanceller final : public Canceller {
public:
    FirebirdCanceller(const FirebirdApi& api, isc_db_handle db) : api_(api), db_(db) {}
    void cancel() noexcept override
    {
        std::lock_guard lock(mutex_);
        send(fb_cancel_raise);
    }
    void abort() noexcept override
    {
        // Must not wait: while a cancel is still being sent, the next try comes later.
        std::unique_lock lock(mutex_, std::try_to_lock);
        if (lock)
            send(fb_cancel_abort);
    }
    std::string unavailable() const override
    {
        return api_.cancel_operation ? std::string()
                                     : "A biblioteca " + api_.lib->file() +
                                           " não tem a função fb_cancel_operation e não permite cancelar o comando.";
    }
    // Before the attachment is detached: its handle means nothing after.
    void forget() noexcept
    {
        std::lock_guard lock(mutex_);
        db_ = 0;
    }

private:
    void send(ISC_USHORT option) noexcept
    {
        if (!db_ || !api_.cancel_operation)
            return;
        ISC_STATUS_ARRAY status{};
        api_.cancel_operation(status, &db_, option);
    }
    const FirebirdApi& api_;
    std::mutex mutex_;
    isc_db_handle db_;
};

class FirebirdAdapter final : public DbAdapter {
public:
    ~FirebirdAdapter() override { close(); }

    void open(const ConnectionDefinition& def) override
    {
        close();
        const std::string target = FirebirdAttachString(def.value("Server"), def.value("Port"), def.value("Database"));
        const std::string dpb =
            FirebirdAttachParameters(def.value("User_Name"), def.value("Password"), def.value("CharacterSet"));
        const FirebirdApi& api = Api();
        api_ = &api;

        ISC_STATUS_ARRAY status{};
        isc_db_handle db = 0;
        const auto start = std::chrono::steady_clock::now();
        api.attach_database(status, static_cast<short>(target.size()), target.data(), &db,
                            static_cast<short>(dpb.size()), dpb.data());
        if (status[0] == 1 && status[1] != 0) {
            std::string message = api.message(status);
            FailureCause cause = FirebirdApi::CauseOf(status);
            // A port that takes the connection and never answers ends in the client's
            // "connection rejected" once the connect timeout has run out; say so.
            const bool network = status[1] == isc_connect_reject || status[1] == isc_network_error ||
                                 status[1] == isc_net_read_err || status[1] == isc_net_connect_err;
            if (network && std::chrono::steady_clock::now() - start >=
                               std::chrono::seconds(kConnectTimeoutSeconds) - std::chrono::milliseconds(500)) {
                message += "\nO servidor não respondeu dentro do tempo permitido (" +
                           std::to_string(kConnectTimeoutSeconds) + " segundos).";
                cause = FailureCause::Timeout;
            }
            throw Error(message, cause);
        }
        db_ = db;
        canceller_ = std::make_shared<FirebirdCanceller>(api, db);
    }

    std::shared_ptr<Canceller> canceller() const override { return canceller_; }

    void close() noexcept override
    {
        if (canceller_)
            canceller_->forget();
        canceller_.reset();
        if (!db_)
            return;
        transaction_.reset();  // detaching with an open transaction is refused
        ISC_STATUS_ARRAY status{};
        api_->detach_database(status, &db_);
        db_ = 0;
    }

    bool isOpen() const override { return db_ != 0; }

    void execute(const std::string& sql) override
    {
        isc_db_handle* db = database();
        rejectNul(sql);
        if (transaction_) {
            run(sql, transaction_->handle());
            return;
        }
        Transaction own(*api_, db);
        run(sql, own.handle());
        own.commit();
    }

    void startTransaction() override
    {
        isc_db_handle* db = database();
        if (transaction_)
            throw Error("Firebird: já existe uma transação aberta nesta conexão.");
        transaction_ = std::make_unique<Transaction>(*api_, db);
    }

    void commit() override
    {
        openTransaction().commit();
        transaction_.reset();
    }

    void rollback() override
    {
        openTransaction();
        // Forgotten even when the rollback fails: nothing more can be done with it.
        const std::unique_ptr<Transaction> tr = std::move(transaction_);
        tr->rollback();
    }

    bool inTransaction() const override { return db_ && transaction_; }

    std::string parameterMarker(const std::string&) const override { return "?"; }

    long long queryInt(const std::string& sql, const std::string& value, const std::string& column) override
    {
        isc_db_handle* db = database();
        rejectNul(sql);
        if (value.size() > SHRT_MAX)
            throw Error("Firebird: o valor do parâmetro é longo demais.");

        std::unique_ptr<Transaction> own;
        if (!transaction_)
            own = std::make_unique<Transaction>(*api_, db);
        isc_tr_handle* tr = transaction_ ? transaction_->handle() : own->handle();

        ISC_STATUS_ARRAY status{};
        Statement stmt(*api_, db);
        api_->dsql_prepare(status, tr, stmt.handle(), 0, sql.c_str(), kDialect, nullptr);
        api_->check(status);

        Sqlda in(1);
        api_->dsql_describe_bind(status, stmt.handle(), 1, in.da());
        api_->check(status);
        if (in.da()->sqld != 1)
            throw Error("Firebird: a consulta deveria ter exatamente um parâmetro e tem " +
                        std::to_string(in.da()->sqld) + ".");
        XSQLVAR& param = in.da()->sqlvar[0];
        // Sent as fixed text; the server converts it to what the parameter needs.
        param.sqltype = SQL_TEXT;
        param.sqllen = static_cast<short>(value.size());
        param.sqldata = const_cast<char*>(value.data());
        param.sqlind = nullptr;

        Sqlda probe(1);
        api_->dsql_describe(status, stmt.handle(), 1, probe.da());
        api_->check(status);
        const short columns = probe.da()->sqld;
        if (columns < 1)
            throw Error(MissingColumnText(column));
        Sqlda out(columns);
        api_->dsql_describe(status, stmt.handle(), 1, out.da());
        api_->check(status);

        int target = -1;
        std::vector<std::vector<std::int64_t>> buffers(static_cast<size_t>(columns));
        std::vector<short> nulls(static_cast<size_t>(columns));
        for (short i = 0; i < columns; ++i) {
            XSQLVAR& var = out.da()->sqlvar[i];
            size_t size = static_cast<size_t>(var.sqllen) + ((var.sqltype & ~1) == SQL_VARYING ? 2 : 0);
            buffers[i].resize(size / sizeof(std::int64_t) + 1);
            var.sqldata = reinterpret_cast<char*>(buffers[i].data());
            var.sqlind = &nulls[i];
            if (target < 0 && EqualIgnoringAsciiCase(std::string_view(var.aliasname, static_cast<size_t>(var.aliasname_length)), column))
                target = i;
        }
        if (target < 0)
            throw Error(MissingColumnText(column));

        api_->dsql_execute(status, tr, stmt.handle(), 1, in.da());
        api_->check(status);
        const ISC_STATUS fetched = api_->dsql_fetch(status, stmt.handle(), 1, out.da());
        if (fetched == 100)
            throw Error(NoRowText());
        api_->check(status);

        const XSQLVAR& var = out.da()->sqlvar[target];
        if ((var.sqltype & 1) && *var.sqlind < 0)
            throw Error(NullValueText(column));
        long long result = 0;
        switch (var.sqltype & ~1) {
        case SQL_SHORT: result = *reinterpret_cast<const std::int16_t*>(var.sqldata); break;
        case SQL_LONG: result = *reinterpret_cast<const std::int32_t*>(var.sqldata); break;
        case SQL_INT64: result = *reinterpret_cast<const std::int64_t*>(var.sqldata); break;
        default: throw Error("Firebird: a coluna " + column + " não é de um tipo inteiro.");
        }
        for (short s = var.sqlscale; s < 0; ++s)
            result /= 10;  // NUMERIC with decimals: its integer part
        if (own)
            own->commit();
        return result;
    }

private:
    isc_db_handle* database()
    {
        if (!db_)
            throw Error("A conexão com o Firebird não está aberta.");
        return &db_;
    }

    Transaction& openTransaction()
    {
        database();
        if (!transaction_)
            throw Error("Firebird: não há transação aberta nesta conexão.");
        return *transaction_;
    }

    static void rejectNul(const std::string& sql)
    {
        // The statement calls take the text as NUL-terminated.
        if (sql.find('\0') != std::string::npos)
            throw Error("Firebird: o comando contém um caractere nulo.");
    }

    void run(const std::string& sql, isc_tr_handle* tr)
    {
        ISC_STATUS_ARRAY status{};
        api_->dsql_execute_immediate(status, &db_, tr, 0, sql.c_str(), kDialect, nullptr);
        api_->check(status);
    }

    const FirebirdApi* api_ = nullptr;
    isc_db_handle db_ = 0;
    std::unique_ptr<Transaction> transaction_;
    std::shared_ptr<FirebirdCanceller> canceller_;
};

} // namespace

std::string FirebirdAttachString(const std::string& server, const std::string& port, const std::string& database)
{
    const std::string path = Trimmed(database);
    if (path.empty())
        throw Error("Firebird: informe o caminho ou o alias do banco.");
    for (char c : path)
        if (static_cast<unsigned char>(c) < 0x20)
            throw Error("Firebird: o caminho do banco contém um caractere de controle.");

    const std::string host = Trimmed(server);
    std::string target;
    if (host.empty()) {
        target = path;
    } else {
        if (!IsBracketedIPv6(host) && !IsHostName(host))
            throw Error("Firebird: o servidor \"" + server +
                        "\" não é um nome ou endereço válido (use apenas letras, números, '.', '-' e '_', ou um "
                        "endereço IPv6 entre colchetes).");
        const std::string portText = Trimmed(port);
        std::string portDigits = kDefaultPort;
        if (!portText.empty()) {
            const long long number = PortNumber(portText);
            if (number < 1 || number > 65535)
                throw Error("Porta inválida para o Firebird: \"" + port + "\". Informe um número de 1 a 65535.");
            portDigits = std::to_string(number);
        }
        // The port is always written: "h:" alone could read as a drive letter or a protocol prefix.
        target = host + "/" + portDigits + ":" + path;
    }
    if (target.size() > SHRT_MAX)
        throw Error("Firebird: o caminho do banco é longo demais.");
    return target;
}

std::string FirebirdAttachParameters(const std::string& user, const std::string& password, const std::string& charset)
{
    std::string dpb;
    dpb += static_cast<char>(isc_dpb_version1);
    // Every text here is UTF-8, whatever the system's code page.
    dpb += static_cast<char>(isc_dpb_utf8_filename);
    dpb += static_cast<char>(0);
    if (!user.empty())
        AppendItem(dpb, static_cast<char>(isc_dpb_user_name), user, "o nome do usuário");
    if (!password.empty())
        AppendItem(dpb, static_cast<char>(isc_dpb_password), password, "a senha");
    if (!charset.empty())
        AppendItem(dpb, static_cast<char>(isc_dpb_lc_ctype), charset, "o conjunto de caracteres");
    AppendInt(dpb, static_cast<char>(isc_dpb_connect_timeout), kConnectTimeoutSeconds);
    return dpb;
}

std::unique_ptr<DbAdapter> CreateFirebirdAdapter() { return std::make_unique<FirebirdAdapter>(); }

// This kind's entry in the adapters the build compiles.
namespace firebird {
const AdapterRegistration& Registration()
{
    static const AdapterRegistration registration{tbFirebird, [](DriverLink*) {
        return CreateFirebirdAdapter();
    }};
    return registration;
}
} // namespace firebird

} // namespace brivel::db
