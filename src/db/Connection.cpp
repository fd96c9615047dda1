#include "db/Connection.h"

#include "core/Error.h"
#include "core/FailureHint.h"
#include "db/AdapterRegistry.h"

#include <cctype>

namespace brivel::db {

namespace {
DriverLink& DefaultPgLink()
{
    static DriverLink link(tbPostgreSQL);
    return link;
}
DriverLink& DefaultOracleLink()
{
    static DriverLink link(tbOracle);
    return link;
}
} // namespace

class Connection::BusyScope {
public:
    explicit BusyScope(BusyObserver* o) : o_(o)
    {
        if (o_)
            o_->busyBegin();
    }
    ~BusyScope()
    {
        if (o_)
            o_->busyEnd();
    }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

private:
    BusyObserver* o_;
};

Connection::Connection(DriverLinks links) : links_(links)
{
    if (!links_.pg)
        links_.pg = &DefaultPgLink();
    if (!links_.oracle)
        links_.oracle = &DefaultOracleLink();
    for (DriverLink* link : {links_.pg, links_.oracle})
        link->isInUse = [this, link] { return connected() && adapterDriver_ == link->driverId(); };
}

Connection::~Connection()
{
    close();
    links_.pg->isInUse = nullptr;
    links_.oracle->isInUse = nullptr;
}

std::unique_ptr<DbAdapter> Connection::createAdapter(const std::string& id)
{
    DriverLink* kindLink = nullptr;
    for (DriverLink* link : {links_.pg, links_.oracle})
        if (link->driverId() == id)
            kindLink = link;
    return CreateAdapter(id, kindLink);
}

void Connection::rethrowScrubbed(const std::exception& e) const
{
    // Adapters never put the password in a message; this is the last guard.
    std::string message = e.what();
    const std::string password = def_.value("Password");
    if (password.size() >= 4)
        for (size_t pos; (pos = message.find(password)) != std::string::npos;)
            message.replace(pos, password.size(), "***");
    // The library's codes named the likely cause: say it after the server's own text.
    const auto* error = dynamic_cast<const Error*>(&e);
    const FailureCause cause = error ? error->cause() : FailureCause::Unknown;
    throw Error(WithFailureHint(message, cause, def_), cause);
}

void Connection::open()
{
    if (connected())
        return;
    BusyScope busy(busy_);
    if (watch_.cancelRequested())
        throw Cancelled();
    try {
        adapter_.reset();
        adapterDriver_.clear();
        CheckParameterTexts(def_);  // before anything reaches a client library
        auto adapter = createAdapter(def_.driverID());
        adapter->setConnectCancel([this] { return watch_.cancelRequested(); });
        adapter->open(def_);
        adapter->setConnectCancel(nullptr);
        adapter_ = std::move(adapter);
        adapterDriver_ = def_.driverID();
    } catch (const std::exception& e) {
        // Whatever a cancelled connect ended with (a cut connection, a library's
        // own message), it was the user's doing.
        if (watch_.cancelRequested())
            throw Cancelled();
        rethrowScrubbed(e);
    }
    // A library that cannot stop part-way: the cancel takes effect when it returns.
    if (watch_.cancelRequested()) {
        close();
        throw Cancelled();
    }
}

bool Connection::connected() const { return adapter_ && adapter_->isOpen(); }

void Connection::close() noexcept
{
    if (!adapter_)
        return;
    BusyScope busy(busy_);
    adapter_->close();
    adapter_.reset();
    adapterDriver_.clear();
}

DbAdapter& Connection::adapter()
{
    if (!connected())
        throw Error("A conexão com o banco não está aberta.");
    return *adapter_;
}

template <class Op>
auto Connection::bounded(bool honourCancel, Op op)
{
    BusyScope busy(busy_);
    DbAdapter& a = adapter();
    OperationWatch::Scope watch(watch_, a.canceller(), honourCancel);
    try {
        return op(a);
    } catch (const std::exception& e) {
        switch (watch.end()) {
        case OperationWatch::Reason::User: throw Cancelled();
        case OperationWatch::Reason::Timeout: throw Error(watch.cancelledText());
        case OperationWatch::Reason::None: break;
        }
        rethrowScrubbed(e);
    }
}

void Connection::execSQL(const std::string& sql)
{
    bounded(true, [&](DbAdapter& a) { a.execute(sql); });
}

void Connection::startTransaction()
{
    bounded(true, [](DbAdapter& a) { a.startTransaction(); });
}

void Connection::commit()
{
    bounded(true, [](DbAdapter& a) { a.commit(); });
}

void Connection::rollback()
{
    // The undo after a cancel must still run.
    bounded(false, [](DbAdapter& a) { a.rollback(); });
}

bool Connection::inTransaction() const { return connected() && adapter_->inTransaction(); }

long long Connection::queryInt(const std::string& sql, const std::string& paramName, const std::string& value,
                               const std::string& column)
{
    return bounded(true, [&](DbAdapter& a) {
        return a.queryInt(ReplaceParameterMarker(sql, paramName, a.parameterMarker(paramName)), value, column);
    });
}

std::string ReplaceParameterMarker(const std::string& sql, const std::string& name, const std::string& replacement)
{
    std::string out;
    out.reserve(sql.size());
    const std::string marker = ":" + name;
    auto isIdent = [](char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '$'; };
    for (size_t i = 0; i < sql.size();) {
        const char c = sql[i];
        if (c == '\'' || c == '"') {
            // Copy a quoted literal or identifier whole; doubled quotes stay inside it.
            size_t j = i + 1;
            while (j < sql.size()) {
                if (sql[j] == c) {
                    if (j + 1 < sql.size() && sql[j + 1] == c) {
                        j += 2;
                        continue;
                    }
                    break;
                }
                ++j;
            }
            const size_t end = j < sql.size() ? j + 1 : j;
            out.append(sql, i, end - i);
            i = end;
        } else if (c == '-' && i + 1 < sql.size() && sql[i + 1] == '-') {
            const size_t end = sql.find('\n', i);
            const size_t stop = end == std::string::npos ? sql.size() : end;
            out.append(sql, i, stop - i);
            i = stop;
        } else if (c == '/' && i + 1 < sql.size() && sql[i + 1] == '*') {
            const size_t end = sql.find("*/", i + 2);
            const size_t stop = end == std::string::npos ? sql.size() : end + 2;
            out.append(sql, i, stop - i);
            i = stop;
        } else if (c == ':' && sql.compare(i, marker.size(), marker) == 0 &&
                   (i + marker.size() == sql.size() || !isIdent(sql[i + marker.size()])) &&
                   (i == 0 || sql[i - 1] != ':')) {
            out += replacement;
            i += marker.size();
        } else {
            out += c;
            ++i;
        }
    }
    return out;
}

} // namespace brivel::db
