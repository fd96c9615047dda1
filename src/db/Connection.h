#pragma once
#include "core/ConnectionDefinition.h"
#include "db/DbAdapter.h"
#include "db/DriverLink.h"
#include "db/OperationWatch.h"

#include <memory>
#include <string>

namespace brivel::db {

// Told when the layer starts and ends a piece of work (the busy pointer).
class BusyObserver {
public:
    virtual ~BusyObserver() = default;
    virtual void busyBegin() = 0;
    virtual void busyEnd() = 0;
};

// The PostgreSQL and Oracle links; the other kinds find their libraries themselves.
struct DriverLinks {
    DriverLink* pg = nullptr;
    DriverLink* oracle = nullptr;
};

// The single database connection: a definition, and an adapter of its kind while open.
class Connection {
public:
    explicit Connection(DriverLinks links = {});
    ~Connection();

    void setDriverID(const std::string& id) { def_.setDriverID(id); }
    const std::string& driverID() const { return def_.driverID(); }
    // Empty text removes the name.
    void setParam(const std::string& name, const std::string& value) { def_.set(name, value); }
    void clearParams() { def_.clear(); }
    const ConnectionDefinition& definition() const { return def_; }
    // The links given at construction, a process-wide default in place of each one missing.
    const DriverLinks& links() const { return links_; }

    void open();
    bool connected() const;
    void close() noexcept;  // keeps the definition

    void execSQL(const std::string& sql);
    void startTransaction();
    void commit();
    void rollback();
    bool inTransaction() const;

    // Runs a query holding the marker ":NAME" once (a ":" inside a quoted literal
    // stays text), binds `value` as text and reads integer column `column` of the first row.
    long long queryInt(const std::string& sql, const std::string& paramName, const std::string& value,
                       const std::string& column);

    void setBusyObserver(BusyObserver* observer) { busy_ = observer; }

    // The longest a statement, commit, rollback or query waits for the server
    // (kServerAnswerBound unless changed; tests shorten it).
    void setAnswerBound(std::chrono::milliseconds bound) { watch_.setBound(bound); }
    std::chrono::milliseconds answerBound() const { return watch_.bound(); }

    // Safe from any thread while another one works on the connection; returns at
    // once. The running statement, commit or query is cancelled through the client
    // library and fails with Cancelled, as does every later one (a rollback
    // excepted) until clearCancel().
    void cancel() noexcept { watch_.requestCancel(); }
    void clearCancel() noexcept { watch_.clearCancel(); }
    bool cancelRequested() const noexcept { return watch_.cancelRequested(); }
    // A statement, commit, rollback or query is running (on whichever thread).
    bool operationRunning() const noexcept { return watch_.busy(); }

private:
    class BusyScope;
    template <class Op>
    auto bounded(bool honourCancel, Op op);
    DbAdapter& adapter();
    std::unique_ptr<DbAdapter> createAdapter(const std::string& driverId);
    [[noreturn]] void rethrowScrubbed(const std::exception& e) const;

    ConnectionDefinition def_;
    DriverLinks links_;
    std::unique_ptr<DbAdapter> adapter_;
    std::string adapterDriver_;
    BusyObserver* busy_ = nullptr;
    OperationWatch watch_;
};

// Replaces the named marker outside quoted literals and comments with `replacement`.
std::string ReplaceParameterMarker(const std::string& sql, const std::string& name, const std::string& replacement);

} // namespace brivel::db
